#!/usr/bin/env python3
"""Servers for the network stream tests, on 127.0.0.1 only.

Usage: net_server.py FOLDER
Serves the files of FOLDER over HTTP (and FTP when pyftpdlib is there), prints
"http PORT" and "ftp PORT" (0 without pyftpdlib) on stdout, and runs until it is
terminated or its standard input closes (so it never outlives the test that started it).

HTTP paths:
  /files/NAME          the file with Content-Length
  /nolength/NAME       the file without Content-Length (the connection closes at its end)
  /slow/NAME           the file without Content-Length, 32 KB every 0.1 s
  /cut/NAME            Content-Length of the whole file, then the connection drops halfway
  /status/CODE         an empty answer with that status
  /loop                a redirect to itself
  /redirect/NAME       a redirect to /files/NAME
  /silent              accepts, then sends nothing
  /endless-header      a header line after another, for ever
  /icy/NAME?titles=A,B,C   a Shoutcast-style live stream: the file again and again with
                       in-band metadata every 4096 bytes, the title changing every 8 blocks
                       (bytes as given, percent-decoded, so any encoding can be sent)
  /icy-bad/NAME        like /icy, but the first metadata block claims more than follows
"""
import os
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

FOLDER = sys.argv[1]
META_INTERVAL = 4096


def read_file(name):
    path = os.path.join(FOLDER, os.path.basename(name))
    with open(path, "rb") as f:
        return f.read()


def meta_block(text):
    data = text
    padded = (len(data) + 15) // 16 * 16
    return bytes([padded // 16]) + data + b"\0" * (padded - len(data))


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"

    def log_message(self, *args):
        pass

    def content_type(self, name):
        if name.endswith(".mp3") or name.endswith(".mp2"):
            return "audio/mpeg"
        if name.endswith(".ogg"):
            return "application/ogg"
        if name.endswith(".wav"):
            return "audio/x-wav"
        return "application/octet-stream"

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        parts = url.path.split("/", 2)
        kind = parts[1] if len(parts) > 1 else ""
        name = parts[2] if len(parts) > 2 else ""
        query = dict(p.split("=", 1) for p in url.query.split("&") if "=" in p)
        try:
            if kind in ("files", "nolength", "slow", "cut"):
                self.send_file(kind, name)
            elif kind == "status":
                self.send_response(int(name))
                self.send_header("Content-Length", "0")
                self.end_headers()
            elif kind == "loop":
                self.send_response(302)
                self.send_header("Location", "/loop")
                self.end_headers()
            elif kind == "redirect":
                self.send_response(302)
                self.send_header("Location", "/files/" + name)
                self.end_headers()
            elif kind == "silent":
                time.sleep(30)
            elif kind == "endless-header":
                self.wfile.write(b"HTTP/1.0 200 OK\r\n")
                for i in range(1000000):
                    self.wfile.write(b"X-Filler-%d: %s\r\n" % (i, b"y" * 200))
                    time.sleep(0.001)
            elif kind in ("icy", "icy-bad"):
                titles = query.get("titles", "First,Second,Third").split(",")
                self.send_icy(name, [urllib.parse.unquote_to_bytes(t) for t in titles], kind == "icy-bad")
            else:
                self.send_error(404)
        except (BrokenPipeError, ConnectionResetError):
            pass

    def send_file(self, kind, name):
        try:
            data = read_file(name)
        except OSError:
            self.send_error(404)
            return
        self.send_response(200)
        self.send_header("Content-Type", self.content_type(name))
        if kind in ("files", "cut"):
            self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        if kind == "cut":
            self.wfile.write(data[: len(data) // 2])
            self.wfile.flush()
            self.connection.shutdown(socket.SHUT_RDWR)
        elif kind == "slow":
            for at in range(0, len(data), 32768):
                self.wfile.write(data[at:at + 32768])
                self.wfile.flush()
                time.sleep(0.1)
        else:
            self.wfile.write(data)

    def send_icy(self, name, titles, bad):
        data = read_file(name)
        self.send_response(200)
        self.send_header("Content-Type", "audio/mpeg")
        self.send_header("icy-name", "Test Radio")
        self.send_header("icy-genre", "Tones")
        self.send_header("icy-br", "128")
        wants_meta = self.headers.get("Icy-MetaData") == "1"
        if wants_meta:
            self.send_header("icy-metaint", str(META_INTERVAL))
        self.end_headers()
        blocks = 0
        title = 0
        stream = data
        while True:
            chunk, stream = stream[:META_INTERVAL], stream[META_INTERVAL:]
            if len(stream) < META_INTERVAL:
                stream += data
            self.wfile.write(chunk)
            if wants_meta:
                if bad:
                    self.wfile.write(bytes([200]) + b"StreamTitle='cut")
                    self.wfile.flush()
                    self.connection.shutdown(socket.SHUT_RDWR)
                    return
                if blocks % 8 == 0:
                    text = b"StreamTitle='" + titles[title % len(titles)] + b"';StreamUrl='http://example.invalid/';"
                    self.wfile.write(meta_block(text))
                    title += 1
                else:
                    self.wfile.write(b"\0")
            blocks += 1
            self.wfile.flush()
            time.sleep(0.02)


def start_ftp():
    try:
        from pyftpdlib.authorizers import DummyAuthorizer
        from pyftpdlib.handlers import FTPHandler
        from pyftpdlib.servers import ThreadedFTPServer
    except ImportError:
        return 0
    import logging
    logging.basicConfig(level=logging.CRITICAL)
    logging.getLogger("pyftpdlib").setLevel(logging.CRITICAL)
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(FOLDER)
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = None
    server = ThreadedFTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server.socket.getsockname()[1]


def main():
    http = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    http.daemon_threads = True
    threading.Thread(target=http.serve_forever, daemon=True).start()
    ftp = start_ftp()
    print("http", http.server_address[1], flush=True)
    print("ftp", ftp, flush=True)
    sys.stdin.read()  # until the test closes it (or dies)
    os._exit(0)


main()

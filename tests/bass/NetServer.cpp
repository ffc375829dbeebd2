#include "NetServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cctype>
#include <csignal>
#include <cstring>
#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef AUBADINE_NET_SERVER
#error "AUBADINE_NET_SERVER must name net_server.py"
#endif

namespace aubadine::bass::test {

NetServer::NetServer(const std::string& folder, bool icecast) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) throw std::runtime_error("pipe");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork");
    if (pid_ == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        execl("/usr/bin/python3", "python3", AUBADINE_NET_SERVER, folder.c_str(), icecast ? "--icecast" : nullptr,
              static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    FILE* lines = fdopen(out[0], "r");
    if (!lines || std::fscanf(lines, "http %d ftp %d", &http_, &ftp_) != 2 || http_ <= 0) {
        if (lines) std::fclose(lines);
        close(input_);
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        throw std::runtime_error("net_server.py did not start");
    }
    if (icecast && std::fscanf(lines, " icecast %d", &icecast_) != 1) icecast_ = 0;
    std::fclose(lines);
}

NetServer::~NetServer() {
    if (input_ >= 0) close(input_);  // the server ends when its input closes
    if (pid_ <= 0) return;
    for (int i = 0; i < 500; ++i) {  // it stops Icecast and ffmpeg first
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        usleep(20000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::string NetServer::http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(http_) + path;
}

std::string NetServer::icecastMount() const {
    return icecast_ ? "http://127.0.0.1:" + std::to_string(icecast_) + "/live" : std::string{};
}

bool NetServer::setIcecastTitle(const std::string& title) const {
    if (!icecast_) return false;
    std::string song;
    for (unsigned char c : title) {
        char hex[4];
        std::snprintf(hex, sizeof hex, "%%%02X", c);
        song += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(hex);
    }
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(icecast_));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        close(fd);
        return false;
    }
    // admin:hackme
    const std::string request = "GET /admin/metadata?mount=/live&mode=updinfo&song=" + song +
                                " HTTP/1.0\r\nAuthorization: Basic YWRtaW46aGFja21l\r\n\r\n";
    bool ok = write(fd, request.data(), request.size()) == static_cast<ssize_t>(request.size());
    char answer[64] = {};
    ok = ok && read(fd, answer, sizeof answer - 1) > 0 && std::strstr(answer, " 200 ");
    close(fd);
    return ok;
}

std::string NetServer::ftp(const std::string& path) const {
    return ftp_ ? "ftp://127.0.0.1:" + std::to_string(ftp_) + path : std::string{};
}

}  // namespace aubadine::bass::test

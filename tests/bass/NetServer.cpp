#include "NetServer.h"

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#ifndef AUBADINE_NET_SERVER
#error "AUBADINE_NET_SERVER must name net_server.py"
#endif

namespace aubadine::bass::test {

NetServer::NetServer(const std::string& folder) {
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
        execl("/usr/bin/python3", "python3", AUBADINE_NET_SERVER, folder.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    input_ = in[1];
    FILE* lines = fdopen(out[0], "r");
    if (!lines || std::fscanf(lines, "http %d ftp %d", &http_, &ftp_) != 2 || http_ <= 0) {
        if (lines) std::fclose(lines);
        throw std::runtime_error("net_server.py did not start");
    }
    std::fclose(lines);
}

NetServer::~NetServer() {
    if (input_ >= 0) close(input_);  // the server ends when its input closes
    if (pid_ <= 0) return;
    for (int i = 0; i < 50; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) return;
        usleep(20000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

std::string NetServer::http(const std::string& path) const {
    return "http://127.0.0.1:" + std::to_string(http_) + path;
}

std::string NetServer::ftp(const std::string& path) const {
    return ftp_ ? "ftp://127.0.0.1:" + std::to_string(ftp_) + path : std::string{};
}

}  // namespace aubadine::bass::test

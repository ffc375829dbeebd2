// A helper process that serves test files on 127.0.0.1 (tests/bass/net_server.py): started
// by the test, ended with it (it also ends by itself when the test's end of its standard
// input closes, so a crashed test leaves nothing running).
#pragma once

#include <string>
#include <sys/types.h>

namespace aubadine::bass::test {

class NetServer {
public:
    // icecast: also run Icecast fed with a live 440 Hz MP3 on /live.mp3 (see net_server.py).
    explicit NetServer(const std::string& folder, bool icecast = false);  // throws std::runtime_error
    ~NetServer();
    NetServer(const NetServer&) = delete;
    NetServer& operator=(const NetServer&) = delete;

    std::string http(const std::string& path) const;  // "http://127.0.0.1:PORT" + path
    std::string ftp(const std::string& path) const;   // "" when pyftpdlib is missing
    int httpPort() const { return http_; }
    // "http://127.0.0.1:PORT/live.mp3", or "" when Icecast could not be run.
    std::string icecastMount() const;
    // Sets the title of the Icecast mount through its admin call; false when refused.
    bool setIcecastTitle(const std::string& title) const;

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int http_ = 0, ftp_ = 0, icecast_ = 0;
};

}  // namespace aubadine::bass::test

// startup_timer: how long a player takes from its process start to the first audible
// sample of its sound, as captured by SDL's disk audio driver.
//
//   startup_timer run CAPTURE TIMEOUT_MS -- PROGRAM ARGS...
//       starts PROGRAM with SDL_AUDIODRIVER=disk and SDL_DISKAUDIOFILE=CAPTURE, polls the
//       capture (raw 16-bit samples) until a sample above 1% of full scale appears, prints
//       the elapsed milliseconds, then ends the program with SIGTERM (SIGKILL after 10 s).
//       Prints "none" and exits 3 when nothing is heard within TIMEOUT_MS.
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

bool Ended(pid_t pid, int& status)
{
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

int Run(const std::string& capture, int timeoutMs, char** argv)
{
    std::remove(capture.c_str());
    ::setenv("SDL_AUDIODRIVER", "disk", 1);
    ::setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);

    using clock = std::chrono::steady_clock;
    auto start = clock::now();
    pid_t pid = 0;
    if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv, environ) != 0) {
        std::fprintf(stderr, "startup_timer: cannot start %s\n", argv[0]);
        return 2;
    }

    long long heardMs = -1;
    int status = 0;
    bool ended = false;
    size_t offset = 0;
    std::vector<char> chunk(1 << 16);
    while (heardMs < 0 && clock::now() - start < std::chrono::milliseconds(timeoutMs)) {
        if (FILE* f = std::fopen(capture.c_str(), "rb")) {
            std::fseek(f, static_cast<long>(offset), SEEK_SET);
            size_t n;
            while (heardMs < 0 && (n = std::fread(chunk.data(), 1, chunk.size(), f)) >= 2) {
                size_t whole = n & ~size_t{1};
                for (size_t i = 0; i < whole; i += 2) {
                    int16_t s = static_cast<int16_t>(static_cast<uint8_t>(chunk[i]) | (static_cast<uint8_t>(chunk[i + 1]) << 8));
                    if (std::abs(static_cast<int>(s)) > 328) {
                        heardMs = std::chrono::duration_cast<std::chrono::milliseconds>(clock::now() - start).count();
                        break;
                    }
                }
                offset += whole;
                std::fseek(f, static_cast<long>(offset), SEEK_SET);
            }
            std::fclose(f);
        }
        if (!ended && Ended(pid, status))
            ended = true;
        if (ended && heardMs < 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }

    if (!ended) {
        ::kill(pid, SIGTERM);
        auto deadline = clock::now() + std::chrono::seconds(10);
        while (!Ended(pid, status) && clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        if (clock::now() >= deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
        }
    }
    if (heardMs < 0) {
        std::printf("none\n");
        return 3;
    }
    std::printf("%lld\n", heardMs);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "run" && argc >= 6 && std::string(argv[4]) == "--")
        return Run(argv[2], std::atoi(argv[3]), argv + 5);
    std::fprintf(stderr, "usage: startup_timer run CAPTURE TIMEOUT_MS -- PROGRAM ARGS...\n");
    return 2;
}

// bassplay: plays one file through Aubadine's audio library to the sound output and exits
// when it has been heard to the end (or on Ctrl+C).
//   bassplay FILE [--device N] [--start SECONDS]
// Tracker modules (by extension) are loaded as music, everything else as a stream. Prints
// the format, then the position once a second. Exit status: 0 played to the end, 1 usage,
// 2 the library refused (its error code is printed).
#include "bass.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::atomic<bool> gEnded{false};
std::atomic<bool> gInterrupted{false};

void onEnd(HSYNC, DWORD, uintptr_t, void*) { gEnded = true; }
void onSignal(int) { gInterrupted = true; }

bool isModule(const std::string& name) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos) return false;
    std::string ext = name.substr(dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* m : {"mo3", "it", "xm", "s3m", "mtm", "mod", "umx"})
        if (ext == m) return true;
    return false;
}

int refuse(const char* what) {
    std::fprintf(stderr, "bassplay: %s failed (error code %d)\n", what, BASS_ErrorGetCode());
    BASS_Free();
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    const char* file = nullptr;
    int device = 1;
    double start = 0;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--device") && i + 1 < argc) device = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--start") && i + 1 < argc) start = std::atof(argv[++i]);
        else if (!file && argv[i][0] != '-') file = argv[i];
        else file = nullptr, i = argc;
    }
    if (!file || device < 1) {
        std::fprintf(stderr, "usage: bassplay FILE [--device N] [--start SECONDS]\n");
        return 1;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);

    BASS_SetConfig(BASS_CONFIG_MAXVOL, 255);
    if (!BASS_Init(device, 44100, 0, nullptr, nullptr)) return refuse("opening the sound output");
    const bool music = isModule(file);
    const DWORD channel = music ? BASS_MusicLoad(FALSE, file, 0, 0, 0x28400, 0)
                                : BASS_StreamCreateFile(FALSE, file, 0, 0, 0);
    if (!channel) return refuse("opening the file");
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(channel, &info);
    const QWORD length = music ? BASS_MusicGetLength(channel, TRUE) : BASS_StreamGetLength(channel);
    std::printf("%s: %u Hz, %u channel(s), type 0x%x, %.1f s%s%s\n", file, info.freq, info.chans, info.ctype,
                BASS_ChannelBytes2Seconds(channel, length), music ? ", module " : "",
                music ? BASS_MusicGetName(channel) : "");
    if (start > 0 && !BASS_ChannelSetPosition(channel, BASS_ChannelSeconds2Bytes(channel, static_cast<float>(start))))
        return refuse("seeking");
    BASS_ChannelSetSync(channel, BASS_SYNC_END, 0, &onEnd, nullptr);
    if (!BASS_ChannelPlay(channel, FALSE)) return refuse("playing");

    int tick = 0;
    while (!gEnded && !gInterrupted) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        if (++tick % 20 == 0) {
            std::printf("%7.1f s\r", BASS_ChannelBytes2Seconds(channel, BASS_ChannelGetPosition(channel)));
            std::fflush(stdout);
        }
    }
    std::printf("%s\n", gEnded ? "end" : "interrupted");
    BASS_Free();
    return gEnded ? 0 : 130;
}

// Network streams of libbass.so against their peers, measured in the same run, with every
// server on 127.0.0.1 started here (tests/bass/net_server.py: HTTP and Icecast fed by
// ffmpeg -re with a 440 Hz tone):
// - time from BASS_StreamCreateURL on the live Icecast mount to the first decoded sample,
//   against `mpv --ao=null` until it has played 20 ms of the same mount (median of 5 each;
//   ratio <= 1 wanted);
// - CPU time per second of sound of a 5-minute MP3 downloaded over HTTP and decoded to the
//   mixer (no device), against the same file read locally (best of 3; ratio <= 1 wanted);
// - resident memory while the live mount plays in real time for --live-seconds (default
//   30; 600 for the ten-minute figure): start and highest value.
// Usage: bass_net_bench [--live-seconds N]
#include "Fixtures.h"
#include "NetServer.h"
#include "PeerTiming.h"
#include "bass.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace aubadine::bass::test;
using Clock = std::chrono::steady_clock;
using aubadine::bench::processCpu;
using aubadine::bench::rssKb;
using aubadine::bench::runPeer;

double median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Seconds from BASS_StreamCreateURL to the first sound the mixer renders.
double ourFirstSample(const std::string& url) {
    std::vector<int16_t> block(64 * 2);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const auto start = Clock::now();
    double took = -1;
    const HSTREAM h = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_META, nullptr, nullptr);
    if (h && BASS_ChannelPlay(h, FALSE)) {
        while (Clock::now() - start < std::chrono::seconds(10)) {
            AUBADINE_BASS_Render(block.data(), static_cast<DWORD>(block.size() * 2));
            if (std::any_of(block.begin(), block.end(), [](int16_t s) { return s != 0; })) {
                took = std::chrono::duration<double>(Clock::now() - start).count();
                break;
            }
        }
    }
    BASS_Free();
    return took;
}

// Decodes the whole stream to the mixer with no device; returns CPU seconds.
double decodeCpu(const std::string& what, bool url) {
    std::vector<int16_t> block(44100 * 2);
    const double before = processCpu();
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const HSTREAM h = url ? BASS_StreamCreateURL(what.c_str(), 0, 0, nullptr, nullptr)
                          : BASS_StreamCreateFile(FALSE, what.c_str(), 0, 0, 0);
    if (!h) {
        std::fprintf(stderr, "cannot open %s: error %d\n", what.c_str(), BASS_ErrorGetCode());
        BASS_Free();
        return -1;
    }
    BASS_ChannelPlay(h, FALSE);
    while (BASS_ChannelIsActive(h) != BASS_ACTIVE_STOPPED)
        AUBADINE_BASS_Render(block.data(), static_cast<DWORD>(block.size() * 2));
    BASS_Free();
    return processCpu() - before;
}

}  // namespace

int main(int argc, char** argv) {
    int liveSeconds = 30;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--live-seconds") == 0) liveSeconds = std::atoi(argv[i + 1]);

    const std::string dir = fixtureDir();
    const std::string file = dir + "/five-minutes.mp3";
    encodeFile(file, "mp3", "libmp3lame", sines({220.0, 330.0, 495.0}, 300.0));
    NetServer server(dir, true);
    const std::string mount = server.icecastMount();
    if (mount.empty()) {
        std::fprintf(stderr, "Icecast could not be run (icecast2 and ffmpeg are needed)\n");
        return 1;
    }

    // 1. Time to the first sample on the live mount.
    std::vector<double> ours, peer;
    for (int i = 0; i < 5; ++i) {
        ours.push_back(ourFirstSample(mount));
        peer.push_back(runPeer({"mpv", "--no-config", "--ao=null", "--no-video", "--load-scripts=no", "--ytdl=no",
                                "--length=0.02", mount})
                           .wall);
    }
    const double ourStart = median(ours), peerStart = median(peer);

    // 2. CPU per second of sound: downloaded against local.
    double netCpu = 1e9, localCpu = 1e9;
    for (int i = 0; i < 3; ++i) {
        netCpu = std::min(netCpu, decodeCpu(server.http("/files/five-minutes.mp3"), true));
        localCpu = std::min(localCpu, decodeCpu(file, false));
    }

    // 3. Memory over a long live play, in real time.
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const HSTREAM live = BASS_StreamCreateURL(mount.c_str(), 0, BASS_STREAM_META, nullptr, nullptr);
    BASS_ChannelPlay(live, FALSE);
    std::vector<int16_t> block(4410 * 2);
    const auto begin = Clock::now();
    long rssStart = 0, rssMax = 0;
    size_t sounding = 0, blocks = 0;
    for (int tick = 0; Clock::now() - begin < std::chrono::seconds(liveSeconds); ++tick) {
        AUBADINE_BASS_Render(block.data(), static_cast<DWORD>(block.size() * 2));
        ++blocks;
        if (std::any_of(block.begin(), block.end(), [](int16_t s) { return s != 0; })) ++sounding;
        if (tick == 50) rssStart = rssKb();  // after the first 5 s, once buffers are full
        if (tick > 50) rssMax = std::max(rssMax, rssKb());
        std::this_thread::sleep_until(begin + std::chrono::milliseconds(100 * (tick + 1)));
    }
    const bool liveActive = BASS_ChannelIsActive(live) != BASS_ACTIVE_STOPPED;
    BASS_Free();

    std::printf("live mount %s\n", mount.c_str());
    std::printf("time to first sample (median of 5): library %.3f s, mpv --ao=null %.3f s, ratio %.2f (<= 1 wanted)\n",
                ourStart, peerStart, peerStart > 0 ? ourStart / peerStart : -1.0);
    std::printf("5-minute MP3, CPU per second of sound (best of 3): downloaded %.2f ms, local %.2f ms, ratio %.2f "
                "(<= 1 wanted)\n",
                netCpu / 300 * 1000, localCpu / 300 * 1000, netCpu / localCpu);
    std::printf("live play %d s: resident memory %ld kB after 5 s, %ld kB at most (+%ld kB); %zu of %zu blocks "
                "sounding; %s at the end\n",
                liveSeconds, rssStart, rssMax, rssMax - rssStart, sounding, blocks,
                liveActive ? "still playing" : "STOPPED");
    return 0;
}

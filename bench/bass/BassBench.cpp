// Speed and memory of libbass.so against its peers, measured in the same run:
// - decoding a 5-minute MP3 and a 5-minute Ogg Vorbis file through a decoding channel
//   (BASS_STREAM_DECODE, BASS_ChannelGetData until the end) with no device, against
//   `ffmpeg -v quiet -i FILE -f null -`, in CPU time (wall time is printed too, but on a
//   shared, loaded machine only CPU time compares fairly); ratio >= 1: at least as fast;
// - the same MP3 decoded through the mixer (AUBADINE_BASS_Render: history, resampler stage
//   and 16-bit mix included), against the same peer;
// - CPU time of playing it in real time for N seconds (default 60) through SDL's dummy
//   output, against `mpv --no-video --ao=null --end=N FILE` (ratio <= 1 means we use no more);
// - resident memory while streaming the whole file (it should stay flat: no whole-file
//   buffering);
// - CPU time at rest over N seconds (default 60), given per minute: right after BASS_Init
//   with nothing playing, and with the file paused after a second of play, against a paused
//   `mpv --no-video --ao=null --pause FILE` (both measured after a 2 s settling time);
// - pause and stop to silence: ms from BASS_ChannelPause/Stop until the heard position holds
//   (median and worst of 50, on SDL's disk writer at its own pace, 256-frame buffer).
// Usage: bass_bench [--realtime-seconds N] [--rest-seconds N] [benchmark flags]. The files
// are generated once into the build folder by FFmpeg's own MP3 and Vorbis encoders.
#include "Fixtures.h"
#include "PeerTiming.h"
#include "bass.h"

#include <benchmark/benchmark.h>

#include <signal.h>
#include <sys/wait.h>

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
#include <tuple>
#include <utility>
#include <unistd.h>
#include <vector>

namespace {

using aubadine::bass::test::encodeFile;
using aubadine::bass::test::Pcm;
using aubadine::bench::processCpu;
using aubadine::bench::rssKb;
using aubadine::bench::runPeer;
using aubadine::bench::startPeer;

std::string gFile;  // the MP3
std::string gOgg;
int gRealtimeSeconds = 60;
double gOurDecode = 0, gOurCpu = 0, gPeerCpu = 0;
double gOurChannel[2] = {0, 0}, gPeerChannel[2] = {0, 0};  // decoding channel: MP3, Ogg
int gRestSeconds = 60;
double gIdleCpu = -1, gPausedCpu = -1, gPeerPausedCpu = -1;  // CPU seconds per minute
long gRssStartKb = 0, gRssMaxKb = 0;

// Five minutes of slowly moving chords, stereo at 44100 Hz.
Pcm chords() {
    Pcm pcm;
    const size_t frames = 300 * 44100;
    pcm.samples.resize(frames * 2);
    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / 44100;
        const double root = 110 * std::pow(2.0, std::floor(t / 4) / 12.0 * 5 - 5 * std::floor(t / 48));
        const double l = 0.2 * std::sin(2 * M_PI * root * t) + 0.1 * std::sin(2 * M_PI * root * 1.5 * t);
        const double r = 0.2 * std::sin(2 * M_PI * root * 2 * t) + 0.1 * std::sin(2 * M_PI * root * 1.25 * t);
        pcm.samples[i * 2] = static_cast<int16_t>(l * 32767);
        pcm.samples[i * 2 + 1] = static_cast<int16_t>(r * 32767);
    }
    return pcm;
}

void makeFiles() {
    gFile = std::string(AUBADINE_BENCH_DIR) + "/five-minutes.mp3";
    gOgg = std::string(AUBADINE_BENCH_DIR) + "/five-minutes.ogg";
    if (std::filesystem::exists(gFile) && std::filesystem::exists(gOgg)) return;
    const Pcm pcm = chords();
    for (const auto& [path, muxer, encoder] : {std::tuple{gFile, "mp3", "libmp3lame"}, std::tuple{gOgg, "ogg", "libvorbis"}}) {
        if (std::filesystem::exists(path)) continue;
        encodeFile(path + ".part", muxer, encoder, pcm);
        std::filesystem::rename(path + ".part", path);
    }
}

const std::string& fileOf(int index) { return index == 0 ? gFile : gOgg; }

// The library decodes the whole file through a decoding channel, with no device.
void BM_LibraryDecodingChannel(benchmark::State& state) {
    const int index = static_cast<int>(state.range(0));
    std::vector<int16_t> buffer(16384 * 2);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuBefore = processCpu();
        BASS_Init(0, 44100, 0, nullptr, nullptr);
        const DWORD ch = BASS_StreamCreateFile(FALSE, fileOf(index).c_str(), 0, 0, BASS_STREAM_DECODE);
        if (ch == 0) {
            state.SkipWithError("the file does not open");
            BASS_Free();
            return;
        }
        while (BASS_ChannelGetData(ch, buffer.data(), static_cast<DWORD>(buffer.size() * 2)) != DWORD(-1)) {
        }
        BASS_Free();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = processCpu() - cpuBefore;
        state.SetIterationTime(cpu);
        state.counters["wall_s"] = wall;
        gOurChannel[index] = gOurChannel[index] == 0 ? cpu : std::min(gOurChannel[index], cpu);
    }
}
BENCHMARK(BM_LibraryDecodingChannel)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_PeerFfmpegNullFile(benchmark::State& state) {
    const int index = static_cast<int>(state.range(0));
    for (auto _ : state) {
        const auto [wall, cpu] = runPeer({"ffmpeg", "-nostdin", "-v", "quiet", "-i", fileOf(index), "-f", "null", "-"});
        if (wall < 0) {
            state.SkipWithError("ffmpeg is not installed (scripts/install-deps.sh --bench)");
            return;
        }
        state.SetIterationTime(cpu);
        state.counters["wall_s"] = wall;
        gPeerChannel[index] = gPeerChannel[index] == 0 ? cpu : std::min(gPeerChannel[index], cpu);
    }
}
BENCHMARK(BM_PeerFfmpegNullFile)->Arg(0)->Arg(1)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// The library decodes the whole file to the mixer's output, with no device.
void BM_LibraryDecodeToMixer(benchmark::State& state) {
    std::vector<int16_t> block(44100 * 2);
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuBefore = processCpu();
        BASS_Init(0, 44100, 0, nullptr, nullptr);
        const DWORD ch = BASS_StreamCreateFile(FALSE, gFile.c_str(), 0, 0, 0);
        BASS_ChannelPlay(ch, FALSE);
        gRssStartKb = rssKb();
        gRssMaxKb = gRssStartKb;
        while (BASS_ChannelIsActive(ch) != BASS_ACTIVE_STOPPED) {
            AUBADINE_BASS_Render(block.data(), static_cast<DWORD>(block.size() * 2));
            gRssMaxKb = std::max(gRssMaxKb, rssKb());
        }
        BASS_Free();
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        const double cpu = processCpu() - cpuBefore;
        state.SetIterationTime(cpu);
        state.counters["wall_s"] = wall;
        gOurDecode = gOurDecode == 0 ? cpu : std::min(gOurDecode, cpu);
    }
}
BENCHMARK(BM_LibraryDecodeToMixer)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);


// CPU time spent playing in real time through SDL's dummy output.
void BM_LibraryRealtimeCpu(benchmark::State& state) {
    for (auto _ : state) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        BASS_Init(1, 44100, 0, nullptr, nullptr);
        const double before = processCpu();
        const DWORD ch = BASS_StreamCreateFile(FALSE, gFile.c_str(), 0, 0, 0);
        BASS_ChannelPlay(ch, FALSE);
        std::this_thread::sleep_for(std::chrono::seconds(gRealtimeSeconds));
        BASS_Free();
        gOurCpu = processCpu() - before;
        state.SetIterationTime(gOurCpu);
    }
}
BENCHMARK(BM_LibraryRealtimeCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_PeerMpvNullCpu(benchmark::State& state) {
    for (auto _ : state) {
        const auto [wall, cpu] = runPeer({"mpv", "--no-config", "--no-video", "--ao=null", "--really-quiet",
                                          "--end=" + std::to_string(gRealtimeSeconds), gFile});
        if (wall < 0) {
            state.SkipWithError("mpv is not installed (scripts/install-deps.sh --bench)");
            return;
        }
        gPeerCpu = cpu;
        state.SetIterationTime(cpu);
    }
}
BENCHMARK(BM_PeerMpvNullCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// CPU at rest: settles for 2 s, then measures over gRestSeconds; returns seconds per minute.
double restingCpuPerMinute() {
    std::this_thread::sleep_for(std::chrono::seconds(2));
    const double before = processCpu();
    std::this_thread::sleep_for(std::chrono::seconds(gRestSeconds));
    return (processCpu() - before) * 60.0 / gRestSeconds;
}

void BM_LibraryIdleCpu(benchmark::State& state) {
    for (auto _ : state) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        BASS_Init(1, 44100, 0, nullptr, nullptr);
        gIdleCpu = restingCpuPerMinute();
        BASS_Free();
        state.SetIterationTime(gIdleCpu);
    }
}
BENCHMARK(BM_LibraryIdleCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_LibraryPausedCpu(benchmark::State& state) {
    for (auto _ : state) {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        BASS_Init(1, 44100, 0, nullptr, nullptr);
        const DWORD ch = BASS_StreamCreateFile(FALSE, gFile.c_str(), 0, 0, 0);
        BASS_ChannelPlay(ch, FALSE);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        BASS_ChannelPause(ch);
        gPausedCpu = restingCpuPerMinute();
        BASS_Free();
        state.SetIterationTime(gPausedCpu);
    }
}
BENCHMARK(BM_LibraryPausedCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// CPU seconds (user + system) of a running process so far, from /proc; < 0 when gone.
double childCpu(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(')');
    if (close == std::string::npos) return -1;
    std::vector<std::string> fields;
    std::string field;
    for (char c : text.substr(close + 2)) {
        if (c == ' ') fields.push_back(std::move(field)), field.clear();
        else field += c;
    }
    if (fields.size() < 13) return -1;
    // Fields 14 and 15 of the line (utime, stime) are 12 and 13 after the command name.
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

void BM_PeerMpvPausedCpu(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<std::string> args = {"mpv", "--no-config", "--no-video", "--ao=null", "--really-quiet", "--pause", gFile};
        const pid_t pid = startPeer(std::move(args));
        if (pid < 0) {
            state.SkipWithError("mpv is not installed (scripts/install-deps.sh --bench)");
            return;
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double before = childCpu(pid);
        std::this_thread::sleep_for(std::chrono::seconds(gRestSeconds));
        const double after = childCpu(pid);
        kill(pid, SIGTERM);
        int status = 0;
        waitpid(pid, &status, 0);
        if (before < 0 || after < 0) {
            state.SkipWithError("mpv ended early");
            return;
        }
        gPeerPausedCpu = (after - before) * 60.0 / gRestSeconds;
        state.SetIterationTime(gPeerPausedCpu);
    }
}
BENCHMARK(BM_PeerMpvPausedCpu)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// ---- pause and stop: how long until they are heard ----
// The heard position is what has left SDL's buffer; after BASS_ChannelPause/Stop it stops
// moving once the last frame mixed before the call has been heard. Measured on SDL's disk
// writer to /dev/null at its own pace (one buffer's time per buffer), 50 times each.
std::vector<double> gPauseMs, gStopMs;

double untilHeld(DWORD ch) {
    using Clock = std::chrono::steady_clock;
    const auto from = Clock::now();
    QWORD last = BASS_ChannelGetPosition(ch);
    auto moved = from;
    while (Clock::now() - moved < std::chrono::milliseconds(60) && Clock::now() - from < std::chrono::seconds(1)) {
        const QWORD pos = BASS_ChannelGetPosition(ch);
        if (pos != last) moved = Clock::now();
        last = pos;
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return std::chrono::duration<double, std::milli>(moved - from).count();
}

void BM_LibraryPauseAndStopToSilence(benchmark::State& state) {
    for (auto _ : state) {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
        unsetenv("SDL_DISKAUDIODELAY");
        BASS_Init(1, 44100, 0, nullptr, nullptr);
        const DWORD ch = BASS_StreamCreateFile(FALSE, gFile.c_str(), 0, 0, 0);
        BASS_ChannelPlay(ch, FALSE);
        gPauseMs.clear();
        gStopMs.clear();
        for (int i = 0; i < 50; ++i) {
            // Play for 100..150 ms, so that the calls fall anywhere in the output's period.
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + (i * 7) % 50));
            BASS_ChannelPause(ch);
            gPauseMs.push_back(untilHeld(ch));
            BASS_ChannelPlay(ch, FALSE);
            std::this_thread::sleep_for(std::chrono::milliseconds(100 + (i * 11) % 50));
            BASS_ChannelStop(ch);
            gStopMs.push_back(untilHeld(ch));
            BASS_ChannelPlay(ch, FALSE);
        }
        BASS_Free();
        unsetenv("SDL_DISKAUDIOFILE");
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        std::sort(gPauseMs.begin(), gPauseMs.end());
        std::sort(gStopMs.begin(), gStopMs.end());
        state.SetIterationTime(gPauseMs[gPauseMs.size() / 2] / 1000);
    }
}
BENCHMARK(BM_LibraryPauseAndStopToSilence)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    std::vector<char*> rest;
    for (int i = 0; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--realtime-seconds") && i + 1 < argc) gRealtimeSeconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--rest-seconds") && i + 1 < argc) gRestSeconds = std::max(1, std::atoi(argv[++i]));
        else rest.push_back(argv[i]);
    }
    int count = static_cast<int>(rest.size());
    benchmark::Initialize(&count, rest.data());
    makeFiles();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf("\n5-minute MP3: %s\n5-minute Ogg Vorbis: %s\n", gFile.c_str(), gOgg.c_str());
    const char* names[2] = {"MP3", "Ogg"};
    for (int i = 0; i < 2; ++i) {
        if (gOurChannel[i] > 0 && gPeerChannel[i] > 0)
            std::printf("%s through a decoding channel, no device (best CPU time of 3): library %.3f s, ffmpeg -f null "
                        "%.3f s, speed ratio %.2f (>= 1: at least as fast)\n",
                        names[i], gOurChannel[i], gPeerChannel[i], gPeerChannel[i] / gOurChannel[i]);
    }
    const double peerDecode = gPeerChannel[0];
    if (gOurDecode > 0 && peerDecode > 0)
        std::printf("MP3 decoded to the mixer, no device (best CPU time of 3): library %.3f s, ffmpeg -f null %.3f s, speed "
                    "ratio %.2f (>= 1: at least as fast)\n",
                    gOurDecode, peerDecode, peerDecode / gOurDecode);
    if (gOurCpu > 0 && gPeerCpu > 0)
        std::printf("real-time play, %d s: library %.3f s CPU, mpv --ao=null %.3f s CPU, CPU ratio %.2f (<= 1: no "
                    "more)\n",
                    gRealtimeSeconds, gOurCpu, gPeerCpu, gOurCpu / gPeerCpu);
    if (gRssStartKb > 0)
        std::printf("resident memory while streaming: %ld kB at the start, %ld kB at most (+%ld kB)\n", gRssStartKb,
                    gRssMaxKb, gRssMaxKb - gRssStartKb);
    if (gIdleCpu >= 0 || gPausedCpu >= 0)
        std::printf("at rest, CPU per minute (measured over %d s): library idle after BASS_Init %.3f s, library "
                    "paused %.3f s, mpv --ao=null paused %.3f s\n",
                    gRestSeconds, gIdleCpu, gPausedCpu, gPeerPausedCpu);
    if (!gPauseMs.empty())
        std::printf("pause to silence (heard position held), 50 times: median %.1f ms, worst %.1f ms; stop to "
                    "silence: median %.1f ms, worst %.1f ms (target: within 25 ms)\n",
                    gPauseMs[gPauseMs.size() / 2], gPauseMs.back(), gStopMs[gStopMs.size() / 2], gStopMs.back());
    return 0;
}

// plugin_bench FLAC WAV [SECONDS]: plays FLAC through Plugins/in_flac.so and the output
// emulator, and WAV (the same audio) through the library's own file stream, each for SECONDS
// (default 60) of real-time play on the library's output as a person hears it, and prints
// the process CPU time of each and their ratio. Then measures,
// on the real-time output (SDL; the dummy driver where there is no sound card), how long a
// byte written by a plug-in takes to be heard: from its Write to the moment the stream's
// position (what is heard) passes it.
#include "Dynamic_Bass.h"
#include "MessageWindow.h"
#include "OutputEmulatorDetail.h"
#include "PeerTiming.h"
#include "PluginCtrl.h"
#include "System.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace bass = Dynamic_Bass;
using Clock = std::chrono::steady_clock;

namespace {

// Lets the stream play for the given wall time, as the player's UI thread does (messages
// handled, otherwise asleep); returns the CPU the whole process used meanwhile (every
// thread: decoder, mixer, output) and the seconds of the stream that were heard.
struct Played {
    double cpu;
    double heard;
};

Played PlayFor(int seconds, const std::function<DWORD()>& channelOf)
{
    const double cpu0 = aubadine::bench::processCpu();
    const auto until = Clock::now() + std::chrono::seconds(seconds);
    QWORD heard = 0;
    while (Clock::now() < until) {
        ProcessMessages();
        const QWORD pos = bass::BASS_ChannelGetPosition(channelOf());
        if (static_cast<int64_t>(pos) > 0)
            heard = pos;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return {aubadine::bench::processCpu() - cpu0, static_cast<double>(heard) / 176400.0};
}

int CpuComparison(const char* flac, const char* wav, int seconds)
{
    if (!bass::BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "plugin_bench: no real-time output\n");
        return 1;
    }
    // WAV by the library: its own file stream, mixed and sent to the output.
    const DWORD stream = bass::BASS_StreamCreateFile(FALSE, wav, 0, 0, 0);
    if (stream == 0 || !bass::BASS_ChannelPlay(stream, TRUE)) {
        std::fprintf(stderr, "plugin_bench: the library did not play %s\n", wav);
        return 1;
    }
    const Played byLibrary = PlayFor(seconds, [stream] { return stream; });
    bass::BASS_StreamFree(stream);

    // FLAC through in_flac.so: its decoding thread writes into the emulator's ring, whose
    // stream the library mixes and sends to the same output.
    InitPluginHost();
    TMessageWindow engine([](uint32_t, WPARAM, LPARAM) {});
    SetEngineWindow(engine.Handle());
    if (LoadPlugin("in_flac.so") != plDone) {
        std::fprintf(stderr, "plugin_bench: in_flac.so did not load\n");
        return 1;
    }
    TInModule* m = GetPluginModule(0);
    int length = 0;
    m->GetFileInfo(flac, nullptr, &length);
    TStreamInfo info;
    info.Duration = static_cast<uint32_t>(length);
    SetStreamInfo(info);
    if (m->Play(flac) != 0) {
        std::fprintf(stderr, "plugin_bench: in_flac.so refused %s\n", flac);
        return 1;
    }
    const Played byPlugin = PlayFor(seconds, [] { return emulator_detail::Stream(); });
    m->Stop();
    ShutdownPluginHost();
    bass::BASS_Free();

    if (byPlugin.heard <= 0 || byLibrary.heard <= 0) {
        std::fprintf(stderr, "plugin_bench: nothing was heard (flac %.1f s, wav %.1f s)\n", byPlugin.heard,
                     byLibrary.heard);
        return 1;
    }
    // Per second heard: the output may play a little slower than the wall clock (SDL's
    // dummy driver on a loaded machine), and not always by the same amount in both runs.
    std::printf("cpu, %d s of real-time play each (SDL output): flac through in_flac.so %.2f s for %.1f s heard, "
                "wav by the library %.2f s for %.1f s heard, ratio per second heard %.2f (target <= 1.5)\n",
                seconds, byPlugin.cpu, byPlugin.heard, byLibrary.cpu, byLibrary.heard,
                (byPlugin.cpu / byPlugin.heard) / (byLibrary.cpu / byLibrary.heard));
    return 0;
}

int Latency()
{
    if (!bass::BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "plugin_bench: no real-time output\n");
        return 1;
    }
    InitPluginHost();
    TMessageWindow engine([](uint32_t, WPARAM, LPARAM) {});
    SetEngineWindow(engine.Handle());
    TOutModule* out = EmulatedOutputModule();
    out->Open(44100, 2, 16, -1, -1);
    const HSTREAM stream = emulator_detail::Stream();

    // The "plug-in": 10 ms blocks, each written as soon as CanWrite allows, for 6 s.
    struct Mark {
        uint64_t end;  // bytes written after this block
        Clock::time_point at;
    };
    std::mutex marksLock;
    std::vector<Mark> marks;
    std::atomic<bool> done{false};
    double ringHeld = 0;  // bytes in the ring right after each Write, summed (writer only)
    const Clock::time_point t0 = Clock::now();
    std::thread writer([&] {
        std::vector<char> block(1764);
        uint64_t written = 0;
        while (written < 176400ull * 6) {
            if (out->CanWrite() < static_cast<int>(block.size())) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                continue;
            }
            out->Write(block.data(), static_cast<int>(block.size()));
            written += block.size();
            ringHeld += emulator_detail::State().used;
            std::lock_guard g(marksLock);
            marks.push_back({written, Clock::now()});
        }
        done = true;
    });

    std::vector<double> latencies;
    double firstSound_ms = -1;
    size_t next = 0;
    while (!done || next < marks.size()) {
        ProcessMessages();
        QWORD pos = bass::BASS_ChannelGetPosition(stream);
        const auto now = Clock::now();
        if (static_cast<int64_t>(pos) > 0 && firstSound_ms < 0)
            firstSound_ms = std::chrono::duration<double, std::milli>(now - t0).count();
        {
            std::lock_guard g(marksLock);
            while (next < marks.size() && static_cast<int64_t>(pos) > 0 && pos >= marks[next].end) {
                latencies.push_back(std::chrono::duration<double, std::milli>(now - marks[next].at).count());
                ++next;
            }
        }
        if (std::chrono::duration<double>(now - t0).count() > 20)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    out->Close();
    ShutdownPluginHost();
    bass::BASS_Free();
    if (latencies.empty())
        return 1;
    std::sort(latencies.begin(), latencies.end());
    const double ringHeld_ms = ringHeld / static_cast<double>(marks.size()) / 176.4;
    const double median = latencies[latencies.size() / 2];
    std::printf("latency: first Write to first sound %.0f ms; Write to heard, median %.0f ms, 95th percentile "
                "%.0f ms (target <= 250 ms); of the median, the ring held %.0f ms on average (it holds up to %u "
                "bytes = %.0f ms), the library and its output the other %.0f ms\n",
                firstSound_ms, median, latencies[latencies.size() * 95 / 100], ringHeld_ms, kFirstRingSize,
                kFirstRingSize / 176.4, median - ringHeld_ms);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc == 4 ? std::atoi(argv[3]) : 60;
    if ((argc != 3 && argc != 4) || seconds <= 0) {
        std::fprintf(stderr, "usage: plugin_bench FLAC WAV [SECONDS]\n");
        return 2;
    }
    if (!bass::LoadBassLibrary(ProgramFolder() + "libbass.so")) {
        std::fprintf(stderr, "plugin_bench: libbass.so did not load\n");
        return 1;
    }
    int rc = CpuComparison(argv[1], argv[2], seconds);
    if (rc == 0)
        rc = Latency();
    bass::UnloadBassLibrary();
    return rc;
}

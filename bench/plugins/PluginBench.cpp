// plugin_bench FLAC WAV: plays FLAC through Plugins/in_flac.so and the output emulator, and
// WAV (the same audio) through the library's own file stream, both rendered offline as fast
// as they decode, and prints the process CPU time of each and their ratio. Then measures,
// on the real-time output (SDL; the dummy driver where there is no sound card), how long a
// byte written by a plug-in takes to be heard: from its Write to the moment the stream's
// position (what is heard) passes it.
#include "Dynamic_Bass.h"
#include "MessageWindow.h"
#include "OutputEmulatorDetail.h"
#include "PluginCtrl.h"
#include "System.h"

#include <QCoreApplication>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <dlfcn.h>

namespace bass = Dynamic_Bass;
using Clock = std::chrono::steady_clock;

namespace {

using RenderFn = DWORD (*)(void*, DWORD);

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

RenderFn Render()
{
    void* lib = dlopen((ProgramFolder() + "libbass.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
    return lib ? reinterpret_cast<RenderFn>(dlsym(lib, "AUBADINE_BASS_Render")) : nullptr;
}

// Renders until ended() and the channel no longer plays; returns the bytes rendered.
uint64_t RenderToTheEnd(RenderFn render, const std::function<DWORD()>& channelOf, const std::function<bool()>& ended)
{
    std::vector<char> buf(1 << 16);
    uint64_t total = 0;
    for (;;) {
        ProcessMessages();
        const DWORD channel = channelOf();
        const DWORD state = bass::BASS_ChannelIsActive(channel);
        if (channel != 0 && state == BASS_ACTIVE_STALLED) {
            // The decoder is behind: give it a moment, then let the stream ask again (a
            // little silence, not counted as audio).
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            render(buf.data(), 4096);
            continue;
        }
        if (ended() && state != BASS_ACTIVE_PLAYING)
            return total;
        const DWORD n = render(buf.data(), static_cast<DWORD>(buf.size()));
        if (n == static_cast<DWORD>(-1))
            return total;
        total += n;
    }
}

int CpuComparison(const char* flac, const char* wav)
{
    RenderFn render = Render();
    if (!render || !bass::BASS_Init(0, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "plugin_bench: no offline rendering\n");
        return 1;
    }
    // WAV by the library.
    double cpu0 = CpuSeconds();
    DWORD stream = bass::BASS_StreamCreateFile(FALSE, wav, 0, 0, 0);
    bass::BASS_ChannelPlay(stream, TRUE);
    uint64_t wavBytes = RenderToTheEnd(render, [stream] { return stream; }, [] { return true; });
    bass::BASS_StreamFree(stream);
    const double wavCpu = CpuSeconds() - cpu0;

    // FLAC through in_flac.so and the emulator.
    InitPluginHost();
    bool eof = false;
    TMessageWindow engine([&](uint32_t msg, WPARAM, LPARAM) { eof = eof || msg == WM_PLUGIN_EOF; });
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
    cpu0 = CpuSeconds();
    if (m->Play(flac) != 0) {
        std::fprintf(stderr, "plugin_bench: in_flac.so refused %s\n", flac);
        return 1;
    }
    const uint64_t flacBytes = RenderToTheEnd(render, [] { return emulator_detail::Stream(); }, [&] { return eof; });
    m->Stop();
    const double flacCpu = CpuSeconds() - cpu0;
    ShutdownPluginHost();
    bass::BASS_Free();

    std::printf("cpu: flac through in_flac.so %.2f s (%.1f s of audio), wav by the library %.2f s (%.1f s of "
                "audio), ratio %.2f (target <= 1.5)\n",
                flacCpu, static_cast<double>(flacBytes) / 176400.0, wavCpu, static_cast<double>(wavBytes) / 176400.0,
                flacCpu / wavCpu);
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
    BASS_INFO bi{};
    bi.size = sizeof bi;
    std::printf("latency: first Write to first sound %.0f ms; Write to heard, median %.0f ms, 95th percentile "
                "%.0f ms (the ring held up to %u bytes = %.0f ms; target <= 250 ms)\n",
                firstSound_ms, latencies[latencies.size() / 2], latencies[latencies.size() * 95 / 100],
                kFirstRingSize, kFirstRingSize / 176.4);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: plugin_bench FLAC WAV\n");
        return 2;
    }
    if (!bass::LoadBassLibrary(ProgramFolder() + "libbass.so")) {
        std::fprintf(stderr, "plugin_bench: libbass.so did not load\n");
        return 1;
    }
    int rc = CpuComparison(argv[1], argv[2]);
    if (rc == 0)
        rc = Latency();
    bass::UnloadBassLibrary();
    return rc;
}

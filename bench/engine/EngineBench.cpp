// Costs per call of the engine's two periodic routines: the flanger DSP (on every block
// the library renders) and the spectrum tick (every 25 ms while a spectrum consumer is
// set), the latter on our real audio library with a playing channel (SDL's dummy driver).
#include "BASSPlayer.h"
#include "MessageBox.h"

#include <QCoreApplication>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string gTrack;  // a file the real library plays, from the command line

void BM_FlangerDSP(benchmark::State& state)
{
    const size_t frames = static_cast<size_t>(state.range(0));
    std::vector<int16_t> block(frames * 2);
    for (size_t i = 0; i < frames; ++i)
        block[2 * i] = block[2 * i + 1] = static_cast<int16_t>(8000 * std::sin(i * 0.0627));
    ResetFlanger();
    for (auto _ : state) {
        FlangerDSP(0, 0, block.data(), static_cast<DWORD>(block.size() * 2), nullptr);
        benchmark::DoNotOptimize(block.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(frames));
    state.counters["frames/call"] = static_cast<double>(frames);
}
// 441 frames: the library's 10 ms update at 44100 Hz; 4096: a large block.
BENCHMARK(BM_FlangerDSP)->Arg(441)->Arg(1024)->Arg(4096);

void BM_TimerTick(benchmark::State& state)
{
    if (gTrack.empty()) {
        state.SkipWithError("no track given (engine_bench <file>)");
        return;
    }
    TBASSPlayer player;
    uint64_t delivered = 0;
    player.OnNewFFTData = [&](TBASSPlayer*, TBandOut&) { ++delivered; };
    if (!player.Open(gTrack)) {
        state.SkipWithError("the track could not be opened");
        return;
    }
    player.Play();
    int n = 0;
    for (auto _ : state) {
        player.TimerTick();
        if (++n % 256 == 0)  // hand the posted spectrum messages on, as the event loop would
            ProcessMessages();
    }
    ProcessMessages();
    player.Stop();
    state.counters["delivered"] = static_cast<double>(delivered);
}
BENCHMARK(BM_TimerTick)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv)
{
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    SetMessageBoxHandler([](const std::string& text, const std::string&, TMessageIcon) {
        std::fprintf(stderr, "engine_bench: %s\n", text.c_str());
    });
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (argc > 1)
        gTrack = argv[1];
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

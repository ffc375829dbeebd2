// Speed of the add-ons, each against a peer measured in the same run, in CPU time (wall
// time is printed too, but on a shared, loaded machine only CPU time compares fairly):
// - decoding a 5-minute WMA v2 file through libbasswma.so to the mixer's output with no
//   device, against `ffmpeg -i FILE -f null -` (speed ratio >= 1: at least as fast);
// - playing a 60-minute track of a CUE/BIN disc image through libbasscd.so, against the
//   same sound as a WAV file through libbass.so, both rendered whole with no device: CPU
//   per second of sound (ratio <= 1: the CD track costs no more).
// Usage: addons_bench [benchmark flags]. The files are generated once into the build
// folder (the WMA by FFmpeg's own encoder; the image and the WAV are about 635 MB each).
#include "Fixtures.h"
#include "PeerTiming.h"
#include "bass.h"
#include "basscd.h"
#include "basswma.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using aubadine::bass::test::encodeFile;
using aubadine::bass::test::Pcm;
using aubadine::bench::processCpu;
using aubadine::bench::runPeer;

const std::string kDir = AUBADINE_BENCH_DIR;
std::string gWma, gWav;
double gOurWma = 0, gPeerWma = 0, gCdCpu = 0, gWavCpu = 0;
constexpr double kCdSeconds = 3600;

// Slowly moving chords, stereo at 44100 Hz.
int16_t chord(size_t i, int channel) {
    const double t = static_cast<double>(i) / 44100;
    const double root = 110 * std::pow(2.0, std::fmod(std::floor(t / 4) * 5, 24) / 12.0);
    return static_cast<int16_t>(32767 * (channel ? 0.2 * std::sin(2 * M_PI * root * 2 * t)
                                                 : 0.2 * std::sin(2 * M_PI * root * t)));
}

void makeFiles() {
    std::filesystem::create_directories(kDir + "/discs");
    gWma = kDir + "/five-minutes.wma";
    if (!std::filesystem::exists(gWma)) {
        Pcm pcm;
        const size_t frames = 300 * 44100;
        pcm.samples.resize(frames * 2);
        for (size_t i = 0; i < frames; ++i) {
            pcm.samples[i * 2] = chord(i, 0);
            pcm.samples[i * 2 + 1] = chord(i, 1);
        }
        encodeFile(gWma + ".part", "asf", "wmav2", pcm);
        std::filesystem::rename(gWma + ".part", gWma);
    }
    gWav = kDir + "/sixty-minutes.wav";
    const std::string bin = kDir + "/discs/sixty-minutes.bin";
    const auto frames = static_cast<uint32_t>(kCdSeconds * 44100);  // 270000 whole sectors
    if (!std::filesystem::exists(gWav) || !std::filesystem::exists(bin)) {
        std::ofstream wav(gWav + ".part", std::ios::binary), raw(bin, std::ios::binary);
        auto u32 = [&](uint32_t v) { wav.write(reinterpret_cast<const char*>(&v), 4); };
        auto u16 = [&](uint16_t v) { wav.write(reinterpret_cast<const char*>(&v), 2); };
        wav.write("RIFF", 4);
        u32(36 + frames * 4);
        wav.write("WAVEfmt ", 8);
        u32(16), u16(1), u16(2), u32(44100), u32(44100 * 4), u16(4), u16(16);
        wav.write("data", 4);
        u32(frames * 4);
        std::vector<int16_t> block(44100 * 2);
        for (uint32_t at = 0; at < frames; at += 44100) {
            for (uint32_t i = 0; i < 44100; ++i) {
                block[i * 2] = chord(at + i, 0);
                block[i * 2 + 1] = chord(at + i, 1);
            }
            wav.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 2));
            raw.write(reinterpret_cast<const char*>(block.data()), static_cast<std::streamsize>(block.size() * 2));
        }
        wav.close();
        std::filesystem::rename(gWav + ".part", gWav);
        std::ofstream(kDir + "/discs/sixty-minutes.cue") << "FILE \"sixty-minutes.bin\" BINARY\n"
                                                            "  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
    }
    setenv("AUBADINE_CD_IMAGES", (kDir + "/discs").c_str(), 1);
}

// Renders the channel to its end with no device; returns the CPU time.
double renderWhole(DWORD (*open)()) {
    std::vector<int16_t> block(44100 * 2);
    const double before = processCpu();
    BASS_Init(0, 44100, 0, nullptr, nullptr);
    const DWORD ch = open();
    if (!ch) std::fprintf(stderr, "cannot open: error %d\n", BASS_ErrorGetCode());
    BASS_ChannelPlay(ch, FALSE);
    while (ch && BASS_ChannelIsActive(ch) != BASS_ACTIVE_STOPPED)
        AUBADINE_BASS_Render(block.data(), static_cast<DWORD>(block.size() * 2));
    BASS_Free();
    return processCpu() - before;
}

void BM_WmaDecodeToMixer(benchmark::State& state) {
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu = renderWhole([] { return BASS_WMA_StreamCreateFile(FALSE, gWma.c_str(), 0, 0, 0); });
        state.SetIterationTime(cpu);
        state.counters["wall_s"] = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        gOurWma = gOurWma == 0 ? cpu : std::min(gOurWma, cpu);
    }
}
BENCHMARK(BM_WmaDecodeToMixer)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_PeerFfmpegNull(benchmark::State& state) {
    for (auto _ : state) {
        const auto [wall, cpu] = runPeer({"ffmpeg", "-nostdin", "-hide_banner", "-i", gWma, "-f", "null", "-"});
        if (wall < 0) {
            state.SkipWithError("ffmpeg is not installed (scripts/install-deps.sh --bench)");
            return;
        }
        state.SetIterationTime(cpu);
        state.counters["wall_s"] = wall;
        gPeerWma = gPeerWma == 0 ? cpu : std::min(gPeerWma, cpu);
    }
}
BENCHMARK(BM_PeerFfmpegNull)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_CdImageTrack(benchmark::State& state) {
    for (auto _ : state) {
        const double cpu = renderWhole([] {
            for (DWORD d = 0; const char* text = BASS_CD_GetDriveDescription(d); ++d)
                if (std::strcmp(text, "sixty-minutes.cue") == 0) return BASS_CD_StreamCreate(d, 0, 0);
            return DWORD{0};
        });
        state.SetIterationTime(cpu);
        gCdCpu = gCdCpu == 0 ? cpu : std::min(gCdCpu, cpu);
    }
}
BENCHMARK(BM_CdImageTrack)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_WavFile(benchmark::State& state) {
    for (auto _ : state) {
        const double cpu = renderWhole([] { return BASS_StreamCreateFile(FALSE, gWav.c_str(), 0, 0, 0); });
        state.SetIterationTime(cpu);
        gWavCpu = gWavCpu == 0 ? cpu : std::min(gWavCpu, cpu);
    }
}
BENCHMARK(BM_WavFile)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    makeFiles();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    if (gOurWma > 0 && gPeerWma > 0)
        std::printf("\n5-minute WMA v2, decode to mixer, no device (best CPU time of 3): library %.3f s, ffmpeg -f "
                    "null %.3f s, speed ratio %.2f (>= 1: at least as fast)\n",
                    gOurWma, gPeerWma, gPeerWma / gOurWma);
    if (gCdCpu > 0 && gWavCpu > 0)
        std::printf("60-minute track, rendered whole (best of 2): CD image %.2f ms CPU per second of sound, WAV file "
                    "%.2f ms, CPU ratio %.2f (<= 1: no more)\n",
                    gCdCpu / kCdSeconds * 1000, gWavCpu / kCdSeconds * 1000, gCdCpu / gWavCpu);
    return 0;
}

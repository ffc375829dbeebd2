// From a sound being heard to its spectrum in the shared block: our audio library plays
// silence on SDL's dummy output in real time, then a tone starts; the time the library
// reports the tone's first frame as heard is compared with the time the data thread's
// block (25 ms period, one mixed spectrum set) first shows the tone's bin at half its
// steady level. Prints the median and the largest of the trials.
//
//   vis_latency [TRIALS]     (default 20; run with SDL_AUDIODRIVER=dummy)
#include "Dynamic_Bass.h"
#include "VisDrive.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

namespace bass = Dynamic_Bass;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

namespace {

constexpr int kBin = 46;  // the tone sits on FFT bin 46 of 2048 at 44100 Hz
constexpr double kHz = kBin * 44100.0 / 2048;

struct Source {
    std::atomic<bool> wantTone{false};
    std::atomic<uint64_t> toneFrom{UINT64_MAX};  // first frame of the tone
    uint64_t frames = 0;                         // mixer thread only
    double phase = 0;
    static DWORD Proc(HSTREAM, void* buffer, DWORD length, void* user)
    {
        auto* s = static_cast<Source*>(user);
        auto* out = static_cast<int16_t*>(buffer);
        const bool tone = s->wantTone;
        if (tone && s->toneFrom == UINT64_MAX)
            s->toneFrom = s->frames;
        for (DWORD i = 0; i < length / 4; ++i) {
            int16_t v = 0;
            if (tone) {
                v = static_cast<int16_t>(std::lround(8192 * std::sin(s->phase)));
                s->phase = std::fmod(s->phase + 2 * std::numbers::pi * kHz / 44100, 2 * std::numbers::pi);
            }
            out[2 * i] = out[2 * i + 1] = v;
        }
        s->frames += length / 4;
        return length;
    }
};

std::atomic_ref<uint32_t> Ready(TVisSharedBlock* b)
{
    return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(reinterpret_cast<uint8_t*>(b) + 280));
}

}  // namespace

int main(int argc, char** argv)
{
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    setenv("AUBADINE_VIS_SHARE", ("AubadineVisBench" + std::to_string(getpid())).c_str(), 1);
    if (!bass::LoadBassLibrary(std::string(AUBADINE_BIN_DIR) + "/libbass.so") ||
        !bass::BASS_Init(1, 44100, 0, nullptr, nullptr)) {
        std::fprintf(stderr, "vis_latency: no audio library or output\n");
        return 1;
    }
    Source source;
    HSTREAM stream = bass::BASS_StreamCreate(44100, 2, 0, &Source::Proc, &source);
    bass::BASS_ChannelPlay(stream, FALSE);
    uint32_t message = 0;
    TVisSharedBlock* block = nullptr;
    {
        TVisDataThread thread(message, block);
        if (!thread.Ready()) {
            std::fprintf(stderr, "vis_latency: no shared block\n");
            return 1;
        }
        thread.SetStreamFormat(stream, 44100, 2);
        thread.ApplyRequest(TVisRequest{0, 25, 1, 0});
        thread.StartOutput();
        std::this_thread::sleep_for(600ms);

        std::vector<double> ms;
        uint8_t steady = 0;
        for (int t = 0; t < trials; ++t) {
            source.toneFrom = UINT64_MAX;
            source.wantTone = true;
            Clock::time_point heard{}, seen{};
            const auto limit = Clock::now() + 2s;
            while (Clock::now() < limit && (heard == Clock::time_point{} || seen == Clock::time_point{})) {
                const uint64_t from = source.toneFrom;
                if (heard == Clock::time_point{} && from != UINT64_MAX &&
                    bass::BASS_ChannelGetPosition(stream) / 4 >= from)
                    heard = Clock::now();
                if (Ready(block).load(std::memory_order_acquire) == 1) {
                    const uint8_t v = block->Data[kBin - 1];
                    if (seen == Clock::time_point{} && heard != Clock::time_point{} && v >= 48)
                        seen = Clock::now();
                    steady = std::max(steady, v);
                    Ready(block).store(0, std::memory_order_release);
                }
                std::this_thread::sleep_for(200us);
            }
            if (heard != Clock::time_point{} && seen != Clock::time_point{})
                ms.push_back(std::chrono::duration<double, std::milli>(seen - heard).count());
            std::this_thread::sleep_for(300ms);  // the tone reaches its steady level
            source.wantTone = false;
            std::this_thread::sleep_for(400ms);  // and silence again fills the analysis window
        }
        thread.Suspend();
        if (ms.empty()) {
            std::printf("vis latency: the tone never showed in the block (steady level %d)\n", steady);
            return 1;
        }
        std::sort(ms.begin(), ms.end());
        std::printf("vis latency (sound heard -> its spectrum in the block, 25 ms period): median %.1f ms, "
                    "max %.1f ms over %zu trials (target <= 50 ms; steady bin level %d)\n",
                    ms[ms.size() / 2], ms.back(), ms.size(), steady);
    }
    bass::BASS_Free();
    return 0;
}

// soundprobe: fixtures and measurements for the end-to-end tests.
//
//   soundprobe wav FILE HZ SECONDS   writes a 16-bit stereo 44100 Hz WAV file holding a sine
//   soundprobe tail FILE MS          measures the last MS milliseconds of a sound capture
//                                    (SDL's disk driver: raw 16-bit little-endian stereo at
//                                    44100 Hz) and prints "bytes=<size> rms=<0..1> hz=<pitch>"
//
//   soundprobe segments FILE         splits a whole capture into runs of one pitch (100 ms
//                                    windows, silence skipped) and prints one line per run:
//                                    "<hz> <seconds>"
//
// The pitch is taken from the zero crossings of the left channel, which is exact enough
// for the pure tones the tests play.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kRate = 44100;

void PutLE(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

int WriteWav(const std::string& path, double hz, double seconds)
{
    const auto frames = static_cast<uint32_t>(seconds * kRate);
    const uint32_t dataBytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    if (!out)
        return 1;
    out.write("RIFF", 4);
    PutLE(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLE(out, 16, 4);
    PutLE(out, 1, 2);
    PutLE(out, 2, 2);
    PutLE(out, kRate, 4);
    PutLE(out, kRate * 4, 4);
    PutLE(out, 4, 2);
    PutLE(out, 16, 2);
    out.write("data", 4);
    PutLE(out, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        auto s = static_cast<int16_t>(std::lround(16000 * std::sin(2 * M_PI * hz * i / kRate)));
        PutLE(out, static_cast<uint16_t>(s), 2);
        PutLE(out, static_cast<uint16_t>(s), 2);
    }
    return out ? 0 : 1;
}

int MeasureTail(const std::string& path, int ms)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        std::printf("bytes=0 rms=0 hz=0\n");
        return 0;
    }
    const long long size = in.tellg();
    long long want = static_cast<long long>(ms) * kRate / 1000 * 4;
    long long start = std::max(0LL, (size - want) / 4 * 4);
    std::vector<int16_t> samples(static_cast<size_t>((size - start) / 2));
    in.seekg(start);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));

    double sum = 0;
    int crossings = 0;
    size_t frames = samples.size() / 2;
    for (size_t i = 0; i < frames; ++i) {
        double left = samples[2 * i] / 32768.0;
        sum += left * left;
        if (i > 0 && (samples[2 * (i - 1)] < 0) != (samples[2 * i] < 0))
            ++crossings;
    }
    double rms = frames ? std::sqrt(sum / static_cast<double>(frames)) : 0;
    double hz = frames && rms > 0.001 ? crossings / 2.0 / (static_cast<double>(frames) / kRate) : 0;
    std::printf("bytes=%lld rms=%.4f hz=%.1f\n", size, rms, hz);
    return 0;
}

// Pitch (0 for silence) of frames [first, first + count) of the left channel.
double WindowPitch(const std::vector<int16_t>& samples, size_t first, size_t count)
{
    double sum = 0;
    int crossings = 0;
    for (size_t i = first; i < first + count; ++i) {
        double left = samples[2 * i] / 32768.0;
        sum += left * left;
        if (i > first && (samples[2 * (i - 1)] < 0) != (samples[2 * i] < 0))
            ++crossings;
    }
    double rms = std::sqrt(sum / static_cast<double>(count));
    return rms > 0.01 ? crossings / 2.0 / (static_cast<double>(count) / kRate) : 0;
}

int Segments(const std::string& path)
{
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return 1;
    const long long size = in.tellg();
    std::vector<int16_t> samples(static_cast<size_t>(size / 4 * 2));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(samples.data()), static_cast<std::streamsize>(samples.size() * 2));
    const size_t window = kRate / 10;
    double runHz = 0;
    int runWindows = 0;
    auto flush = [&] {
        if (runWindows > 0)
            std::printf("%.0f %.1f\n", runHz, runWindows / 10.0);
        runWindows = 0;
    };
    for (size_t f = 0; f + window <= samples.size() / 2; f += window) {
        const double hz = WindowPitch(samples, f, window);
        if (hz == 0) {
            flush();
            continue;
        }
        if (runWindows > 0 && std::abs(hz - runHz) > runHz * 0.03)
            flush();
        if (runWindows == 0)
            runHz = hz;
        ++runWindows;
    }
    flush();
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "wav" && argc == 5)
        return WriteWav(argv[2], std::atof(argv[3]), std::atof(argv[4]));
    if (mode == "tail" && argc == 4)
        return MeasureTail(argv[2], std::atoi(argv[3]));
    if (mode == "segments" && argc == 3)
        return Segments(argv[2]);
    std::fprintf(stderr, "usage: soundprobe wav FILE HZ SECONDS | soundprobe tail FILE MS | soundprobe segments FILE\n");
    return 2;
}

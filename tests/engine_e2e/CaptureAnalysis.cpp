#include "CaptureAnalysis.h"

#include <fftw3.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <numbers>

std::vector<int16_t> ReadCaptureLeft(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::vector<int16_t> left;
    int16_t frame[2];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame))
        left.push_back(frame[0]);
    return left;
}

std::vector<Segment> FindSegments(const std::vector<int16_t>& samples, int threshold, size_t minSilenceFrames,
                                  size_t minFrames)
{
    std::vector<Segment> out;
    bool inside = false;
    Segment current;
    size_t quiet = 0;
    for (size_t i = 0; i < samples.size(); ++i) {
        const bool loud = std::abs(static_cast<int>(samples[i])) > threshold;
        if (loud) {
            if (!inside) {
                inside = true;
                current = Segment{i, i + 1, 0};
            }
            current.end = i + 1;
            quiet = 0;
        } else if (inside && ++quiet >= minSilenceFrames) {
            inside = false;
            if (current.end - current.start >= minFrames)
                out.push_back(current);
        }
    }
    if (inside && current.end - current.start >= minFrames)
        out.push_back(current);
    for (Segment& s : out) {
        const size_t mid = (s.start + s.end) / 2;
        const size_t half = std::min<size_t>(4096, (s.end - s.start) / 2);
        s.frequency = DominantFrequency(samples, mid - half, mid + half);
    }
    return out;
}

double DominantFrequency(const std::vector<int16_t>& samples, size_t from, size_t to)
{
    const int n = static_cast<int>(to - from);
    if (n < 16)
        return 0;
    double* in = fftw_alloc_real(static_cast<size_t>(n));
    fftw_complex* out = fftw_alloc_complex(static_cast<size_t>(n / 2 + 1));
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in, out, FFTW_ESTIMATE);
    for (int i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * i / (n - 1));
        in[i] = w * samples[from + static_cast<size_t>(i)];
    }
    fftw_execute(plan);
    auto mag = [&](int k) { return std::hypot(out[k][0], out[k][1]); };
    int best = 1;
    for (int k = 1; k <= n / 2; ++k)
        if (mag(k) > mag(best))
            best = k;
    double offset = 0;
    if (best > 1 && best < n / 2) {
        const double a = mag(best - 1), b = mag(best), c = mag(best + 1);
        const double denom = a - 2 * b + c;
        if (denom != 0)
            offset = 0.5 * (a - c) / denom;
    }
    fftw_destroy_plan(plan);
    fftw_free(in);
    fftw_free(out);
    return (best + offset) * 44100.0 / n;
}

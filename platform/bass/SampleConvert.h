// Float samples (full scale = 1.0) to 16-bit: scaled by 32768, rounded to the nearest
// integer (ties to even, as the FPU rounds by default), clamped to -32768..32767. The block
// form converts four samples an instruction on x86-64; both forms give the same values.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace aubadine::bass {

inline int16_t floatToS16(float v) {
    // Clamping first keeps the conversion in range; NaN gives 0.
    const float scaled = std::clamp(v * 32768.0f, -32768.0f, 32767.0f);
    return scaled == scaled ? static_cast<int16_t>(std::lrint(scaled)) : int16_t{0};
}

// out[i] = floatToS16(in[i] * gain) for n samples.
inline void floatsToS16(const float* in, int16_t* out, size_t n, float gain = 1.0f) {
    size_t i = 0;
#if defined(__SSE2__)
    const __m128 scale = _mm_set1_ps(gain * 32768.0f);
    const __m128 high = _mm_set1_ps(32767.0f);
    const __m128 low = _mm_set1_ps(-32768.0f);
    for (; i + 8 <= n; i += 8) {
        __m128 a = _mm_mul_ps(_mm_loadu_ps(in + i), scale);
        __m128 b = _mm_mul_ps(_mm_loadu_ps(in + i + 4), scale);
        // max/min return their second operand for NaN, so NaN becomes -32768 before the
        // cmpord mask below zeroes it.
        const __m128 aOrdered = _mm_cmpord_ps(a, a);
        const __m128 bOrdered = _mm_cmpord_ps(b, b);
        a = _mm_and_ps(_mm_min_ps(_mm_max_ps(a, low), high), aOrdered);
        b = _mm_and_ps(_mm_min_ps(_mm_max_ps(b, low), high), bOrdered);
        const __m128i packed = _mm_packs_epi32(_mm_cvtps_epi32(a), _mm_cvtps_epi32(b));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), packed);
    }
#endif
    for (; i < n; ++i) out[i] = floatToS16(in[i] * gain);
}

}  // namespace aubadine::bass

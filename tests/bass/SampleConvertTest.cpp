// The float to 16-bit conversion of the mixer and of BASS_ChannelGetData: the block form
// (four samples an instruction) must give exactly what rounding each sample would.
#include "SampleConvert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace aubadine::bass {
namespace {

int16_t reference(float v) {
    if (std::isnan(v)) return 0;
    return static_cast<int16_t>(std::clamp(std::nearbyint(v * 32768.0f), -32768.0f, 32767.0f));
}

TEST(SampleConvert, BlocksRoundLikeEachSampleAndClampAtFullScale) {
    std::vector<float> in = {0.0f,          -0.0f,         1.0f,          -1.0f,        1.5f,         -7.0f,
                             0.5f / 32768,  1.5f / 32768,  2.5f / 32768,  -0.5f / 32768, -1.5f / 32768,
                             32767.5f / 32768, -32768.5f / 32768, 0.99999f, std::numeric_limits<float>::infinity(),
                             -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN()};
    for (int i = 0; i < 1000; ++i) in.push_back(std::sin(static_cast<float>(i) * 0.37f) * 1.2f);
    for (size_t n : {in.size(), size_t{7}, size_t{8}, size_t{9}, size_t{0}}) {
        for (float gain : {1.0f, 0.5f, 0.25f}) {
            std::vector<int16_t> out(n, 12345);
            floatsToS16(in.data(), out.data(), n, gain);
            for (size_t i = 0; i < n; ++i) ASSERT_EQ(out[i], reference(in[i] * gain)) << i << " gain " << gain;
        }
    }
    EXPECT_EQ(floatToS16(2.5f / 32768), 2);  // ties go to the even neighbour
    EXPECT_EQ(floatToS16(-1.0f), -32768);
    EXPECT_EQ(floatToS16(1.0f), 32767);
}

}  // namespace
}  // namespace aubadine::bass

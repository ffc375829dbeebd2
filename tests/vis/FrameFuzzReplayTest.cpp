// Replays generated packets through the frame parser's fuzz entry (under ASan/UBSan in
// CI), and checks the parser's verdict on frames at each of its limits.
#include "FrameFuzzEntry.h"
#include "VisProtocol.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

std::vector<uint8_t> Frame(uint32_t code, uint32_t value, uint32_t size, size_t recordBytes)
{
    std::vector<uint8_t> f(12 + recordBytes, 0xA5);
    visproto::WriteU32(f.data(), code);
    visproto::WriteU32(f.data() + 4, value);
    visproto::WriteU32(f.data() + 8, size);
    return f;
}

TEST(FrameParser, VerdictsAtTheLimits)
{
    using namespace visproto;
    struct Case {
        std::vector<uint8_t> packet;
        TVisError verdict;
    };
    const Case cases[] = {
        {{}, errShort},
        {std::vector<uint8_t>(11), errShort},
        {Frame(cmdUnlink, 0, 0, 0), errNone},
        {Frame(cmdUnlink, 0, 1, 1), errRecordSize},
        {Frame(cmdHello, 0, 4, 4), errNone},
        {Frame(cmdHello, 0, 0, 0), errRecordSize},
        {Frame(cmdLink, 0, 8, 8), errNone},
        {Frame(cmdLink, 0, 0, 0), errNone},
        {Frame(cmdLink, 0, 8, 4), errRecordSize},
        {Frame(cmdRequest, 0, 16, 16), errNone},
        {Frame(cmdRequest, 0, 0xFFFFFFFF, 16), errRecordSize},
        {Frame(cmdRequest, 0, 256, 256), errRecordSize},
        {Frame(cmdRequest, 0, 257, 257), errOversized},
        {Frame(0, 0, 0, 0), errUnknownCommand},
        {Frame(ntfData, 0, 0, 0), errUnknownCommand},
    };
    for (const Case& c : cases) {
        TVisFrame f;
        EXPECT_EQ(ParseCommand(c.packet.data(), c.packet.size(), f), c.verdict) << c.packet.size();
    }
    // A packet longer than the buffer it arrived in is judged by its whole length.
    auto big = Frame(cmdRequest, 0, 16, 16);
    TVisFrame f;
    EXPECT_EQ(ParseCommand(big.data(), 100000, f), errOversized);
}

TEST(FrameFuzzReplay, GeneratedPackets)
{
    std::mt19937 rng(4711);
    const uint32_t codes[] = {0x48, 0x3C, 0x37, 0x46, 0, 10, 0xFFFFFFFF};
    for (int i = 0; i < 20000; ++i) {
        std::vector<uint8_t> p;
        if (rng() % 2) {
            const size_t n = rng() % 40;
            p = Frame(codes[rng() % std::size(codes)], rng(), rng() % 3 ? static_cast<uint32_t>(n) : rng(), n);
        } else {
            p.resize(rng() % 300);
        }
        for (auto& b : p)
            if (rng() % 8 == 0)
                b = static_cast<uint8_t>(rng());
        FuzzVisFrame(p.data(), p.size());
    }
    SUCCEED();
}

}  // namespace

// A decoding thread writes through the output module while a second thread pulls as the
// mixer does: every byte arrives once and in order, and neither side ever waits long.
#include "PluginTestSupport.h"

#include <atomic>
#include <chrono>
#include <thread>

TEST_F(PluginHostTest, WriterAndPullerShareTheRing)
{
    constexpr uint32_t kTotal = 176400 * 3;  // 3 s of 44100 Hz 16-bit stereo
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    TOutModule* out = &Out();
    const HSTREAM stream = emulator_detail::Stream();

    std::thread writer([out] {
        std::vector<char> block(4410);
        uint32_t sent = 0;
        while (sent < kTotal) {
            const auto n = static_cast<int>(std::min<uint32_t>(4410, kTotal - sent));
            if (out->CanWrite() < n) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
                continue;
            }
            for (int i = 0; i < n; ++i)
                block[i] = static_cast<char>((sent + i) % 251);
            ASSERT_EQ(out->Write(block.data(), n), 0);
            sent += static_cast<uint32_t>(n);
        }
    });

    uint32_t received = 0;
    bool inOrder = true;
    std::vector<uint8_t> buf(4096);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (received < kTotal && std::chrono::steady_clock::now() < deadline) {
        const DWORD got = emulator_detail::StreamProc(stream, buf.data(), 4096, nullptr);
        if (got == BASS_STREAMPROC_END || got == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
            continue;
        }
        for (DWORD i = 0; i < got; ++i)
            inOrder = inOrder && buf[i] == (received + i) % 251;
        received += got;
    }
    writer.join();
    EXPECT_EQ(received, kTotal);
    EXPECT_TRUE(inOrder);
    Pump();
}

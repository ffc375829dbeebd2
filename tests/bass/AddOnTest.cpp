// The way an add-on brings its own decoder: a Source handed to createChannel becomes an
// ordinary channel that every BASS_Channel* call, BASS_StreamFree and the syncs reach.
#include "Offline.h"
#include "Source.h"

namespace aubadine::bass::test {
namespace {

// 48000 Hz mono ramp of a known length, seekable anywhere; fires a META sync at frame 1000.
class RampSource final : public aubadine::bass::Source {
public:
    explicit RampSource(uint64_t frames) : frames_(frames) {}
    aubadine::bass::SourceFormat format() const override { return {48000, 1, 0, BASS_CTYPE_STREAM_CD}; }
    void attach(DWORD channel) override { channel_ = channel; }
    size_t read(int16_t* out, size_t frames, aubadine::bass::ReadStatus& status) override {
        const size_t n = static_cast<size_t>(std::min<uint64_t>(frames, frames_ - at_));
        for (size_t i = 0; i < n; ++i) out[i] = static_cast<int16_t>((at_ + i) % 1000);
        if (at_ < 1000 && at_ + n >= 1000) aubadine::bass::fireChannelSyncs(channel_, BASS_SYNC_META, 1000);
        at_ += n;
        if (at_ == frames_) status = aubadine::bass::ReadStatus::Ended;
        return n;
    }
    std::optional<uint64_t> lengthFrames() const override { return frames_; }
    bool seek(uint64_t frame) override {
        at_ = frame;
        return true;
    }
    const char* tags(uint32_t kind) override { return kind == BASS_TAG_META ? "StreamTitle='Ramp';" : nullptr; }

private:
    uint64_t frames_;
    uint64_t at_ = 0;
    DWORD channel_ = 0;
};

TEST_F(Offline, AnAddOnSourceBecomesAnOrdinaryChannel) {
    const DWORD ch = aubadine::bass::createChannel(std::make_unique<RampSource>(24000), 0,
                                                   aubadine::bass::ChannelKind::Stream);
    ASSERT_NE(ch, 0u);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(ch, &info));
    EXPECT_EQ(info.freq, 48000u);
    EXPECT_EQ(info.chans, 1u);
    EXPECT_EQ(info.ctype, DWORD{BASS_CTYPE_STREAM_CD});
    EXPECT_EQ(BASS_StreamGetLength(ch), 48000u);  // half a second, mono 16-bit
    EXPECT_STREQ(BASS_StreamGetTags(ch, BASS_TAG_META), "StreamTitle='Ramp';");

    SyncCounter meta, ends;
    BASS_ChannelSetSync(ch, BASS_SYNC_META, 0, &SyncCounter::callback, &meta);
    BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(4410);
    EXPECT_TRUE(meta.waitFor(1));
    EXPECT_NEAR(BASS_ChannelBytes2Seconds(ch, BASS_ChannelGetPosition(ch)), 0.1, 0.001);
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, BASS_ChannelSeconds2Bytes(ch, 0.25f)));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), 12000u * 2);
    renderUntilStopped(ch);
    EXPECT_TRUE(ends.waitFor(1));
    EXPECT_TRUE(BASS_StreamFree(ch));
}

}  // namespace
}  // namespace aubadine::bass::test

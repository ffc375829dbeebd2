// User streams: the frames come from the creator's STREAMPROC, called on the mixer thread.
#include "Sources.h"

#include <algorithm>
#include <vector>

namespace aubadine::bass {
namespace {

class UserSource final : public Source {
public:
    UserSource(uint32_t rate, uint32_t channels, uint32_t flags, STREAMPROC* proc, void* user)
        : proc_(proc), user_(user) {
        format_.rate = rate;
        format_.channels = channels;
        format_.flags = flags & BASS_SAMPLE_8BITS;
        format_.ctype = BASS_CTYPE_STREAM;
    }

    SourceFormat format() const override { return format_; }
    void attach(DWORD channel) override { handle_ = channel; }

    size_t read(int16_t* out, size_t frames, ReadStatus& status) override {
        if (ended_) {
            status = ReadStatus::Ended;
            return 0;
        }
        const bool eight = format_.flags & BASS_SAMPLE_8BITS;
        const size_t frameBytes = format_.channels * (eight ? 1 : 2);
        const size_t asked = frames * frameBytes;
        raw_.resize(asked);
        const DWORD result = proc_(handle_, raw_.data(), static_cast<DWORD>(asked), user_);
        const size_t given = std::min<size_t>(result & ~BASS_STREAMPROC_END, asked) / frameBytes;
        const size_t samples = given * format_.channels;
        if (eight) {
            for (size_t i = 0; i < samples; ++i) out[i] = static_cast<int16_t>((int{raw_[i]} - 128) * 256);
        } else {
            std::copy_n(reinterpret_cast<const int16_t*>(raw_.data()), samples, out);
        }
        if (result & BASS_STREAMPROC_END) {
            ended_ = true;
            status = ReadStatus::Ended;
        } else if (given == 0) {
            status = ReadStatus::Stalled;
        }
        return given;
    }

    // Only a restart: the stream asks its procedure again from the beginning.
    bool seek(uint64_t frame) override {
        if (frame != 0) return false;
        ended_ = false;
        return true;
    }

private:
    SourceFormat format_;
    STREAMPROC* proc_;
    void* user_;
    DWORD handle_ = 0;
    bool ended_ = false;
    std::vector<uint8_t> raw_;
};

}  // namespace

std::unique_ptr<Source> makeUserSource(uint32_t rate, uint32_t channels, uint32_t flags, STREAMPROC* proc,
                                       void* user) {
    return std::make_unique<UserSource>(rate, channels, flags, proc, user);
}

}  // namespace aubadine::bass

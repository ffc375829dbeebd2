// Tracker modules (MOD, S3M, XM, IT, MTM, UMX, MO3, ...) rendered by libopenmpt.
#include "FileRegion.h"
#include "Sources.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

namespace aubadine::bass {
namespace {

// libopenmpt's log goes nowhere: the library reports through error codes only.
class NullBuffer : public std::streambuf {
protected:
    int overflow(int c) override { return c; }
};

uint32_t moduleType(const std::string& type, const std::string& container) {
    uint32_t ctype = BASS_CTYPE_MUSIC_MOD;
    if (type == "mtm") ctype = BASS_CTYPE_MUSIC_MTM;
    else if (type == "s3m") ctype = BASS_CTYPE_MUSIC_S3M;
    else if (type == "xm") ctype = BASS_CTYPE_MUSIC_XM;
    else if (type == "it" || type == "mptm") ctype = BASS_CTYPE_MUSIC_IT;
    if (container == "mo3") ctype |= BASS_CTYPE_MUSIC_MO3;
    return ctype;
}

class ModuleSource final : public Source {
public:
    ModuleSource(std::vector<std::byte> data, uint32_t rate) : log_(&nullBuffer_) {
        try {
            module_ = std::make_unique<openmpt::module>(data, log_);
        } catch (const openmpt::exception&) {
            fail(BASS_ERROR_FILEFORM);
        }
        // Deterministic output that ends where the play length says: no dither, and the
        // song stops at its end instead of fading out past it.
        module_->ctl_set_integer("dither", 0);
        module_->ctl_set_text("play.at_end", "stop");
        format_.rate = rate;
        format_.channels = 2;
        format_.ctype = moduleType(module_->get_metadata("type"), module_->get_metadata("container"));
        name_ = module_->get_metadata("title");
        const double seconds = module_->get_duration_seconds();
        length_ = static_cast<uint64_t>(std::llround(std::max(0.0, seconds) * rate));
    }

    SourceFormat format() const override { return format_; }

    size_t read(int16_t* out, size_t frames, ReadStatus& status) override {
        // Interleaved stereo: `out` holds frames * 2 samples.
        const size_t got = module_->read_interleaved_stereo(static_cast<std::int32_t>(format_.rate), frames, out);
        if (got == 0) status = ReadStatus::Ended;
        return got;
    }

    std::optional<uint64_t> lengthFrames() const override { return length_; }

    bool seek(uint64_t frame) override {
        module_->set_position_seconds(static_cast<double>(frame) / format_.rate);
        return true;
    }

    const char* musicName() const override { return name_.c_str(); }
    std::optional<uint32_t> musicOrders() const override {
        return static_cast<uint32_t>(module_->get_num_orders());
    }

private:
    NullBuffer nullBuffer_;
    std::ostream log_;
    std::unique_ptr<openmpt::module> module_;
    SourceFormat format_;
    std::string name_;
    uint64_t length_ = 0;
};

}  // namespace

std::unique_ptr<Source> openModuleSource(bool mem, const void* file, uint64_t offset, uint64_t length,
                                         uint32_t rate, uint32_t /*flags*/) {
    FileRegion region(mem, file, offset, length);
    constexpr uint64_t kLargest = 256u << 20;  // modules are small; refuse anything absurd
    if (region.size() == 0 || region.size() > kLargest) fail(BASS_ERROR_FILEFORM);
    // libopenmpt works on the whole module in memory.
    std::vector<std::byte> data(static_cast<size_t>(region.size()));
    if (region.read(0, data.data(), data.size()) != data.size()) fail(BASS_ERROR_FILEOPEN);
    return std::make_unique<ModuleSource>(std::move(data), rate);
}

}  // namespace aubadine::bass

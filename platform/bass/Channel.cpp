#include "Channel.h"

#include "Library.h"
#include "Mixer.h"
#include "SampleConvert.h"
#include "SyncThread.h"
#include "dsp/Effects.h"
#include "dsp/Fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace aubadine::bass {
namespace {

constexpr size_t kChunkFrames = 1024;       // frames asked of a source at a time
constexpr size_t kHistoryFrames = 1 << 16;  // processed frames kept for levels and data
static_assert((kHistoryFrames & (kHistoryFrames - 1)) == 0, "the history ring is indexed by masking");

// Module positions may be given as MAKELONG(seconds, 0xFFFF), sign-extended to 64 bits.
bool isMusicSeconds(QWORD pos) {
    const uint32_t high = static_cast<uint32_t>(pos >> 32);
    return (high == 0xFFFFFFFFu || high == 0) && ((pos >> 16) & 0xFFFF) == 0xFFFF;
}

}  // namespace

Channel::Channel(DWORD handle, std::unique_ptr<Source> source, DWORD flags, ChannelKind kind,
                 std::shared_ptr<Mixer> mixer)
    : handle_(handle),
      kind_(kind),
      decoding_((flags & BASS_STREAM_DECODE) != 0),
      source_(std::move(source)),
      mixer_(mixer),
      syncThread_(Library::instance().syncThread()),
      deviceRate_(mixer->rate()),
      format_(source_->format()),
      flags_(flags) {
    if (format_.channels < 1 || format_.channels > 8 || format_.rate < 1000 || format_.rate > 384000)
        fail(BASS_ERROR_FORMAT);
    bytesPerFrame_ = format_.channels * ((format_.flags & BASS_SAMPLE_8BITS) ? 1 : 2);
    playRate_ = format_.rate;
    lengthFrames_ = source_->lengthFrames();
    pcm_.resize(kChunkFrames * format_.channels);
    floats_.resize(kChunkFrames * format_.channels);
    if (decoding_) {
        // Nothing is heard, so there is no history to keep and nothing to resample.
        historyFrames_ = 0;
        return;
    }
    historyFrames_ = kHistoryFrames;
    history_.assign(historyFrames_ * format_.channels, 0.0f);
    configureResampler();
}

Channel::~Channel() = default;

void Channel::configureResampler() {
    resampler_.configure(playRate_, format_.channels, deviceRate_);
}

BASS_CHANNELINFO Channel::info() {
    std::lock_guard lock(mutex_);
    BASS_CHANNELINFO info{};
    info.freq = format_.rate;
    info.chans = format_.channels;
    info.flags = (flags_ & ~DWORD{BASS_SAMPLE_8BITS}) | (format_.flags & BASS_SAMPLE_8BITS);
    if (format_.channels == 1) info.flags |= BASS_SAMPLE_MONO;
    info.ctype = format_.ctype;
    return info;
}

uint32_t Channel::rate() {
    std::lock_guard lock(mutex_);
    return playRate_;
}

void Channel::seekTo(uint64_t frame) {  // under sourceMutex_ and mutex_
    const bool moved = source_->seek(frame);
    lengthFrames_ = source_->lengthFrames();
    if (!moved) fail(BASS_ERROR_POSITION);
    fifo_.clear();
    fifoHead_ = 0;
    resampler_.reset();
    sourceEnded_ = false;
    stalled_ = false;
    fifoSrc_ = static_cast<double>(frame);
    fifoProc_ = static_cast<double>(processed_);
    marks_.clear();
    base_ = {fifoSrc_, fifoProc_};
    loops_.clear();
    notedUpTo_.reset();
    dues_.clear();  // a sync passed by the seek is not called until its place is reached again
    if (state_ == ChannelState::Ending) state_ = ChannelState::Playing;
    decodedFrames_ = frame;
    endSynced_ = false;
}

void Channel::play(bool restart) {
    auto ended = [this] {
        return sourceEnded_ && fifoHead_ * 2 >= fifo_.size() &&
               (state_ == ChannelState::Stopped || state_ == ChannelState::Ending);
    };
    {
        std::lock_guard lock(mutex_);
        if (freed_) fail(BASS_ERROR_HANDLE);
        if (decoding_) fail(BASS_ERROR_DECODE);
        if (!restart && !ended()) {
            state_ = ChannelState::Playing;  // no seek: no wait for the source
            return;
        }
    }
    std::lock_guard source(sourceMutex_);
    std::lock_guard lock(mutex_);
    if (freed_) fail(BASS_ERROR_HANDLE);
    if (restart || ended()) seekTo(0);
    state_ = ChannelState::Playing;
}

void Channel::stop() {
    std::lock_guard lock(mutex_);
    if (decoding_) fail(BASS_ERROR_DECODE);
    state_ = ChannelState::Stopped;
}

void Channel::pause() {
    std::lock_guard lock(mutex_);
    if (decoding_) fail(BASS_ERROR_DECODE);
    if (state_ == ChannelState::Paused) fail(BASS_ERROR_ALREADY);
    if (state_ == ChannelState::Stopped) fail(BASS_ERROR_NOPLAY);
    state_ = ChannelState::Paused;
}

DWORD Channel::activity() {
    std::lock_guard lock(mutex_);
    if (decoding_) {
        if (sourceEnded_ || freed_) return BASS_ACTIVE_STOPPED;
        return stalled_ ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
    }
    switch (state_) {
    case ChannelState::Stopped: return BASS_ACTIVE_STOPPED;
    case ChannelState::Paused: return BASS_ACTIVE_PAUSED;
    case ChannelState::Ending: return BASS_ACTIVE_PLAYING;
    case ChannelState::Playing: return stalled_ ? BASS_ACTIVE_STALLED : BASS_ACTIVE_PLAYING;
    }
    return BASS_ACTIVE_STOPPED;
}

std::optional<QWORD> Channel::lengthBytes() {
    std::lock_guard lock(mutex_);
    if (lengthFrames_) return *lengthFrames_ * bytesPerFrame_;
    return std::nullopt;
}

uint64_t Channel::heardDeviceFrame() const {
    if (auto mixer = mixer_.lock()) return mixer->heardFrame();
    return std::numeric_limits<uint64_t>::max();
}

Channel::Heard Channel::heardAt(uint64_t device) const {
    if (marks_.empty()) return base_;
    const Mark& first = marks_.front();
    if (device <= first.device) return {first.src, first.proc};
    for (const Mark& m : marks_) {
        // Between two blocks (the channel was paused, stalled or not yet started there):
        // what is heard is where the next block begins.
        if (device < m.device) return {m.src, m.proc};
        if (device < m.device + m.frames) {
            const double into = static_cast<double>(device - m.device) * m.step;
            return {m.src + into, m.proc + into};
        }
    }
    const Mark& last = marks_.back();
    const double all = static_cast<double>(last.frames) * last.step;
    return {last.src + all, last.proc + all};
}

QWORD Channel::position() {
    std::lock_guard lock(mutex_);
    if (decoding_) return decodedFrames_ * bytesPerFrame_;
    double frame = std::max(0.0, heardAt(heardDeviceFrame()).src);
    if (lengthFrames_) frame = std::min(frame, static_cast<double>(*lengthFrames_));
    return static_cast<QWORD>(frame) * bytesPerFrame_;
}

void Channel::setPosition(QWORD pos) {
    std::lock_guard source(sourceMutex_);
    std::lock_guard lock(mutex_);
    if (kind_ == ChannelKind::Music && isMusicSeconds(pos)) {
        seekTo(uint64_t{pos & 0xFFFF} * format_.rate);
        return;
    }
    const uint64_t frame = pos / bytesPerFrame_;
    if (auto length = source_->lengthFrames(); length && frame > *length) fail(BASS_ERROR_POSITION);
    seekTo(frame);
}

void Channel::setFlags(DWORD flags) {
    std::lock_guard lock(mutex_);
    const DWORD changeable = BASS_SAMPLE_LOOP | BASS_STREAM_AUTOFREE;
    flags_ = (flags_ & ~changeable) | (flags & changeable);
}

void Channel::setAttributes(int freq, int volume, int pan) {
    std::lock_guard lock(mutex_);
    if (freq > 0 && (freq < 100 || freq > 384000)) fail(BASS_ERROR_ILLPARAM);
    if (volume > 100 || pan > 100 || (pan < -100 && pan != -101)) fail(BASS_ERROR_ILLPARAM);
    if (volume >= 0) volume_ = static_cast<float>(volume) / 100.0f;
    if (pan >= -100) pan_ = static_cast<float>(pan) / 100.0f;
    if (freq == 0) freq = static_cast<int>(format_.rate);  // 0: back to the original rate
    if (freq > 0 && static_cast<uint32_t>(freq) != playRate_) {
        playRate_ = static_cast<uint32_t>(freq);
        configureResampler();
    }
}

void Channel::attributes(DWORD* freq, DWORD* volume, int* pan) {
    std::lock_guard lock(mutex_);
    if (freq) *freq = playRate_;
    if (volume) *volume = static_cast<DWORD>(std::lround(volume_ * 100.0f));
    if (pan) *pan = static_cast<int>(std::lround(pan_ * 100.0f));
}

// ---- processing (mixer thread) ----

void Channel::process(size_t frames) {
    const size_t samples = frames * format_.channels;
    for (size_t i = 0; i < samples; ++i) floats_[i] = static_cast<float>(pcm_[i]) / 32768.0f;
    for (Fx& fx : effects_) fx.effect->process(floats_.data(), frames);

    // Into the history ring in at most two runs (the ring's size is a power of two).
    const size_t ch = format_.channels;
    const size_t at = static_cast<size_t>(processed_ & (historyFrames_ - 1));
    const size_t first = std::min(frames, historyFrames_ - at);
    std::copy_n(floats_.data(), first * ch, history_.data() + at * ch);
    std::copy_n(floats_.data() + first * ch, (frames - first) * ch, history_.data());
    processed_ += frames;
    resampler_.push(floats_.data(), frames, fifo_);
}

// The source (a STREAMPROC for user streams) and the DSP callbacks run under sourceMutex_
// only: calls on this channel from other threads that do not touch the source (state,
// positions, levels, data, attributes, syncs, effects) never wait for them.
void Channel::produce(size_t deviceFrames) {
    std::lock_guard source(sourceMutex_);
    bool loopedEmpty = false;
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            // One frame more than asked: the source's end (or loop) is then known by the time
            // its last frame is mixed, so end syncs are due exactly there.
            if (freed_ || sourceEnded_ || state_ != ChannelState::Playing || fifo_.size() / 2 - fifoHead_ > deviceFrames)
                return;
            dspScratch_ = dsps_;  // a callback may add or remove DSPs
        }
        ReadStatus status = ReadStatus::Ok;
        const size_t n = source_->read(pcm_.data(), kChunkFrames, status);
        const auto bytes = static_cast<DWORD>(n * format_.channels * sizeof(int16_t));
        for (size_t i = 0; n > 0 && i < dspScratch_.size() && !freed_; ++i)
            dspScratch_[i].proc(dspScratch_[i].handle, handle_, pcm_.data(), bytes, dspScratch_[i].user);

        std::lock_guard lock(mutex_);
        if (freed_) return;
        stalled_ = n == 0 && status == ReadStatus::Stalled;
        lengthFrames_ = source_->lengthFrames();
        if (n > 0) {
            process(n);
            loopedEmpty = false;
        }
        if (status == ReadStatus::Ended) {
            if ((flags_ & BASS_SAMPLE_LOOP) && !loopedEmpty && source_->seek(0)) {
                loopedEmpty = true;  // an empty source must not loop for ever
                loops_.push_back(static_cast<double>(processed_));
                continue;
            }
            resampler_.flush(fifo_);
            sourceEnded_ = true;
        } else if (n == 0) {
            return;
        }
    }
}

bool Channel::fill(size_t aheadFrames) {
    {
        std::lock_guard lock(mutex_);
        if (freed_) return false;
        if (state_ == ChannelState::Ending) return true;  // its end is still to be heard
        if (state_ != ChannelState::Playing) return false;
    }
    produce(aheadFrames);
    return true;
}

size_t Channel::queued() {
    std::lock_guard lock(mutex_);
    if (freed_ || state_ != ChannelState::Playing || sourceEnded_ || stalled_) return SIZE_MAX;
    return fifo_.size() / 2 - fifoHead_;
}

bool Channel::wantsMore(size_t aheadFrames) {
    std::lock_guard lock(mutex_);
    return !freed_ && state_ == ChannelState::Playing && !sourceEnded_ && fifo_.size() / 2 - fifoHead_ < aheadFrames;
}

bool Channel::mix(float* mix, size_t frames, uint64_t at) {
    std::lock_guard lock(mutex_);
    if (freed_) return false;
    if (state_ != ChannelState::Playing) return state_ == ChannelState::Ending;
    const size_t available = fifo_.size() / 2 - fifoHead_;
    const size_t k = std::min(available, frames);

    const Config& cfg = config();
    const float global = kind_ == ChannelKind::Music ? cfg.musicVolume.load() : cfg.streamVolume.load();
    const float gain = volume_ * global;
    const float left = gain * (pan_ > 0 ? 1.0f - pan_ : 1.0f);
    const float right = gain * (pan_ < 0 ? 1.0f + pan_ : 1.0f);
    const float* src = fifo_.data() + fifoHead_ * 2;
    for (size_t i = 0; i < k; ++i) {
        mix[i * 2] += src[i * 2] * left;
        mix[i * 2 + 1] += src[i * 2 + 1] * right;
    }
    if (k > 0) {
        recordMarks(at, k, static_cast<double>(playRate_) / deviceRate_);
        fifoHead_ += k;
    }
    if (fifoHead_ * 2 >= fifo_.size()) {
        fifo_.clear();
        fifoHead_ = 0;
    } else if (fifoHead_ > 4 * kChunkFrames) {
        fifo_.erase(fifo_.begin(), fifo_.begin() + static_cast<ptrdiff_t>(fifoHead_ * 2));
        fifoHead_ = 0;
    }
    if (sourceEnded_ && fifo_.empty()) {
        state_ = ChannelState::Ending;
        endDeviceFrame_ = at + k;
        postSyncs(BASS_SYNC_END, SyncTime::Mixed);
    }
    return true;
}

void Channel::recordMarks(uint64_t at, size_t frames, double step) {
    size_t done = 0;
    while (done < frames) {
        size_t n = frames - done;
        bool loops = false;
        if (!loops_.empty()) {
            // Device frames still carrying the pass before the loop point.
            const double before = std::ceil((loops_.front() - fifoProc_) / step);
            if (before <= static_cast<double>(n)) {
                n = before > 0 ? static_cast<size_t>(before) : 0;
                loops = true;
            }
        }
        if (n > 0) {
            const double span = static_cast<double>(n) * step;
            marks_.push_back({at + done, n, fifoSrc_, fifoProc_, step});
            notePositions(fifoSrc_, span, at + done, step);
            fifoSrc_ += span;
            fifoProc_ += span;
            done += n;
        }
        if (loops) {
            // The source starts again from its first frame at device frame at + done: for
            // whoever listens, the channel has reached its end there.
            fifoSrc_ = std::max(0.0, fifoProc_ - loops_.front());
            loops_.pop_front();
            notedUpTo_.reset();
            // At the end of the block: an empty mark says where the next frame comes from.
            if (done == frames) marks_.push_back({at + done, 0, fifoSrc_, fifoProc_, step});
            for (size_t i = 0; i < syncs_.size();) {
                if ((syncs_[i].type & 0xFFFF) == BASS_SYNC_END && reached(syncs_[i], at + done))
                    syncs_.erase(syncs_.begin() + static_cast<ptrdiff_t>(i));
                else
                    ++i;
            }
        }
    }
    fifoProc_ = std::min(fifoProc_, static_cast<double>(processed_));
}

void Channel::noticeHeard(uint64_t heard, SyncThread& syncs) {
    std::lock_guard lock(mutex_);
    while (marks_.size() > 1 && marks_.front().device + marks_.front().frames <= heard) marks_.pop_front();
    if (freed_) return;
    if (!dues_.empty() && dues_.front().device <= heard) {
        const auto end = std::find_if(dues_.begin(), dues_.end(), [heard](const Due& d) { return d.device > heard; });
        const std::vector<Due> now(dues_.begin(), end);
        dues_.erase(dues_.begin(), end);
        for (const Due& due : now) {
            auto s = std::find_if(syncs_.begin(), syncs_.end(), [&](const Sync& x) { return x.handle == due.sync; });
            if (s == syncs_.end()) continue;  // removed meanwhile, or a one-time sync already called
            postSync(*s, 0);
            if (s->type & BASS_SYNC_ONETIME) syncs_.erase(s);
        }
    }
    if (state_ != ChannelState::Ending || heard < endDeviceFrame_) return;
    state_ = ChannelState::Stopped;
    postSyncs(BASS_SYNC_END, SyncTime::Heard);
    if (flags_ & BASS_STREAM_AUTOFREE) {
        syncs.post(handle_, 0, [channel = handle_] {
            try {
                if (auto c = Library::instance().takeChannel(channel)) c->markFreed();
            } catch (...) {
                // already freed by its owner
            }
        });
    }
}

void Channel::markFreed() {
    {
        // Waits for a running STREAMPROC or DSP (unless called from inside one): once the
        // channel is freed, none of its callbacks runs any more.
        std::lock_guard source(sourceMutex_);
        std::lock_guard lock(mutex_);
        freed_ = true;
        state_ = ChannelState::Stopped;
        if (auto mixer = mixer_.lock()) mixer->remove(this);
    }
    // Outside the lock, since a running sync of this channel may still call the library on
    // it: what is queued is dropped, and a running one is waited for.
    if (auto syncs = Library::instance().syncThread()) syncs->cancelChannel(handle_);
}

// ---- syncs, DSPs, effects ----

HSYNC Channel::addSync(DWORD type, QWORD param, SYNCPROC* proc, void* user) {
    const DWORD kind = type & 0xFFFF;
    if (kind != BASS_SYNC_POS && kind != BASS_SYNC_END && kind != BASS_SYNC_META && kind != BASS_SYNC_DOWNLOAD)
        fail(BASS_ERROR_ILLTYPE);
    if (!proc) fail(BASS_ERROR_ILLPARAM);
    const HSYNC handle = Library::instance().newHandle();
    std::lock_guard lock(mutex_);
    syncs_.push_back({handle, type, param, proc, user});
    return handle;
}

bool Channel::removeSync(HSYNC sync) {
    {
        std::lock_guard lock(mutex_);
        if (std::erase_if(syncs_, [sync](const Sync& s) { return s.handle == sync; }) == 0) return false;
    }
    if (auto syncs = Library::instance().syncThread()) syncs->cancelSync(sync);
    return true;
}

void Channel::fireSyncs(DWORD type, uintptr_t data) {
    std::lock_guard lock(mutex_);
    if (freed_) return;
    postSyncs(type, SyncTime::Any, data);
}

void Channel::postSync(const Sync& s, uintptr_t data) {
    // Not through the library's lock: this runs on the output's thread too, inside SDL's
    // device lock, which the library's lock is held around elsewhere (BASS_Start, BASS_Pause).
    if (auto thread = syncThread_.lock())
        thread->post(handle_, s.handle, [s, channel = handle_, data] { s.proc(s.handle, channel, data, s.user); });
}

void Channel::postSyncs(DWORD kind, SyncTime when, uintptr_t data) {
    for (size_t i = 0; i < syncs_.size();) {
        const Sync& s = syncs_[i];
        const bool mixtime = (s.type & BASS_SYNC_MIXTIME) != 0;
        if ((s.type & 0xFFFF) != kind || (when == SyncTime::Heard && mixtime) || (when == SyncTime::Mixed && !mixtime)) {
            ++i;
            continue;
        }
        postSync(s, data);
        if (s.type & BASS_SYNC_ONETIME)
            syncs_.erase(syncs_.begin() + static_cast<ptrdiff_t>(i));
        else
            ++i;
    }
}

bool Channel::reached(const Sync& s, uint64_t device) {
    if (decoding_ || (s.type & BASS_SYNC_MIXTIME)) {
        postSync(s, 0);
        return (s.type & BASS_SYNC_ONETIME) != 0;
    }
    const Due due{device, s.handle};
    dues_.insert(std::upper_bound(dues_.begin(), dues_.end(), due,
                                  [](const Due& a, const Due& b) { return a.device < b.device; }),
                 due);
    return false;
}

void Channel::notePositions(double src, double frames, uint64_t device, double step) {
    // The position is `target` once the frame before it has been heard (or given), so the
    // range is (src, src + frames], and src too where the run does not go on from the last one.
    const bool first = !notedUpTo_ || *notedUpTo_ != src;
    notedUpTo_ = src + frames;
    for (size_t i = 0; i < syncs_.size();) {
        const Sync& s = syncs_[i];
        const double target = static_cast<double>(s.param / bytesPerFrame_);
        if ((s.type & 0xFFFF) == BASS_SYNC_POS && (target > src || (first && target == src)) && target <= src + frames &&
            reached(s, device + static_cast<uint64_t>(std::ceil((target - src) / step)))) {
            syncs_.erase(syncs_.begin() + static_cast<ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
}

HDSP Channel::addDsp(DSPPROC* proc, void* user, int priority) {
    if (!proc) fail(BASS_ERROR_ILLPARAM);
    const HDSP handle = Library::instance().newHandle();
    std::lock_guard source(sourceMutex_);  // a removed DSP is not running when this returns
    std::lock_guard lock(mutex_);
    // Higher priorities run first; equal priorities in the order they were set.
    auto at = std::find_if(dsps_.begin(), dsps_.end(), [priority](const Dsp& d) { return d.priority < priority; });
    dsps_.insert(at, {handle, proc, user, priority});
    return handle;
}

bool Channel::removeDsp(HDSP dsp) {
    std::lock_guard source(sourceMutex_);  // waits for the running DSPs (unless called from one)
    std::lock_guard lock(mutex_);
    return std::erase_if(dsps_, [dsp](const Dsp& d) { return d.handle == dsp; }) > 0;
}

HFX Channel::addEffect(DWORD type, DWORD priority) {
    const HFX handle = Library::instance().newHandle();
    std::lock_guard lock(mutex_);
    auto effect = dsp::createEffect(type, static_cast<int>(format_.rate), static_cast<int>(format_.channels));
    if (!effect) {
        if (type == BASS_FX_PARAMEQ || type == BASS_FX_ECHO || type == BASS_FX_REVERB) fail(BASS_ERROR_FORMAT);
        fail(type <= BASS_FX_REVERB ? BASS_ERROR_NOFX : BASS_ERROR_ILLTYPE);
    }
    auto at = std::find_if(effects_.begin(), effects_.end(), [priority](const Fx& f) { return f.priority < priority; });
    effects_.insert(at, Fx{handle, type, priority, std::move(effect)});
    return handle;
}

bool Channel::removeEffect(HFX fx) {
    std::lock_guard lock(mutex_);
    return std::erase_if(effects_, [fx](const Fx& f) { return f.handle == fx; }) > 0;
}

bool Channel::setEffectParameters(HFX fx, const void* params) {
    std::lock_guard lock(mutex_);
    for (Fx& f : effects_)
        if (f.handle == fx) return f.effect->setParameters(params);
    fail(BASS_ERROR_HANDLE);
}

bool Channel::effectParameters(HFX fx, void* params) {
    std::lock_guard lock(mutex_);
    for (Fx& f : effects_) {
        if (f.handle == fx) {
            f.effect->getParameters(params);
            return true;
        }
    }
    fail(BASS_ERROR_HANDLE);
}

// ---- levels and data ----

size_t Channel::historyAvailable(uint64_t end) const {
    const uint64_t oldest = processed_ > historyFrames_ ? processed_ - historyFrames_ : 0;
    return end > oldest ? static_cast<size_t>(end - oldest) : 0;
}

size_t Channel::historyBefore(uint64_t end, size_t frames, float* out) const {
    const size_t ch = format_.channels;
    const size_t have = std::min(frames, historyAvailable(end));
    const size_t pad = frames - have;
    std::fill(out, out + pad * ch, 0.0f);
    // Out of the ring in at most two runs.
    const size_t at = static_cast<size_t>((end - have) & (historyFrames_ - 1));
    const size_t first = std::min(have, historyFrames_ - at);
    std::copy_n(history_.data() + at * ch, first * ch, out + pad * ch);
    std::copy_n(history_.data(), (have - first) * ch, out + (pad + first) * ch);
    return have;
}

DWORD Channel::level() {
    std::unique_lock source(sourceMutex_, std::defer_lock);
    if (decoding_) source.lock();  // a decoding channel reads its source right here
    std::lock_guard lock(mutex_);
    if (decoding_) return decodedLevel();
    if (state_ != ChannelState::Playing && state_ != ChannelState::Ending) fail(BASS_ERROR_NOPLAY);
    const uint64_t end = static_cast<uint64_t>(std::max(0.0, heardAt(heardDeviceFrame()).proc));
    const size_t frames = std::max<size_t>(1, format_.rate / 50);  // 20 ms
    window_.resize(frames * format_.channels);
    historyBefore(end, frames, window_.data());
    float peak[2] = {0, 0};
    for (size_t i = 0; i < frames; ++i) {
        for (size_t c = 0; c < format_.channels; ++c) {
            float& p = peak[std::min<size_t>(c, 1)];
            p = std::max(p, std::fabs(window_[i * format_.channels + c]));
        }
    }
    if (format_.channels == 1) peak[1] = peak[0];
    auto word = [](float v) { return static_cast<DWORD>(std::min(32768.0f, std::nearbyint(v * 32768.0f))); };
    return word(peak[0]) | (word(peak[1]) << 16);
}

DWORD Channel::data(void* buffer, DWORD length) {
    std::unique_lock source(sourceMutex_, std::defer_lock);
    if (decoding_) source.lock();  // a decoding channel reads its source right here
    std::lock_guard lock(mutex_);
    if (decoding_) return decodedData(buffer, length);
    const uint64_t end = static_cast<uint64_t>(std::max(0.0, heardAt(heardDeviceFrame()).proc));
    const size_t ch = format_.channels;
    if (!buffer) {
        if (length != 0) fail(BASS_ERROR_ILLPARAM);
        return static_cast<DWORD>(historyAvailable(end) * bytesPerFrame_);
    }
    if (length & 0x80000000u) {
        const size_t fft = dsp::SpectrumAnalyzer::fftSize(length);
        if (fft == 0) fail(BASS_ERROR_ILLPARAM);
        if (!spectrum_) spectrum_ = std::make_unique<dsp::SpectrumAnalyzer>();
        window_.resize(fft * ch);
        historyBefore(end, fft, window_.data());
        const size_t wrote = spectrum_->compute(window_.data(), static_cast<int>(ch), length, static_cast<float*>(buffer));
        if (wrote == 0) fail(BASS_ERROR_ILLPARAM);
        return static_cast<DWORD>(wrote * sizeof(float));
    }
    const size_t frames = std::min<size_t>(length / bytesPerFrame_, historyAvailable(end));
    window_.resize(frames * ch);
    historyBefore(end, frames, window_.data());
    if (format_.flags & BASS_SAMPLE_8BITS) {
        auto* out = static_cast<uint8_t*>(buffer);
        for (size_t i = 0; i < frames * ch; ++i)
            out[i] = static_cast<uint8_t>((floatToS16(window_[i]) >> 8) + 128);
    } else {
        floatsToS16(window_.data(), static_cast<int16_t*>(buffer), frames * ch);
    }
    return static_cast<DWORD>(frames * bytesPerFrame_);
}

// ---- decoding channels ----

size_t Channel::decodeChunk(int16_t* pcm, size_t frames) {
    size_t done = 0;
    bool loopedEmpty = false;
    std::vector<size_t> loops;  // where in this chunk the source started again
    while (done < frames && !freed_ && !sourceEnded_) {
        ReadStatus status = ReadStatus::Ok;
        const size_t n = source_->read(pcm + done * format_.channels, frames - done, status);
        stalled_ = n == 0 && status == ReadStatus::Stalled;
        done += n;
        if (n > 0) loopedEmpty = false;
        if (status == ReadStatus::Ended) {
            if ((flags_ & BASS_SAMPLE_LOOP) && !loopedEmpty && source_->seek(0)) {
                loopedEmpty = true;  // an empty source must not loop for ever
                loops.push_back(done);
                continue;
            }
            sourceEnded_ = true;
        } else if (n == 0) {
            break;  // a user stream without data: give what there is
        }
    }
    if (done > 0 && !process16(pcm, done)) return 0;
    // Position syncs, and an end at each loop, in the order the frames come.
    size_t from = 0;
    for (size_t at : loops) {
        notePositions(static_cast<double>(decodedFrames_), static_cast<double>(at - from), 0, 1.0);
        postSyncs(BASS_SYNC_END, SyncTime::Any);
        decodedFrames_ = 0;
        notedUpTo_.reset();
        from = at;
    }
    notePositions(static_cast<double>(decodedFrames_), static_cast<double>(done - from), 0, 1.0);
    decodedFrames_ += done - from;
    return done;
}

bool Channel::process16(int16_t* pcm, size_t done) {
    const size_t samples = done * format_.channels;
    if (!dsps_.empty()) {
        dspScratch_ = dsps_;  // a callback may add or remove DSPs
        for (const Dsp& d : dspScratch_) {
            d.proc(d.handle, handle_, pcm, static_cast<DWORD>(samples * sizeof(int16_t)), d.user);
            if (freed_) return false;
        }
    }
    if (!effects_.empty()) {
        floats_.resize(std::max(floats_.size(), samples));
        for (size_t i = 0; i < samples; ++i) floats_[i] = static_cast<float>(pcm[i]) / 32768.0f;
        for (Fx& fx : effects_) fx.effect->process(floats_.data(), done);
        floatsToS16(floats_.data(), pcm, samples);
    }
    return true;
}

size_t Channel::decode(void* out, size_t frames) {
    const size_t ch = format_.channels;
    const bool eightBit = (format_.flags & BASS_SAMPLE_8BITS) != 0;
    size_t done = 0;
    while (done < frames && !freed_ && !sourceEnded_) {
        size_t n = 0;
        if (eightBit) {
            n = decodeChunk(pcm_.data(), std::min(frames - done, kChunkFrames));
            auto* o = static_cast<uint8_t*>(out) + done * ch;
            for (size_t i = 0; i < n * ch; ++i) o[i] = static_cast<uint8_t>((pcm_[i] >> 8) + 128);
        } else {
            // Straight into the caller's buffer: no copy, no conversion unless effects run.
            n = decodeChunk(static_cast<int16_t*>(out) + done * ch, frames - done);
        }
        if (n == 0) break;
        done += n;
    }
    if (sourceEnded_ && !endSynced_ && !freed_) {
        endSynced_ = true;
        postSyncs(BASS_SYNC_END, SyncTime::Any);
    }
    return done;
}

DWORD Channel::decodedLevel() {
    // The peak of the next 20 ms, which are used up as BASS_ChannelGetData would.
    const size_t frames = std::max<size_t>(1, format_.rate / 50);
    std::vector<int16_t> block(frames * format_.channels);
    if (sourceEnded_) fail(BASS_ERROR_ENDED);
    const size_t got = decodeChunk(block.data(), frames);
    int peak[2] = {0, 0};
    for (size_t i = 0; i < got; ++i) {
        for (size_t c = 0; c < format_.channels; ++c) {
            int& p = peak[std::min<size_t>(c, 1)];
            p = std::max(p, std::abs(int{block[i * format_.channels + c]}));
        }
    }
    if (format_.channels == 1) peak[1] = peak[0];
    return static_cast<DWORD>(peak[0]) | (static_cast<DWORD>(peak[1]) << 16);
}

DWORD Channel::decodedData(void* buffer, DWORD length) {
    const size_t ch = format_.channels;
    if (!buffer) {
        if (length != 0) fail(BASS_ERROR_ILLPARAM);
        return 0;  // nothing waits decoded: every call decodes what it asks for
    }
    if (length & 0x80000000u) {
        const size_t fft = dsp::SpectrumAnalyzer::fftSize(length);
        if (fft == 0) fail(BASS_ERROR_ILLPARAM);
        if (sourceEnded_) fail(BASS_ERROR_ENDED);
        if (!spectrum_) spectrum_ = std::make_unique<dsp::SpectrumAnalyzer>();
        std::vector<int16_t> block(fft * ch, 0);
        const size_t got = decodeChunk(block.data(), fft);  // short at the end: the rest is silence
        (void)got;
        window_.resize(fft * ch);
        for (size_t i = 0; i < fft * ch; ++i) window_[i] = static_cast<float>(block[i]) / 32768.0f;
        const size_t wrote = spectrum_->compute(window_.data(), static_cast<int>(ch), length, static_cast<float*>(buffer));
        if (wrote == 0) fail(BASS_ERROR_ILLPARAM);
        return static_cast<DWORD>(wrote * sizeof(float));
    }
    const size_t frames = length / bytesPerFrame_;
    if (sourceEnded_ && frames > 0) fail(BASS_ERROR_ENDED);
    return static_cast<DWORD>(decode(buffer, frames) * bytesPerFrame_);
}

}  // namespace aubadine::bass

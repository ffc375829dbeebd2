#include "Mixer.h"

#include "Channel.h"
#include "Library.h"
#include "SampleConvert.h"
#include "SyncThread.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

namespace aubadine::bass {
namespace {

thread_local bool tMixing = false;  // this thread is decoding or mixing (callbacks run here)

uint64_t nowNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

// The longest the output waits for the decode thread in one period.
constexpr auto kDecodeWait = std::chrono::milliseconds(200);

}  // namespace

Mixer::Mixer(uint32_t rate, bool realtime, uint32_t bufferMs, std::shared_ptr<SyncThread> syncs)
    : rate_(rate),
      realtime_(realtime),
      aheadFrames_(std::max<size_t>(kBlockFrames, static_cast<size_t>(uint64_t{rate} * bufferMs / 1000))),
      syncs_(std::move(syncs)) {
    accumulator_.resize(kBlockFrames * 2);
    cpuWindowStartNs_ = nowNs();
    if (!realtime_) return;
    silentSince_ = std::chrono::steady_clock::now();
    thread_ = std::thread([this] { run(); });
}

Mixer::~Mixer() {
    if (thread_.joinable() && std::this_thread::get_id() == thread_.get_id()) {
        thread_.detach();  // only reachable if the owner never stopped it; joining would abort
        return;
    }
    stop();
}

void Mixer::stop() {
    {
        std::lock_guard lock(stateMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    passDone_.notify_all();
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) thread_.join();
}

uint32_t Mixer::latencyFrames() const { return outputBufferFrames_.load(); }

void Mixer::setOutput(uint32_t bufferFrames, std::function<void(bool)> rest) {
    outputBufferFrames_ = bufferFrames;
    std::lock_guard device(deviceMutex_);
    rest_ = std::move(rest);
}

std::function<void(bool)> Mixer::restControl() {
    std::lock_guard device(deviceMutex_);
    return rest_;
}

void Mixer::add(std::shared_ptr<Channel> channel) {
    std::lock_guard lock(listMutex_);
    if (std::find(channels_.begin(), channels_.end(), channel) == channels_.end())
        channels_.push_back(std::move(channel));
}

void Mixer::remove(const Channel* channel) {
    std::lock_guard lock(listMutex_);
    std::erase_if(channels_, [channel](const auto& c) { return c.get() == channel; });
}

std::vector<std::shared_ptr<Channel>> Mixer::snapshot() const {
    std::lock_guard lock(listMutex_);
    return channels_;
}

void Mixer::account(uint64_t start) {
    const uint64_t end = nowNs();
    busyNs_ += end - start;
    uint64_t windowStart = cpuWindowStartNs_.load();
    if (end - windowStart >= 1'000'000'000ull && cpuWindowStartNs_.compare_exchange_strong(windowStart, end)) {
        cpu_ = 100.0f * static_cast<float>(busyNs_.exchange(0)) / static_cast<float>(end - windowStart);
    }
}

bool Mixer::mixBlock(int16_t* out, size_t frames, bool decodeFirst) {
    std::fill(accumulator_.begin(), accumulator_.begin() + static_cast<ptrdiff_t>(frames * 2), 0.0f);
    const uint64_t at = mixed_.load(std::memory_order_relaxed);
    bool active = false;
    for (const auto& channel : snapshot()) {
        if (decodeFirst) channel->fill(frames);
        active |= channel->mix(accumulator_.data(), frames, at);
    }
    const float master = config().masterVolume.load(std::memory_order_relaxed);
    floatsToS16(accumulator_.data(), out, frames * 2, master);
    mixed_.store(at + frames, std::memory_order_release);
    return active;
}

void Mixer::render(int16_t* out, size_t frames) {
    while (frames > 0) {
        const uint64_t start = nowNs();
        tMixing = true;
        const size_t n = std::min(frames, kBlockFrames);
        mixBlock(out, n, true);
        tMixing = false;
        account(start);
        heard_.store(mixed_.load());
        noticeHeard();
        out += n * 2;
        frames -= n;
    }
}

void Mixer::noticeHeard() {
    const uint64_t heard = heard_.load();
    for (const auto& channel : snapshot()) channel->noticeHeard(heard, *syncs_);
}

void Mixer::requestPass() {
    passRequested_ = true;
    wake_.notify_one();
}

// The decode thread: one pass tops up every playing channel's queue to aheadFrames_. It
// runs when the output asks (a queue ran low, a channel started), and every update period
// while a playing channel's source gave less than asked (a stalled stream may have data
// again); otherwise it sleeps without any timed wake-up.
void Mixer::run() {
    std::unique_lock lock(stateMutex_);
    for (;;) {
        auto ready = [this] { return stopping_ || passRequested_ || restRequested_; };
        if (retry_) {
            const auto period = std::chrono::milliseconds(std::max<uint32_t>(1, config().updatePeriodMs.load()));
            wake_.wait_for(lock, period, ready);
        } else {
            wake_.wait(lock, ready);
        }
        if (resting_ && (stopping_ || passRequested_)) {
            // A channel started (or the library ends): the output plays again, before the
            // first sound. Only this thread rests and wakes the output.
            lock.unlock();
            if (auto rest = restControl()) rest(false);
            lock.lock();
            resting_ = false;
            restChanged_.notify_all();
        }
        if (stopping_) break;
        passRequested_ = false;
        passRunning_ = true;
        const bool rest = restRequested_;
        restRequested_ = false;
        const uint64_t spell = silentStarts_;
        lock.unlock();

        // First every channel gets a little more than the output's next period, so an output
        // waiting for a channel just started goes on at once; then the rest of the way ahead.
        uint64_t start = nowNs();
        tMixing = true;
        const auto channels = snapshot();
        const size_t soon = std::max<size_t>(2 * outputBufferFrames_.load(), kBlockFrames);
        bool active = false;
        for (const auto& channel : channels) active |= channel->fill(soon);
        tMixing = false;
        account(start);
        lock.lock();
        passRunning_ = false;
        ++passes_;
        passDone_.notify_all();
        lock.unlock();
        start = nowNs();
        tMixing = true;
        bool retry = false;
        for (const auto& channel : channels) {
            active |= channel->fill(aheadFrames_);
            retry |= channel->wantsMore(aheadFrames_);
        }
        tMixing = false;
        account(start);

        if (rest && !active) {
            // Order: SDL's device lock (held while resting) before any lock of the mixer's,
            // so none of them is held when the output goes to rest.
            const auto control = restControl();
            lock.lock();
            // No channel started since the silence began (a start asks for a pass, after
            // which this thread wakes the output again at once).
            const bool resting = starts_ == spell && control && !resting_;
            restChanging_ = resting;
            lock.unlock();
            if (resting) {
                passDone_.notify_all();  // an output waiting for a pass must not hold this up
                control(true);
            }
        }
        lock.lock();
        if (restChanging_) resting_ = true;
        restChanging_ = false;
        restChanged_.notify_all();
        retry_ = retry;
    }
}

void Mixer::pull(int16_t* out, size_t frames) {
    const uint32_t outputFrames = outputBufferFrames_.load();
    auto channels = snapshot();
    bool lacking = false;
    for (const auto& channel : channels) lacking |= channel->queued() < frames;
    if (lacking) {
        // A channel that plays has less than a period queued: give the decode thread one
        // whole pass (one that starts after now) before mixing.
        std::unique_lock lock(stateMutex_);
        const uint64_t want = passes_ + (passRunning_ ? 2 : 1);
        requestPass();
        passDone_.wait_for(lock, kDecodeWait, [&] { return stopping_ || passes_ >= want || restChanging_; });
    }

    const uint64_t start = nowNs();
    tMixing = true;
    const bool active = mixBlock(out, frames, false);
    tMixing = false;
    account(start);
    const uint64_t mixed = mixed_.load();
    heard_.store(mixed > outputFrames ? mixed - outputFrames : 0, std::memory_order_release);
    noticeHeard();

    bool low = false;
    for (const auto& channel : channels) low |= channel->queued() < aheadFrames_ / 2;
    std::unique_lock lock(stateMutex_);
    if (low) requestPass();
    if (active) {
        silentPeriods_ = 0;
        return;
    }
    if (silentPeriods_ == 0 || starts_ != silentStarts_) {  // a new spell
        silentPeriods_ = 0;
        silentStarts_ = starts_;
        silentBase_ = mixed - frames;
        silentSince_ = std::chrono::steady_clock::now();
    }
    if (++silentPeriods_ == 2) {
        restRequested_ = true;
        wake_.notify_one();
    }
    // Silence no faster than real time (plus one output buffer) since the spell began.
    const double allowed = static_cast<double>(outputFrames) +
                           std::chrono::duration<double>(std::chrono::steady_clock::now() - silentSince_).count() * rate_;
    const double ahead = static_cast<double>(mixed - silentBase_) - allowed;
    if (ahead > 0) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::duration<double>(ahead / rate_);
        passDone_.wait_until(lock, until, [this] { return stopping_ || starts_ != silentStarts_; });
    }
}

void Mixer::update() {
    if (!realtime_) return;
    std::lock_guard lock(stateMutex_);
    requestPass();
}

void Mixer::channelStarted() {
    if (!realtime_) return;
    {
        std::lock_guard lock(stateMutex_);
        ++starts_;
        requestPass();
    }
    passDone_.notify_all();  // an output pacing silence stops doing so
    // The decode thread wakes a resting output; the caller returns once it has (it does
    // not wait for any decoding). From the decode thread itself (a callback starting a
    // channel), it does so when this callback returns.
    if (std::this_thread::get_id() == thread_.get_id()) return;
    std::unique_lock lock(stateMutex_);
    restChanged_.wait_for(lock, std::chrono::seconds(1), [this] { return stopping_ || (!resting_ && !restChanging_); });
}

float Mixer::cpuPercent() const { return cpu_.load(); }

bool Mixer::onMixerThread() const { return tMixing || std::this_thread::get_id() == thread_.get_id(); }

}  // namespace aubadine::bass

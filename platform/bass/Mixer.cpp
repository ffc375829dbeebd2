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

thread_local bool tMixing = false;  // this thread is inside mixBlock (callbacks run here)

uint64_t nowNs() {
    return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                                     .count());
}

}  // namespace

Mixer::Mixer(uint32_t rate, bool realtime, uint32_t bufferMs, std::shared_ptr<SyncThread> syncs)
    : rate_(rate), realtime_(realtime), syncs_(std::move(syncs)) {
    accumulator_.resize(kBlockFrames * 2);
    cpuWindowStartNs_ = nowNs();
    if (!realtime_) return;
    const size_t wanted = static_cast<size_t>(uint64_t{rate_} * bufferMs / 1000);
    ringFrames_ = std::max<size_t>(2, (wanted + kBlockFrames - 1) / kBlockFrames) * kBlockFrames;
    ring_.assign(ringFrames_ * 2, 0);
    thread_ = std::thread([this] { run(); });
}

Mixer::~Mixer() {
    if (thread_.joinable()) {
        {
            std::lock_guard lock(ringMutex_);
            stopping_ = true;
        }
        spaceReady_.notify_all();
        dataReady_.notify_all();
        thread_.join();
    }
}

uint32_t Mixer::latencyFrames() const {
    return static_cast<uint32_t>(ringFrames_) + outputBufferFrames_.load();
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

bool Mixer::mixBlock(int16_t* out, size_t frames) {
    const uint64_t start = nowNs();
    tMixing = true;
    std::fill(accumulator_.begin(), accumulator_.begin() + static_cast<ptrdiff_t>(frames * 2), 0.0f);
    const uint64_t at = mixed_.load(std::memory_order_relaxed);
    bool active = false;
    for (const auto& channel : snapshot()) active |= channel->mix(accumulator_.data(), frames, at);
    const float master = config().masterVolume.load(std::memory_order_relaxed);
    floatsToS16(accumulator_.data(), out, frames * 2, master);
    mixed_.store(at + frames, std::memory_order_release);
    tMixing = false;

    const uint64_t end = nowNs();
    busyNs_ += end - start;
    uint64_t windowStart = cpuWindowStartNs_.load();
    if (end - windowStart >= 1'000'000'000ull && cpuWindowStartNs_.compare_exchange_strong(windowStart, end)) {
        cpu_ = 100.0f * static_cast<float>(busyNs_.exchange(0)) / static_cast<float>(end - windowStart);
    }
    return active;
}

void Mixer::render(int16_t* out, size_t frames) {
    while (frames > 0) {
        const size_t n = std::min(frames, kBlockFrames);
        mixBlock(out, n);
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

void Mixer::run() {
    std::vector<int16_t> block(kBlockFrames * 2);
    std::unique_lock lock(ringMutex_);
    while (!stopping_) {
        const auto period = std::chrono::milliseconds(std::max<uint32_t>(1, config().updatePeriodMs.load()));
        spaceReady_.wait_for(lock, period, [this] {
            return stopping_ || updateRequested_ || ringFrames_ - (ringWritten_ - ringRead_) >= kBlockFrames;
        });
        updateRequested_ = false;
        if (stopping_) break;
        if (startRequested_) {
            startRequested_ = false;
            dropQueuedSilence();
        }
        lock.unlock();
        noticeHeard();
        lock.lock();
        while (!stopping_ && ringFrames_ - (ringWritten_ - ringRead_) >= kBlockFrames) {
            const auto now = std::chrono::steady_clock::now();
            if (idle_) {
                const double elapsed = std::chrono::duration<double>(now - idleSince_).count();
                if (static_cast<double>(idleFrames_) >= elapsed * rate_ + static_cast<double>(ringFrames_)) break;
            }
            lock.unlock();
            const bool active = mixBlock(block.data(), kBlockFrames);
            lock.lock();
            if (active) {
                idle_ = false;
            } else {
                if (!idle_) {
                    idle_ = true;
                    idleSince_ = now;
                    idleFrames_ = 0;
                    idleStartWritten_ = ringWritten_;
                }
                idleFrames_ += kBlockFrames;
            }
            const size_t at = static_cast<size_t>(ringWritten_ % ringFrames_);  // blocks never wrap
            std::memcpy(&ring_[at * 2], block.data(), kBlockFrames * 2 * sizeof(int16_t));
            ringWritten_ += kBlockFrames;
            dataReady_.notify_all();
        }
    }
}

void Mixer::pull(int16_t* out, size_t frames, uint32_t outputBufferFrames) {
    outputBufferFrames_ = outputBufferFrames;
    std::unique_lock lock(ringMutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    while (!stopping_ && ringWritten_ - ringRead_ < frames) {
        if (dataReady_.wait_until(lock, deadline) == std::cv_status::timeout) break;
    }
    const size_t available = static_cast<size_t>(std::min<uint64_t>(ringWritten_ - ringRead_, frames));
    for (size_t i = 0; i < available; ++i) {
        const size_t at = static_cast<size_t>((ringRead_ + i) % ringFrames_);
        out[i * 2] = ring_[at * 2];
        out[i * 2 + 1] = ring_[at * 2 + 1];
    }
    std::fill(out + available * 2, out + frames * 2, int16_t{0});
    ringRead_ += available;
    const uint64_t heard = ringRead_ > outputBufferFrames ? ringRead_ - outputBufferFrames : 0;
    if (heard > heard_.load()) heard_.store(heard, std::memory_order_release);
    lock.unlock();
    spaceReady_.notify_one();
}

void Mixer::update() {
    if (!realtime_) return;
    {
        std::lock_guard lock(ringMutex_);
        updateRequested_ = true;
    }
    spaceReady_.notify_one();
}

void Mixer::channelStarted() {
    if (!realtime_) return;
    {
        std::lock_guard lock(ringMutex_);
        updateRequested_ = true;
        startRequested_ = true;
    }
    spaceReady_.notify_one();
}

// Mixer thread, ringMutex_ held, outside mixBlock. Only blocks mixed while no channel played
// are dropped (never the unheard tail of a track), on block boundaries; the device frame
// count steps back with the ring so that positions and syncs stay those of what is heard.
void Mixer::dropQueuedSilence() {
    if (!idle_) return;
    const uint64_t firstUnread = (ringRead_ + kBlockFrames - 1) / kBlockFrames * kBlockFrames;
    const uint64_t keep = std::max(firstUnread, idleStartWritten_);
    if (ringWritten_ > keep) {
        mixed_.fetch_sub(ringWritten_ - keep, std::memory_order_acq_rel);
        ringWritten_ = keep;
    }
    idle_ = false;
}

float Mixer::cpuPercent() const { return cpu_.load(); }

bool Mixer::onMixerThread() const { return tMixing || std::this_thread::get_id() == thread_.get_id(); }

}  // namespace aubadine::bass

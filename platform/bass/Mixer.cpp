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
    idle_ = true;  // nothing plays yet
    idleSince_ = std::chrono::steady_clock::now();
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
        std::lock_guard lock(ringMutex_);
        stopping_ = true;
    }
    spaceReady_.notify_all();
    dataReady_.notify_all();
    if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) thread_.join();
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
    for (;;) {
        if (idle_) {
            // Nothing plays: sleep until a channel starts or the library ends. The output
            // answers with silence meanwhile, without waking this thread.
            spaceReady_.wait(lock, [this] { return stopping_ || startRequested_; });
        } else {
            const auto period = std::chrono::milliseconds(std::max<uint32_t>(1, config().updatePeriodMs.load()));
            spaceReady_.wait_for(lock, period, [this] {
                return stopping_ || updateRequested_ || startRequested_ ||
                       ringFrames_ - (ringWritten_ - ringRead_) >= kBlockFrames;
            });
        }
        if (stopping_) break;
        updateRequested_ = false;
        if (startRequested_) {
            startRequested_ = false;
            dropQueuedSilence();
            dataReady_.notify_all();  // an output making idle silence waits for the mix again
        }
        lock.unlock();
        noticeHeard();
        lock.lock();
        while (!stopping_ && ringFrames_ - (ringWritten_ - ringRead_) >= kBlockFrames) {
            lock.unlock();
            const bool active = mixBlock(block.data(), kBlockFrames);
            lock.lock();
            writeRing(block.data(), kBlockFrames);
            if (!active) {
                // This block was silence and nothing is left to play or to end: park.
                idle_ = true;
                idleSince_ = std::chrono::steady_clock::now();
                idleBase_ = ringWritten_;
                idleStartWritten_ = ringWritten_ - kBlockFrames;
            }
            dataReady_.notify_all();
            if (idle_) break;
        }
    }
}

void Mixer::writeRing(const int16_t* block, size_t frames) {
    const size_t at = static_cast<size_t>(ringWritten_ % ringFrames_);
    const size_t first = std::min(frames, ringFrames_ - at);
    std::memcpy(&ring_[at * 2], block, first * 2 * sizeof(int16_t));
    std::memcpy(&ring_[0], block + first * 2, (frames - first) * 2 * sizeof(int16_t));
    ringWritten_ += frames;
}

// Output thread, ringMutex_ held by `lock`, mixer parked, ring empty: `frames` frames of
// silence become device frames, no faster than real time plus the ring's length since the
// idle spell began. Returns false when a channel started meanwhile (nothing was made).
bool Mixer::fillIdleSilence(std::unique_lock<std::mutex>& lock, size_t frames) {
    const double allowed = static_cast<double>(ringFrames_) +
                           std::chrono::duration<double>(std::chrono::steady_clock::now() - idleSince_).count() * rate_;
    const double ahead = static_cast<double>(ringRead_ + frames - idleBase_) - allowed;
    if (ahead > 0) {
        const auto wake = std::chrono::steady_clock::now() + std::chrono::duration<double>(ahead / rate_);
        dataReady_.wait_until(lock, wake, [this] { return stopping_ || !idle_; });
        if (stopping_ || !idle_) return false;
    }
    ringRead_ += frames;
    ringWritten_ += frames;
    mixed_.store(ringWritten_, std::memory_order_release);
    return true;
}

void Mixer::pull(int16_t* out, size_t frames, uint32_t outputBufferFrames) {
    outputBufferFrames_ = outputBufferFrames;
    std::unique_lock lock(ringMutex_);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(200);
    size_t done = 0;
    bool tookMix = false;
    while (done < frames && !stopping_) {
        while (!stopping_ && !idle_ && ringWritten_ - ringRead_ < frames - done) {
            if (dataReady_.wait_until(lock, deadline) == std::cv_status::timeout) break;
        }
        const size_t take = static_cast<size_t>(std::min<uint64_t>(ringWritten_ - ringRead_, frames - done));
        for (size_t i = 0; i < take; ++i) {
            const size_t at = static_cast<size_t>((ringRead_ + i) % ringFrames_);
            out[(done + i) * 2] = ring_[at * 2];
            out[(done + i) * 2 + 1] = ring_[at * 2 + 1];
        }
        ringRead_ += take;
        done += take;
        tookMix |= take > 0;
        if (done == frames || !idle_) break;  // complete, or the mixer is behind (underrun)
        // Nothing plays and the ring is empty: the rest is silence.
        std::fill(out + done * 2, out + frames * 2, int16_t{0});
        if (fillIdleSilence(lock, frames - done)) done = frames;
    }
    std::fill(out + done * 2, out + frames * 2, int16_t{0});
    const uint64_t heard = ringRead_ > outputBufferFrames ? ringRead_ - outputBufferFrames : 0;
    if (heard > heard_.load()) heard_.store(heard, std::memory_order_release);
    const bool wake = tookMix && !idle_;
    lock.unlock();
    if (wake) spaceReady_.notify_one();
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
// are dropped (never the unheard tail of a track); the device frame
// count steps back with the ring so that positions and syncs stay those of what is heard.
void Mixer::dropQueuedSilence() {
    if (!idle_) return;
    const uint64_t keep = std::max(ringRead_, idleStartWritten_);
    if (ringWritten_ > keep) {
        mixed_.fetch_sub(ringWritten_ - keep, std::memory_order_acq_rel);
        ringWritten_ = keep;
    }
    idle_ = false;
}

float Mixer::cpuPercent() const { return cpu_.load(); }

bool Mixer::onMixerThread() const { return tMixing || std::this_thread::get_id() == thread_.get_id(); }

}  // namespace aubadine::bass

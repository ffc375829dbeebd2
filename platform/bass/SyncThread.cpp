#include "SyncThread.h"

#include <algorithm>

namespace aubadine::bass {

SyncThread::SyncThread() : thread_([this] { run(); }) { id_ = thread_.get_id(); }

SyncThread::~SyncThread() {
    if (!thread_.joinable()) return;
    if (onThisThread()) {
        // Only reachable if the owner never stopped it; joining here would abort.
        thread_.detach();
        return;
    }
    stop();
}

void SyncThread::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && !onThisThread()) thread_.join();
}

void SyncThread::post(uint32_t channel, uint32_t sync, std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back({channel, sync, std::move(call)});
    }
    wake_.notify_one();
}

void SyncThread::cancelSync(uint32_t sync) {
    if (sync == 0) return;
    std::unique_lock lock(mutex_);
    std::erase_if(queue_, [sync](const Call& c) { return c.sync == sync; });
    if (onThisThread()) return;
    done_.wait(lock, [&] { return !running_ || runningSync_ != sync; });
}

void SyncThread::cancelChannel(uint32_t channel) {
    if (channel == 0) return;
    std::unique_lock lock(mutex_);
    std::erase_if(queue_, [channel](const Call& c) { return c.channel == channel; });
    if (onThisThread()) return;
    done_.wait(lock, [&] { return !running_ || runningChannel_ != channel; });
}

void SyncThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and everything posted has run
        Call call = std::move(queue_.front());
        queue_.pop_front();
        running_ = true;
        runningChannel_ = call.channel;
        runningSync_ = call.sync;
        lock.unlock();
        try {
            call.run();
        } catch (...) {
            // A user callback must not end the thread; what it threw is not ours to report.
        }
        call.run = nullptr;  // what the call holds goes before anyone is told it is done
        lock.lock();
        running_ = false;
        done_.notify_all();
    }
}

}  // namespace aubadine::bass

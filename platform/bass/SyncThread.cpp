#include "SyncThread.h"

namespace aubadine::bass {

SyncThread::SyncThread() : thread_([this] { run(); }) {}

SyncThread::~SyncThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void SyncThread::post(std::function<void()> call) {
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(call));
    }
    wake_.notify_one();
}

void SyncThread::run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and everything posted has run
        auto call = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        try {
            call();
        } catch (...) {
            // A user callback must not end the thread; what it threw is not ours to report.
        }
        lock.lock();
    }
}

}  // namespace aubadine::bass

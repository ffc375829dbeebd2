// The library thread that runs sync callbacks, in the order they were posted, so that no
// user callback runs on the mixer thread or under a library lock.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace aubadine::bass {

class SyncThread {
public:
    SyncThread();
    ~SyncThread();  // runs what is queued, then ends the thread; never call on this thread
    SyncThread(const SyncThread&) = delete;
    SyncThread& operator=(const SyncThread&) = delete;

    void post(std::function<void()> call);
    bool onThisThread() const { return std::this_thread::get_id() == thread_.get_id(); }

private:
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace aubadine::bass

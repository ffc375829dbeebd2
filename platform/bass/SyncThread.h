// The library thread that runs sync callbacks, in the order they were posted, so that no
// user callback runs on the mixer thread or under a library lock.
//
// Each call is posted with the channel and sync it belongs to, so that removing a sync or
// freeing a channel can take back what is queued and wait for a call that is running: once
// cancelSync()/cancelChannel() has returned, that sync is never called again (except when
// they are called from inside that very callback, which cannot wait for itself).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace aubadine::bass {

class SyncThread {
public:
    SyncThread();
    ~SyncThread();  // stop() unless stopped already
    SyncThread(const SyncThread&) = delete;
    SyncThread& operator=(const SyncThread&) = delete;

    // channel and sync identify the call for cancelling (0: none).
    void post(uint32_t channel, uint32_t sync, std::function<void()> call);
    void post(std::function<void()> call) { post(0, 0, std::move(call)); }  // never cancelled
    void cancelSync(uint32_t sync);
    void cancelChannel(uint32_t channel);
    // Runs what is queued, then ends the thread and waits for it. Never on this thread.
    void stop();
    bool onThisThread() const { return std::this_thread::get_id() == id_; }

private:
    struct Call {
        uint32_t channel;
        uint32_t sync;
        std::function<void()> run;
    };
    void run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;  // a call has returned
    std::deque<Call> queue_;
    uint32_t runningChannel_ = 0;
    uint32_t runningSync_ = 0;
    bool running_ = false;
    bool stopping_ = false;
    std::thread thread_;
    std::thread::id id_;
};

}  // namespace aubadine::bass

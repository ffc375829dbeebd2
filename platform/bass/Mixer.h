// The mixer: renders every channel of the device into 16-bit stereo frames at the device
// rate. Two ways to drive it:
// - real time: its own thread keeps a ring of about BASS_CONFIG_BUFFER ms filled ahead of
//   the sound output, which pulls frames from the ring (pull(), on the output's thread);
// - offline (device 0, no sound): nothing runs by itself; render() mixes synchronously on
//   the caller's thread and what it returns counts as heard at once.
// Device frames are counted from BASS_Init; "heard" is the count of frames that have left
// the output's own buffer, which is what positions, levels, data and end syncs follow.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace aubadine::bass {

class Channel;
class SyncThread;

class Mixer {
public:
    static constexpr size_t kBlockFrames = 512;

    Mixer(uint32_t rate, bool realtime, uint32_t bufferMs, std::shared_ptr<SyncThread> syncs);
    ~Mixer();  // stop() unless stopped already
    void stop();  // ends the mixer thread and waits for it; never on the mixer thread
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    uint32_t rate() const { return rate_; }
    bool realtime() const { return realtime_; }
    uint32_t latencyFrames() const;  // ring plus output buffer, frames

    void add(std::shared_ptr<Channel> channel);
    void remove(const Channel* channel);

    // Offline: mixes `frames` frames into out (interleaved stereo) and counts them heard.
    void render(int16_t* out, size_t frames);

    // Real time, from the output's thread: takes `frames` frames from the ring, waiting a
    // little for the mixer when it is behind (so a driver that writes faster than real time,
    // such as SDL's disk writer, gets the whole mix without gaps). outputBufferFrames is the
    // output's own buffer, counted as not yet heard.
    void pull(int16_t* out, size_t frames, uint32_t outputBufferFrames);

    uint64_t heardFrame() const { return heard_.load(std::memory_order_acquire); }
    uint64_t mixedFrame() const { return mixed_.load(std::memory_order_acquire); }

    void update();        // BASS_Update: refill the ring now
    // A channel has started playing: like update(), and when nothing was playing, the silence
    // already queued in the ring is dropped so the new sound is heard after the output's own
    // buffer rather than after the whole ring (the gap between two tracks).
    void channelStarted();
    float cpuPercent() const;
    bool onMixerThread() const;

private:
    void run();
    bool mixBlock(int16_t* out, size_t frames);  // false: no channel was playing or ending
    void writeRing(const int16_t* block, size_t frames);  // ringMutex_ held
    bool fillIdleSilence(std::unique_lock<std::mutex>& lock, size_t frames);
    void noticeHeard();
    void dropQueuedSilence();
    std::vector<std::shared_ptr<Channel>> snapshot() const;

    const uint32_t rate_;
    const bool realtime_;
    const std::shared_ptr<SyncThread> syncs_;

    mutable std::mutex listMutex_;
    std::vector<std::shared_ptr<Channel>> channels_;

    std::atomic<uint64_t> mixed_{0};
    std::atomic<uint64_t> heard_{0};
    std::atomic<uint32_t> outputBufferFrames_{0};
    std::vector<float> accumulator_;

    // The ring between the mixer thread and the output (real time only).
    std::mutex ringMutex_;
    std::condition_variable spaceReady_;
    std::condition_variable dataReady_;
    std::vector<int16_t> ring_;
    size_t ringFrames_ = 0;
    uint64_t ringWritten_ = 0;
    uint64_t ringRead_ = 0;
    bool stopping_ = false;
    bool updateRequested_ = false;
    bool startRequested_ = false;
    // While no channel plays or ends, the mixer thread is parked (idle_): it waits, without
    // any timed wake-up, until a channel starts or the library ends. The output then answers
    // with silence itself (pull()), made no faster than real time (plus the ring), so an
    // output that takes frames as fast as they come (SDL's disk writer without delay) does
    // not fill its file with silence at full speed.
    bool idle_ = false;
    std::chrono::steady_clock::time_point idleSince_;
    uint64_t idleBase_ = 0;          // ring position when this idle spell began
    uint64_t idleStartWritten_ = 0;  // ring position of the first silent block of this idle spell
    std::thread thread_;

    std::atomic<uint64_t> busyNs_{0};
    std::atomic<uint64_t> cpuWindowStartNs_{0};
    std::atomic<float> cpu_{0.0f};
};

}  // namespace aubadine::bass

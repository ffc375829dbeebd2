// The mixer: renders every channel of the device into 16-bit stereo frames at the device
// rate. Two ways to drive it:
// - real time: its own thread (the decode thread) keeps each playing channel's decoded,
//   processed sound (source, DSP callbacks, effects, resampling) about BASS_CONFIG_BUFFER ms
//   ahead in that channel's queue; the sound output pulls each device period (pull(), on the
//   output's thread) and only then are the queues mixed (volume, pan, sum, 16-bit). So a
//   pause, a stop or a new channel is heard at the next device period, and nothing already
//   decoded is lost or decoded twice;
// - offline (device 0, no sound): nothing runs by itself; render() decodes and mixes
//   synchronously on the caller's thread and what it returns counts as heard at once.
// Device frames are counted from BASS_Init; "heard" is the count of frames that have left
// the output's own buffer, which is what positions, levels, data and end syncs follow.
// While nothing plays for two device periods, the mixer lets the output rest (its device is
// paused) until a channel starts.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace aubadine::bass {

class Channel;
class SyncThread;

class Mixer {
public:
    static constexpr size_t kBlockFrames = 512;  // offline: frames mixed at a time

    Mixer(uint32_t rate, bool realtime, uint32_t bufferMs, std::shared_ptr<SyncThread> syncs);
    ~Mixer();  // stop() unless stopped already
    void stop();  // ends the decode thread and waits for it; never on that thread
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    uint32_t rate() const { return rate_; }
    bool realtime() const { return realtime_; }
    uint32_t latencyFrames() const;  // the output's buffer, frames

    // The output in front of this mixer: its buffer (frames not yet heard after pull() gave
    // them) and, where it can rest, how to let it rest (true) and wake it (false), always
    // called on the decode thread. Called again with (0, nullptr) after stop(), before the
    // output goes (stop() wakes a resting output).
    void setOutput(uint32_t bufferFrames, std::function<void(bool)> rest);

    void add(std::shared_ptr<Channel> channel);
    void remove(const Channel* channel);

    // Offline: mixes `frames` frames into out (interleaved stereo) and counts them heard.
    void render(int16_t* out, size_t frames);

    // Real time, from the output's thread: mixes `frames` frames into out. When a playing
    // channel has not got enough sound queued, waits a little for the decode thread first
    // (so a driver that writes faster than real time, such as SDL's disk writer, gets the
    // whole mix without gaps, and a channel just started is heard from its first frame).
    void pull(int16_t* out, size_t frames);

    uint64_t heardFrame() const { return heard_.load(std::memory_order_acquire); }
    uint64_t mixedFrame() const { return mixed_.load(std::memory_order_acquire); }

    void update();  // BASS_Update: decode ahead now
    // A channel has started playing: the output is woken if it rests, and the channel is
    // decoded at once rather than at the next period.
    void channelStarted();
    float cpuPercent() const;
    bool onMixerThread() const;

private:
    void run();
    // Mixes the channels' queued sound; false: no channel was playing or ending.
    bool mixBlock(int16_t* out, size_t frames, bool decodeFirst);
    void noticeHeard();
    void requestPass();  // stateMutex_ held
    std::function<void(bool)> restControl();
    void account(uint64_t startNs);
    std::vector<std::shared_ptr<Channel>> snapshot() const;

    const uint32_t rate_;
    const bool realtime_;
    const size_t aheadFrames_;  // how far the decode thread keeps each channel ahead
    const std::shared_ptr<SyncThread> syncs_;

    mutable std::mutex listMutex_;
    std::vector<std::shared_ptr<Channel>> channels_;

    std::atomic<uint64_t> mixed_{0};
    std::atomic<uint64_t> heard_{0};
    std::atomic<uint32_t> outputBufferFrames_{0};
    std::vector<float> accumulator_;

    // Between the decode thread and the output's thread (real time only).
    std::mutex stateMutex_;
    std::condition_variable wake_;      // the decode thread's
    std::condition_variable passDone_;  // the output's, while it waits for a pass or paces
    bool stopping_ = false;
    bool passRequested_ = false;
    bool passRunning_ = false;
    bool retry_ = false;           // the last pass left a playing channel short
    uint64_t passes_ = 0;          // decode passes whose first round (see run()) is done
    uint64_t starts_ = 0;          // channelStarted() calls
    // Silence spells (output thread): while no channel plays, the output gets silence, made
    // no faster than real time (so SDL's disk writer without delay does not fill its file
    // with silence at full speed); after two silent periods, everything mixed before has
    // been heard and the output may rest.
    int silentPeriods_ = 0;
    uint64_t silentStarts_ = 0;    // starts_ when this spell began
    uint64_t silentBase_ = 0;      // device frame where this spell began
    std::chrono::steady_clock::time_point silentSince_;
    bool restRequested_ = false;
    bool restChanging_ = false;    // the decode thread is letting the output rest right now

    // The output's rest control (deviceMutex_, a leaf), called on the decode thread only.
    std::mutex deviceMutex_;
    std::function<void(bool)> rest_;
    bool resting_ = false;  // stateMutex_
    std::condition_variable restChanged_;

    std::thread thread_;

    std::atomic<uint64_t> busyNs_{0};
    std::atomic<uint64_t> cpuWindowStartNs_{0};
    std::atomic<float> cpu_{0.0f};
};

}  // namespace aubadine::bass

// Process-wide state of the audio library: configuration, the output device with its mixer,
// the channel table and the thread that runs sync callbacks.
#pragma once

#include "CBoundary.h"
#include "Source.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace aubadine::bass {

class Channel;
class Mixer;
class Output;
class SyncThread;

// BASS_SetConfig options. Volumes are kept as shares of full scale (0..1) so that changing
// BASS_CONFIG_MAXVOL rescales what BASS_GetConfig reports, not what is heard.
struct Config {
    std::atomic<uint32_t> bufferMs{100};
    std::atomic<uint32_t> updatePeriodMs{10};
    std::atomic<uint32_t> maxVol{100};
    std::atomic<float> sampleVolume{1.0f};
    std::atomic<float> streamVolume{1.0f};
    std::atomic<float> musicVolume{1.0f};
    std::atomic<float> masterVolume{1.0f};  // BASS_SetVolume
    std::atomic<uint32_t> netTimeoutMs{5000};
    std::atomic<uint32_t> netBufferMs{5000};
};

Config& config();

// The device and the channel table. All members are thread-safe. The lock is never held
// while library users' code runs or while the mixer renders.
class Library {
public:
    static Library& instance();

    void init(int device, uint32_t freq, uint32_t flags);
    void free();
    bool initialised() const;
    int device() const;  // 0 (no sound) or 1.. while initialised
    uint32_t rate() const;
    uint32_t flags() const;
    uint32_t latencyMs() const;
    std::string driverName() const;

    void startOutput();  // BASS_Start
    void stopOutput();   // BASS_Stop: pauses the output and stops every channel
    void pauseOutput();  // BASS_Pause
    bool outputRunning() const;

    // The mixer of the initialised device; throws Failure(BASS_ERROR_INIT) otherwise.
    std::shared_ptr<Mixer> mixer() const;
    std::shared_ptr<SyncThread> syncThread() const;

    DWORD addChannel(std::shared_ptr<Channel> channel);
    std::shared_ptr<Channel> channel(DWORD handle) const;  // throws Failure(BASS_ERROR_HANDLE)
    std::shared_ptr<Channel> takeChannel(DWORD handle);    // removes it; throws as above
    DWORD newHandle();  // for syncs, DSPs and effects: unique, never 0

    // Effect handles map to the channel that carries them.
    void addEffect(DWORD fx, DWORD channel);
    DWORD effectChannel(DWORD fx) const;  // throws Failure(BASS_ERROR_HANDLE)
    void removeEffect(DWORD fx);

private:
    Library() = default;

    mutable std::mutex mutex_;
    int device_ = -1;  // -1: not initialised
    uint32_t rate_ = 0;
    uint32_t flags_ = 0;
    bool outputRunning_ = false;
    std::shared_ptr<Mixer> mixer_;
    std::shared_ptr<Output> output_;
    std::shared_ptr<SyncThread> syncThread_;
    std::map<DWORD, std::shared_ptr<Channel>> channels_;
    std::map<DWORD, DWORD> effects_;
    DWORD nextHandle_ = 0x10000;
};

}  // namespace aubadine::bass

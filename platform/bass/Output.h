// The sound output: an SDL2 audio device playing 16-bit stereo frames that it pulls from
// the mixer on SDL's own audio thread. Device 1 is the system's default output; where no
// sound card can be opened, SDL's "dummy" driver stands in, so that the library still runs
// (and keeps time) on machines without sound. SDL_AUDIODRIVER chooses the driver as usual;
// with SDL_AUDIODRIVER=disk, SDL_DISKAUDIOFILE=<file> and SDL_DISKAUDIODELAY=0 the output
// writes everything the mixer produces to that file as fast as the mixer can render it.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace aubadine::bass {

class Mixer;

class Output {
public:
    // Opens device (1 = default, 2.. = SDL's listed devices) at `rate` Hz, paused.
    // Throws Failure(BASS_ERROR_DRIVER / BASS_ERROR_DEVICE).
    Output(int device, uint32_t rate, std::shared_ptr<Mixer> mixer);
    ~Output();  // closes the device; SDL's thread has ended when this returns
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    // The device plays while it is running (BASS_Start / BASS_Pause) and not resting (the
    // mixer's: nothing to play; SDL's thread then sleeps). setResting is called on one
    // thread only, the mixer's. SDL's disk writer cannot rest: paused, it writes silence as
    // fast as its delay lets it, so it is never paused for rest.
    void setRunning(bool running);
    void setResting(bool resting);
    bool canRest() const { return canRest_; }
    uint32_t bufferFrames() const { return bufferFrames_; }
    const std::string& driver() const { return driver_; }

    // Name of device n (1 = default, 2.. = SDL's list); empty past the last one.
    static std::string deviceName(int device);

private:
    static void callback(void* self, uint8_t* stream, int length);

    void apply();

    std::shared_ptr<Mixer> mixer_;
    uint32_t device_ = 0;  // SDL_AudioDeviceID
    bool canRest_ = true;
    std::atomic<bool> running_{false};
    std::atomic<bool> resting_{false};
    uint32_t bufferFrames_ = 0;
    std::string driver_;
};

}  // namespace aubadine::bass

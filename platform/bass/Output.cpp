#include "Output.h"

#include "CBoundary.h"
#include "Mixer.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

namespace aubadine::bass {
namespace {

// SDL's audio subsystem is counted: every successful initAudio is matched by one
// quitAudio, so that another SDL user in the process keeps its own audio. driver: one to use
// instead of SDL's own choice (the dummy fallback; SDL only takes it when no other user has
// the subsystem running already).
bool initAudio(const char* driver) {
    // SDL would otherwise take SIGINT and SIGTERM for its own quit event, which nobody
    // reads here: signals belong to the program that loaded the library.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (driver) SDL_SetHintWithPriority(SDL_HINT_AUDIODRIVER, driver, SDL_HINT_OVERRIDE);
    const bool ok = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    if (driver) SDL_ResetHint(SDL_HINT_AUDIODRIVER);
    return ok;
}

// Gives one initAudio back. When no part of SDL is left running (nobody else in the process
// uses it), SDL's own process-wide state goes too, so nothing of it outlives BASS_Free and
// a later BASS_Init starts afresh.
void quitAudio() {
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0) SDL_Quit();
}

}  // namespace

Output::Output(int device, uint32_t rate, std::shared_ptr<Mixer> mixer) : mixer_(std::move(mixer)) {
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    // The device's buffer is the delay between the mix and what is heard: a pause, a stop
    // or the next track is heard one to two buffers after it happens. 256 frames (5.8 ms at
    // 44100 Hz). SDL's dummy driver keeps time in whole milliseconds per buffer, so there
    // the buffer is 10 ms exactly, which it keeps without drifting ahead of the wall clock.
    want.samples = 256;
    want.callback = &Output::callback;
    want.userdata = this;
    SDL_AudioSpec have{};

    const char* chosen = std::getenv("SDL_AUDIODRIVER");
    const bool driverChosen = chosen && *chosen;
    bool usingFallback = false;
    if (!initAudio(nullptr)) {
        if (driverChosen || !initAudio("dummy")) fail(BASS_ERROR_DRIVER);
        usingFallback = true;
    }
    auto open = [&]() -> SDL_AudioDeviceID {
        const char* name = nullptr;
        if (device >= 2) {
            name = SDL_GetAudioDeviceName(device - 2, 0);
            if (!name) return 0;
        }
        return SDL_OpenAudioDevice(name, 0, &want, &have, 0);
    };
    auto chooseBuffer = [&] {
        const char* d = SDL_GetCurrentAudioDriver();
        if (d && std::strcmp(d, "dummy") == 0 && rate % 100 == 0) want.samples = static_cast<Uint16>(rate / 100);
    };
    chooseBuffer();
    SDL_AudioDeviceID id = open();
    if (id == 0 && device >= 2 && !SDL_GetAudioDeviceName(device - 2, 0)) {
        quitAudio();
        fail(BASS_ERROR_DEVICE);
    }
    if (id == 0 && device == 1 && !driverChosen && !usingFallback) {
        // No usable sound card: keep running, and keeping time, on the dummy driver.
        quitAudio();
        if (initAudio("dummy")) {
            usingFallback = true;
            chooseBuffer();
            id = open();
        }
    }
    if (id == 0) {
        quitAudio();
        fail(BASS_ERROR_DRIVER);
    }
    device_ = id;
    bufferFrames_ = have.samples;
    if (const char* d = SDL_GetCurrentAudioDriver()) driver_ = d;
    canRest_ = driver_ != "disk";
    if (usingFallback) driver_ += " (fallback)";
}

Output::~Output() {
    SDL_CloseAudioDevice(device_);
    quitAudio();
}

// Both flags are written before the other is read (sequentially consistent atomics), so
// whichever of setRunning and a wake comes last applies the running state; no lock of ours
// is held around SDL's device lock, which a resting device holds for a long time.
void Output::setRunning(bool running) {
    running_ = running;
    if (!resting_) apply();  // a resting device takes it up when it wakes
}

// A paused SDL device still wakes its thread every period (to write silence); holding the
// device's lock as well keeps that thread asleep until the device wakes. The lock is taken
// and given back on the same thread (the mixer's decode thread).
void Output::setResting(bool resting) {
    if (!canRest_ || resting == resting_) return;
    resting_ = resting;
    if (resting) {
        SDL_PauseAudioDevice(device_, 1);
        SDL_LockAudioDevice(device_);
    } else {
        apply();
        SDL_UnlockAudioDevice(device_);
    }
}

void Output::apply() { SDL_PauseAudioDevice(device_, running_ ? 0 : 1); }

void Output::callback(void* self, uint8_t* stream, int length) {
    auto* output = static_cast<Output*>(self);
    output->mixer_->pull(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4);
}

std::string Output::deviceName(int device) {
    if (device == 1) return "Default output";
    if (device < 2) return {};
    // While an output is open its driver answers; otherwise start SDL's audio just to ask
    // (initialising it again while a device is open would close that device).
    const bool running = SDL_GetCurrentAudioDriver() != nullptr;
    if (!running && !initAudio(nullptr)) return {};
    std::string name;
    if (const char* n = SDL_GetAudioDeviceName(device - 2, 0)) name = n;
    if (!running) quitAudio();
    return name;
}

}  // namespace aubadine::bass

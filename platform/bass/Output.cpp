#include "Output.h"

#include "CBoundary.h"
#include "Mixer.h"

#include <SDL.h>

#include <cstdlib>

namespace aubadine::bass {
namespace {

// SDL's audio subsystem is counted: every successful init is matched by one quit.
bool initAudio(const char* driver) {
    // SDL would otherwise take SIGINT and SIGTERM for its own quit event, which nobody
    // reads here: signals belong to the program that loaded the library.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (driver) return SDL_AudioInit(driver) == 0;
    return SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
}

}  // namespace

Output::Output(int device, uint32_t rate, std::shared_ptr<Mixer> mixer) : mixer_(std::move(mixer)) {
    SDL_AudioSpec want{};
    want.freq = static_cast<int>(rate);
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
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
    SDL_AudioDeviceID id = open();
    if (id == 0 && device >= 2 && !SDL_GetAudioDeviceName(device - 2, 0)) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        fail(BASS_ERROR_DEVICE);
    }
    if (id == 0 && device == 1 && !driverChosen && !usingFallback) {
        // No usable sound card: keep running, and keeping time, on the dummy driver.
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        if (initAudio("dummy")) {
            usingFallback = true;
            id = open();
        }
    }
    if (id == 0) {
        if (usingFallback) SDL_AudioQuit(); else SDL_QuitSubSystem(SDL_INIT_AUDIO);
        fail(BASS_ERROR_DRIVER);
    }
    device_ = id;
    bufferFrames_ = have.samples;
    if (const char* d = SDL_GetCurrentAudioDriver()) driver_ = d;
    if (usingFallback) driver_ += " (fallback)";
}

Output::~Output() {
    SDL_CloseAudioDevice(device_);
    if (driver_.ends_with("(fallback)")) SDL_AudioQuit(); else SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Output::setRunning(bool running) { SDL_PauseAudioDevice(device_, running ? 0 : 1); }

void Output::callback(void* self, uint8_t* stream, int length) {
    auto* output = static_cast<Output*>(self);
    output->mixer_->pull(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(length) / 4,
                         output->bufferFrames_);
}

std::string Output::deviceName(int device) {
    if (device == 1) return "Default output";
    if (device < 2) return {};
    // While an output is open its driver answers; otherwise start SDL's audio just to ask
    // (initialising it again while a device is open would close that device).
    const bool running = SDL_GetCurrentAudioDriver() != nullptr;
    if (!running && SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return {};
    std::string name;
    if (const char* n = SDL_GetAudioDeviceName(device - 2, 0)) name = n;
    if (!running) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return name;
}

}  // namespace aubadine::bass

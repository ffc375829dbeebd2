#include "Library.h"

#include "Channel.h"
#include "Mixer.h"
#include "Output.h"
#include "SyncThread.h"

namespace aubadine::bass {
namespace {
thread_local int tError = BASS_OK;
}

void setError(int code) noexcept { tError = code; }
int lastError() noexcept { return tError; }

Config& config() {
    static Config c;
    return c;
}

Library& Library::instance() {
    static Library* library = new Library;  // never destroyed: callbacks may outlive exit
    return *library;
}

void Library::init(int device, uint32_t freq, uint32_t flags) {
    if (device == -1) device = 1;
    if (device < 0) fail(BASS_ERROR_DEVICE);
    if (freq == 0) freq = 44100;
    if (freq < 8000 || freq > 192000) fail(BASS_ERROR_FREQ);
    std::lock_guard lock(mutex_);
    if (device_ >= 0) fail(BASS_ERROR_ALREADY);
    auto syncs = std::make_shared<SyncThread>();
    auto mixer = std::make_shared<Mixer>(freq, device != 0, config().bufferMs.load(), syncs);
    std::shared_ptr<Output> output;
    if (device != 0) {
        output = std::make_shared<Output>(device, freq, mixer);
        std::function<void(bool)> rest;
        if (output->canRest()) rest = [out = output.get()](bool resting) { out->setResting(resting); };
        mixer->setOutput(output->bufferFrames(), std::move(rest));
        output->setRunning(true);
    }
    device_ = device;
    rate_ = freq;
    flags_ = flags;
    outputRunning_ = true;
    mixer_ = std::move(mixer);
    output_ = std::move(output);
    syncThread_ = std::move(syncs);
}

void Library::free() {
    std::map<DWORD, std::shared_ptr<Channel>> channels;
    std::shared_ptr<Mixer> mixer;
    std::shared_ptr<Output> output;
    std::shared_ptr<SyncThread> syncs;
    {
        std::lock_guard lock(mutex_);
        if (device_ < 0) fail(BASS_ERROR_INIT);
        if ((mixer_ && mixer_->onMixerThread()) || (syncThread_ && syncThread_->onThisThread()))
            fail(BASS_ERROR_UNKNOWN);  // from a callback: would wait for itself
        channels.swap(channels_);
        effects_.clear();
        mixer = std::move(mixer_);
        output = std::move(output_);
        syncs = std::move(syncThread_);
        device_ = -1;
        rate_ = 0;
        outputRunning_ = false;
    }
    for (auto& [handle, channel] : channels) channel->markFreed();
    // Both threads are ended here, on this thread: a callback still running may hold the last
    // reference to either object, and must not be the one left to wait for its own thread.
    mixer->stop();   // the decode thread wakes a resting output and ends
    mixer->setOutput(0, nullptr);
    output.reset();  // SDL's thread stops pulling from the mixer
    syncs->stop();   // queued sync callbacks run, then the thread ends
    mixer.reset();
    syncs.reset();
}

bool Library::initialised() const {
    std::lock_guard lock(mutex_);
    return device_ >= 0;
}

int Library::device() const {
    std::lock_guard lock(mutex_);
    if (device_ < 0) fail(BASS_ERROR_INIT);
    return device_;
}

uint32_t Library::rate() const {
    std::lock_guard lock(mutex_);
    return rate_;
}

uint32_t Library::flags() const {
    std::lock_guard lock(mutex_);
    return flags_;
}

uint32_t Library::latencyMs() const {
    std::lock_guard lock(mutex_);
    if (!mixer_ || !mixer_->realtime() || rate_ == 0) return 0;
    return static_cast<uint32_t>(uint64_t{mixer_->latencyFrames()} * 1000 / rate_);
}

std::string Library::driverName() const {
    std::lock_guard lock(mutex_);
    return output_ ? output_->driver() : std::string{};
}

void Library::startOutput() {
    std::lock_guard lock(mutex_);
    if (device_ < 0) fail(BASS_ERROR_INIT);
    if (output_) output_->setRunning(true);
    outputRunning_ = true;
}

void Library::pauseOutput() {
    std::lock_guard lock(mutex_);
    if (device_ < 0) fail(BASS_ERROR_INIT);
    if (output_) output_->setRunning(false);
    outputRunning_ = false;
}

void Library::stopOutput() {
    std::map<DWORD, std::shared_ptr<Channel>> channels;
    {
        std::lock_guard lock(mutex_);
        if (device_ < 0) fail(BASS_ERROR_INIT);
        if (output_) output_->setRunning(false);
        outputRunning_ = false;
        channels = channels_;
    }
    for (auto& [handle, channel] : channels) channel->stop();
}

bool Library::outputRunning() const {
    std::lock_guard lock(mutex_);
    return outputRunning_;
}

std::shared_ptr<Mixer> Library::mixer() const {
    std::lock_guard lock(mutex_);
    if (!mixer_) fail(BASS_ERROR_INIT);
    return mixer_;
}

std::shared_ptr<SyncThread> Library::syncThread() const {
    std::lock_guard lock(mutex_);
    return syncThread_;
}

DWORD Library::newHandle() {
    std::lock_guard lock(mutex_);
    if (++nextHandle_ == 0) nextHandle_ = 0x10000;
    return nextHandle_;
}

DWORD Library::addChannel(std::shared_ptr<Channel> channel) {
    std::lock_guard lock(mutex_);
    if (!mixer_) fail(BASS_ERROR_INIT);
    const DWORD handle = channel->handle();
    channels_[handle] = channel;
    if (!channel->decoding()) mixer_->add(std::move(channel));
    return handle;
}

std::shared_ptr<Channel> Library::channel(DWORD handle) const {
    std::lock_guard lock(mutex_);
    if (device_ < 0) fail(BASS_ERROR_INIT);
    auto it = channels_.find(handle);
    if (it == channels_.end()) fail(BASS_ERROR_HANDLE);
    return it->second;
}

std::shared_ptr<Channel> Library::takeChannel(DWORD handle) {
    std::lock_guard lock(mutex_);
    if (device_ < 0) fail(BASS_ERROR_INIT);
    auto it = channels_.find(handle);
    if (it == channels_.end()) fail(BASS_ERROR_HANDLE);
    auto channel = std::move(it->second);
    channels_.erase(it);
    std::erase_if(effects_, [handle](const auto& e) { return e.second == handle; });
    return channel;
}

void Library::addEffect(DWORD fx, DWORD channel) {
    std::lock_guard lock(mutex_);
    effects_[fx] = channel;
}

DWORD Library::effectChannel(DWORD fx) const {
    std::lock_guard lock(mutex_);
    auto it = effects_.find(fx);
    if (it == effects_.end()) fail(BASS_ERROR_HANDLE);
    return it->second;
}

void Library::removeEffect(DWORD fx) {
    std::lock_guard lock(mutex_);
    effects_.erase(fx);
}

DWORD createChannel(std::unique_ptr<Source> source, DWORD flags, ChannelKind kind) {
    Library& library = Library::instance();
    auto mixer = library.mixer();
    const DWORD handle = library.newHandle();
    source->attach(handle);
    return library.addChannel(std::make_shared<Channel>(handle, std::move(source), flags, kind, mixer));
}

void fireChannelSyncs(DWORD channel, DWORD type, uintptr_t data) {
    try {
        Library::instance().channel(channel)->fireSyncs(type, data);
    } catch (const Failure&) {
        // freed meanwhile: nobody to tell
    }
}

}  // namespace aubadine::bass

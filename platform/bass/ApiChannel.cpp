// Exported stream, music, channel and effect functions.
#include "Channel.h"
#include "Library.h"
#include "Mixer.h"
#include "Sources.h"

#include <cmath>

using namespace aubadine::bass;

namespace {

std::shared_ptr<Channel> channelOf(DWORD handle) { return Library::instance().channel(handle); }

void freeChannel(DWORD handle, ChannelKind kind) {
    auto channel = channelOf(handle);
    if (channel->kind() != kind) fail(BASS_ERROR_HANDLE);
    Library::instance().takeChannel(handle)->markFreed();
}

}  // namespace

extern "C" {

// ---- tracker music ----

BASSDEF HMUSIC BASS_MusicLoad(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags, DWORD freq) {
    return boundary<HMUSIC>(0, [&] {
        auto mixer = Library::instance().mixer();
        if (!file) fail(BASS_ERROR_FILEOPEN);
        const uint32_t rate = freq ? freq : mixer->rate();
        if (rate < 8000 || rate > 192000) fail(BASS_ERROR_FREQ);
        auto source = openModuleSource(mem != 0, file, offset, length, rate, flags);
        return createChannel(std::move(source), flags, ChannelKind::Music);
    });
}

BASSDEF BOOL BASS_MusicFree(HMUSIC handle) {
    return boundary<BOOL>(FALSE, [&] {
        freeChannel(handle, ChannelKind::Music);
        return TRUE;
    });
}

BASSDEF const char* BASS_MusicGetName(HMUSIC handle) {
    return boundary<const char*>(nullptr, [&]() -> const char* {
        auto channel = channelOf(handle);
        std::lock_guard lock(channel->mutex());
        const char* name = channel->source().musicName();
        if (!name) fail(BASS_ERROR_NOTAVAIL);
        return name;
    });
}

BASSDEF DWORD BASS_MusicGetLength(HMUSIC handle, BOOL playlen) {
    return boundary<DWORD>(DWORD(-1), [&]() -> DWORD {
        auto channel = channelOf(handle);
        if (channel->kind() != ChannelKind::Music) fail(BASS_ERROR_HANDLE);
        if (playlen) {
            auto bytes = channel->lengthBytes();
            if (!bytes) fail(BASS_ERROR_NOTAVAIL);
            return static_cast<DWORD>(std::min<QWORD>(*bytes, 0xFFFFFFFEu));
        }
        std::lock_guard lock(channel->mutex());
        auto orders = channel->source().musicOrders();
        if (!orders) fail(BASS_ERROR_NOTAVAIL);
        return *orders;
    });
}

BASSDEF BOOL BASS_MusicSetAttribute(HMUSIC, DWORD, DWORD) { return unavailable<BOOL>(FALSE); }
BASSDEF DWORD BASS_MusicGetAttribute(HMUSIC, DWORD) { return unavailable<DWORD>(DWORD(-1)); }

// ---- streams ----

BASSDEF HSTREAM BASS_StreamCreate(DWORD freq, DWORD chans, DWORD flags, STREAMPROC* proc, void* user) {
    return boundary<HSTREAM>(0, [&] {
        Library::instance().mixer();
        if (!proc) fail(BASS_ERROR_ILLPARAM);
        if (freq < 1000 || freq > 384000) fail(BASS_ERROR_FREQ);
        if (chans < 1 || chans > 8) fail(BASS_ERROR_FORMAT);
        if (flags & BASS_SAMPLE_FLOAT) fail(BASS_ERROR_FORMAT);
        auto source = makeUserSource(freq, chans, flags & BASS_SAMPLE_8BITS, proc, user);
        return createChannel(std::move(source), flags, ChannelKind::Stream);
    });
}

BASSDEF HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, DWORD offset, DWORD length, DWORD flags) {
    return boundary<HSTREAM>(0, [&] {
        Library::instance().mixer();
        if (!file) fail(BASS_ERROR_FILEOPEN);
        if (mem && length == 0) fail(BASS_ERROR_ILLPARAM);
        auto source = openFileSource(mem != 0, file, offset, length);
        return createChannel(std::move(source), flags, ChannelKind::Stream);
    });
}

BASSDEF HSTREAM BASS_StreamCreateURL(const char* url, DWORD offset, DWORD flags, DOWNLOADPROC* proc, void* user) {
    return boundary<HSTREAM>(0, [&] {
        Library::instance().mixer();
        auto source = openNetworkSource(url, offset, flags, proc, user);
        return createChannel(std::move(source), flags, ChannelKind::Stream);
    });
}

BASSDEF HSTREAM BASS_StreamCreateFileUser(BOOL, DWORD, STREAMFILEPROC*, void*) { return unavailable<HSTREAM>(0); }

BASSDEF BOOL BASS_StreamFree(HSTREAM handle) {
    return boundary<BOOL>(FALSE, [&] {
        freeChannel(handle, ChannelKind::Stream);
        return TRUE;
    });
}

BASSDEF QWORD BASS_StreamGetLength(DWORD handle) {
    return boundary<QWORD>(QWORD(-1), [&] {
        auto length = channelOf(handle)->lengthBytes();
        if (!length) fail(BASS_ERROR_NOTAVAIL);
        return *length;
    });
}

BASSDEF const char* BASS_StreamGetTags(HSTREAM handle, DWORD tags) {
    return boundary<const char*>(nullptr, [&]() -> const char* {
        auto channel = channelOf(handle);
        std::lock_guard lock(channel->mutex());
        const char* found = channel->source().tags(tags);
        if (!found) fail(BASS_ERROR_NOTAVAIL);
        return found;
    });
}

BASSDEF DWORD BASS_StreamGetFilePosition(HSTREAM handle, DWORD mode) {
    return boundary<DWORD>(DWORD(-1), [&] {
        auto channel = channelOf(handle);
        std::lock_guard lock(channel->mutex());
        if (mode > BASS_FILEPOS_START) fail(BASS_ERROR_ILLPARAM);
        auto pos = channel->source().filePosition(mode);
        if (!pos) fail(BASS_ERROR_NOTFILE);
        if (*pos == kUnknownFileSize) fail(BASS_ERROR_NOTAVAIL);  // -1: the server gave no size
        return static_cast<DWORD>(std::min<uint64_t>(*pos, 0xFFFFFFFEu));
    });
}

// ---- channels ----

BASSDEF float BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    return boundary<float>(-1.0f, [&] {
        auto channel = channelOf(handle);
        const auto info = channel->info();
        const double bytesPerSecond = double(channel->bytesPerFrame()) * info.freq;
        return static_cast<float>(static_cast<double>(static_cast<int64_t>(pos)) / bytesPerSecond);
    });
}

BASSDEF QWORD BASS_ChannelSeconds2Bytes(DWORD handle, float pos) {
    return boundary<QWORD>(QWORD(-1), [&] {
        auto channel = channelOf(handle);
        const auto info = channel->info();
        if (!(pos >= 0)) fail(BASS_ERROR_ILLPARAM);
        const auto frames = static_cast<QWORD>(std::floor(static_cast<double>(pos) * info.freq));
        return frames * channel->bytesPerFrame();
    });
}

BASSDEF DWORD BASS_ChannelGetDevice(DWORD handle) {
    return boundary<DWORD>(DWORD(-1), [&] {
        channelOf(handle);
        return static_cast<DWORD>(Library::instance().device());
    });
}

BASSDEF DWORD BASS_ChannelIsActive(DWORD handle) {
    return boundary<DWORD>(BASS_ACTIVE_STOPPED, [&] { return channelOf(handle)->activity(); });
}

BASSDEF BOOL BASS_ChannelGetInfo(DWORD handle, BASS_CHANNELINFO* info) {
    return boundary<BOOL>(FALSE, [&] {
        if (!info) fail(BASS_ERROR_ILLPARAM);
        *info = channelOf(handle)->info();
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelSetFlags(DWORD handle, DWORD flags) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle)->setFlags(flags);
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelPreBuf(DWORD handle) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle);
        return TRUE;  // the mixer decodes ahead by itself
    });
}

BASSDEF BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    return boundary<BOOL>(FALSE, [&] {
        auto channel = channelOf(handle);
        if (channel->decoding()) fail(BASS_ERROR_DECODE);
        if (!Library::instance().outputRunning()) fail(BASS_ERROR_START);
        channel->play(restart != 0);
        Library::instance().mixer()->channelStarted();  // start at once, not at the next period
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelStop(DWORD handle) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle)->stop();
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelPause(DWORD handle) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle)->pause();
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelSetAttributes(DWORD handle, int freq, int volume, int pan) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle)->setAttributes(freq, volume, pan);
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelGetAttributes(DWORD handle, DWORD* freq, DWORD* volume, int* pan) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle)->attributes(freq, volume, pan);
        return TRUE;
    });
}

BASSDEF BOOL BASS_ChannelSetPosition(DWORD handle, QWORD pos) {
    return boundary<BOOL>(FALSE, [&] {
        channelOf(handle)->setPosition(pos);
        return TRUE;
    });
}

BASSDEF QWORD BASS_ChannelGetPosition(DWORD handle) {
    return boundary<QWORD>(QWORD(-1), [&] { return channelOf(handle)->position(); });
}

BASSDEF DWORD BASS_ChannelGetLevel(DWORD handle) {
    return boundary<DWORD>(DWORD(-1), [&] { return channelOf(handle)->level(); });
}

BASSDEF DWORD BASS_ChannelGetData(DWORD handle, void* buffer, DWORD length) {
    return boundary<DWORD>(DWORD(-1), [&] { return channelOf(handle)->data(buffer, length); });
}

BASSDEF HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD param, SYNCPROC* proc, void* user) {
    return boundary<HSYNC>(0, [&] { return channelOf(handle)->addSync(type, param, proc, user); });
}

BASSDEF BOOL BASS_ChannelRemoveSync(DWORD handle, HSYNC sync) {
    return boundary<BOOL>(FALSE, [&] {
        if (!channelOf(handle)->removeSync(sync)) fail(BASS_ERROR_HANDLE);
        return TRUE;
    });
}

BASSDEF HDSP BASS_ChannelSetDSP(DWORD handle, DSPPROC* proc, void* user, int priority) {
    return boundary<HDSP>(0, [&] { return channelOf(handle)->addDsp(proc, user, priority); });
}

BASSDEF BOOL BASS_ChannelRemoveDSP(DWORD handle, HDSP dsp) {
    return boundary<BOOL>(FALSE, [&] {
        if (!channelOf(handle)->removeDsp(dsp)) fail(BASS_ERROR_HANDLE);
        return TRUE;
    });
}

BASSDEF HFX BASS_ChannelSetFX(DWORD handle, DWORD type, DWORD priority) {
    return boundary<HFX>(0, [&] {
        const HFX fx = channelOf(handle)->addEffect(type, priority);
        Library::instance().addEffect(fx, handle);
        return fx;
    });
}

BASSDEF BOOL BASS_ChannelRemoveFX(DWORD handle, HFX fx) {
    return boundary<BOOL>(FALSE, [&] {
        if (!channelOf(handle)->removeEffect(fx)) fail(BASS_ERROR_HANDLE);
        Library::instance().removeEffect(fx);
        return TRUE;
    });
}

// ---- effects ----

BASSDEF BOOL BASS_FXSetParameters(HFX handle, const void* par) {
    return boundary<BOOL>(FALSE, [&] {
        auto channel = channelOf(Library::instance().effectChannel(handle));
        if (!channel->setEffectParameters(handle, par)) fail(BASS_ERROR_ILLPARAM);
        return TRUE;
    });
}

BASSDEF BOOL BASS_FXGetParameters(HFX handle, void* par) {
    return boundary<BOOL>(FALSE, [&] {
        if (!par) fail(BASS_ERROR_ILLPARAM);
        auto channel = channelOf(Library::instance().effectChannel(handle));
        return channel->effectParameters(handle, par) ? TRUE : FALSE;
    });
}

}  // extern "C"

// The output emulator: the output module every input plug-in writes its PCM to. Writes go
// into a ring buffer; a user stream of the audio library pulls from it on the mixer thread.
// The emulator's hidden window starts the stream on the UI thread, forwards the plug-ins'
// end of file and their SetInfo to the engine, and shows the message boxes that plug-ins'
// threads ask for.
//
// Threads: Write, CanWrite and Flush run on a plug-in's decoding thread, StreamProc on the
// mixer thread, the rest on the UI thread. One mutex guards the ring and its positions;
// each side holds it only for its copy, so neither ever sleeps waiting for the other. The
// pull never waits either: where it would wait for data (an underrun while the plug-in is
// still well before the end, or right after an unpause) it answers "no data yet", which
// stalls only this stream until data comes or the wait's time is up.
#include "OutputEmulatorDetail.h"
#include "PluginCtrl.h"

#include "Dynamic_Bass.h"
#include "MessageBox.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

namespace bass = Dynamic_Bass;

namespace {

using Clock = std::chrono::steady_clock;

// The emulator window's own messages: show the queued message boxes; apply the next queued
// SetInfo to the channel record and tell the engine.
constexpr uint32_t kMsgShowBoxes = WM_USER + 300;
constexpr uint32_t kMsgChannelInfo = WM_USER + 301;
// The plug-in's end of file and the start of the stream (posted by Write).
constexpr uint32_t kMsgEof = WINAMP_MSG_EOF;
constexpr uint32_t kMsgStartPlay = WINAMP_MSG_START_PLAY;

constexpr uint32_t kStartFreeBytes = 8192;          // start once no more than this is free
constexpr uint32_t kUnderrunMargin_ms = 2000;       // wait for data only this far from the end
constexpr auto kUnderrunWait = std::chrono::seconds(3);
constexpr auto kResumeWait = std::chrono::seconds(10);

struct Emulator {
    std::mutex lock;  // the ring, its positions, the format and the written total
    std::vector<uint8_t> ring;
    uint32_t size = 0, readPos = 0, writePos = 0;
    uint32_t rate = 0, bits = 0, channels = 0, block = 0;
    uint64_t written = 0;
    // The pull's wait for data (only the mixer thread touches these, under the lock).
    bool waiting = false;
    Clock::time_point waitUntil;

    std::atomic<bool> readerBusy{false}, writerBusy{false};
    std::atomic<bool> startPending{false}, endOfFile{false}, resumeWait{false}, seekPending{false};
    std::atomic<bool> boxShown{false};      // "Write error : No Space" once per Open
    std::atomic<int32_t> timeOffset{0};
    std::atomic<uint32_t> stream{0};
    std::atomic<uint32_t> duration_ms{0};   // of the engine's stream description
    std::atomic<uint32_t> generation{0};    // counts Opens; tags the posted messages

    bool ready = false;
    std::unique_ptr<TMessageWindow> window;
    std::atomic<HWND> windowHandle{0};
    std::atomic<HWND> engineWindow{0};

    std::mutex boxLock;
    std::deque<std::pair<std::string, std::string>> boxes;

    // SetInfo calls from plug-in threads, applied to the channel record on the UI thread
    // (where the engine reads it), one per kMsgChannelInfo; -1 leaves a field as it is.
    struct InfoUpdate {
        int bitrate, srate, stereo;
    };
    std::mutex infoLock;
    std::deque<InfoUpdate> infoUpdates;

    void (*copyHook)() = nullptr;

    uint32_t Used() const { return writePos >= readPos ? writePos - readPos : size - readPos + writePos; }
    uint32_t Free() const { return writePos < readPos ? readPos - writePos : size - writePos + readPos; }
    uint32_t BytesPerSecond() const { return (bits / 8) * rate * channels; }
    // Bytes to milliseconds, rounded, plus the time offset; the divisor is 0 before Open.
    int32_t ToTime(uint64_t bytes) const
    {
        const uint32_t bps = BytesPerSecond();
        if (bps == 0)
            return timeOffset.load();
        return static_cast<int32_t>((bytes * 1000 + bps / 2) / bps) + timeOffset.load();
    }
};

Emulator emu;
// Handed to the engine by address; never cleared. Written only on the UI thread, where the
// engine reads it.
TChannelInfo channelInfo;

// Queues a message box for the UI thread; returns at once.
void QueueBox(std::string text, std::string caption)
{
    {
        std::lock_guard g(emu.boxLock);
        emu.boxes.emplace_back(std::move(text), std::move(caption));
    }
    PostMessage(emu.windowHandle.load(), kMsgShowBoxes, 0, 0);
}

void ShowQueuedBoxes()
{
    for (;;) {
        std::pair<std::string, std::string> box;
        {
            std::lock_guard g(emu.boxLock);
            if (emu.boxes.empty())
                return;
            box = std::move(emu.boxes.front());
            emu.boxes.pop_front();
        }
        ShowMessageBox(box.first, box.second, TMessageIcon::None);
    }
}

// ---- the emulator window ----

void EmulatorWndProc(uint32_t msg, WPARAM wParam, LPARAM lParam)
{
    const HWND engine = emu.engineWindow.load();
    switch (msg) {
    case kMsgEof: {
        // Only the playback that posted it, and only once: a late end of file from a
        // playback that is over must not end the next one.
        if (wParam != emu.generation.load() || emu.endOfFile.exchange(true))
            return;
        // A file shorter than the start threshold: its sound starts now, before the
        // engine hears of the end, so that the engine waits for it to play out.
        const HSTREAM s = emu.stream.load();
        if (s != 0 && emu.startPending.exchange(false))
            EmulatorWndProc(kMsgStartPlay, wParam, reinterpret_cast<LPARAM>(&channelInfo));
        if (engine)
            PostMessage(engine, WM_PLUGIN_EOF, 0, 0);
        break;
    }
    case kMsgStartPlay: {
        if (wParam != emu.generation.load())
            return;
        {
            std::lock_guard g(emu.lock);
            channelInfo.BitsPerSample = static_cast<uint16_t>(emu.bits);
            channelInfo.SampleRate = static_cast<int32_t>(emu.rate);
            channelInfo.Channels = static_cast<uint16_t>(emu.channels);
        }
        // From the start: the position then counts from the time of the Open or Flush.
        if (const HSTREAM s = emu.stream.load())
            bass::BASS_ChannelPlay(s, TRUE);
        emu.resumeWait = false;
        if (engine)
            PostMessage(engine, WM_PLUGIN_START_PLAY, 0, lParam);
        break;
    }
    case kMsgShowBoxes: ShowQueuedBoxes(); break;
    case kMsgChannelInfo: {
        Emulator::InfoUpdate u{};
        {
            std::lock_guard g(emu.infoLock);
            if (emu.infoUpdates.empty())
                return;
            u = emu.infoUpdates.front();
            emu.infoUpdates.pop_front();
        }
        if (u.bitrate != -1)
            channelInfo.BitRate = u.bitrate;
        if (u.srate != -1)
            channelInfo.SampleRate = u.srate;
        if (u.stereo != -1)
            channelInfo.Channels = static_cast<uint16_t>(u.stereo);
        if (engine)
            PostMessage(engine, WM_PLUGIN_CHANNEL_INFO, 0, reinterpret_cast<LPARAM>(&channelInfo));
        break;
    }
    default: break;  // WM_QUERYENDSESSION and anything else: nothing to do
    }
}

// ---- the main window object plug-ins see ----

int MainPostMessage(WinampMainWindow*, uint32_t msg, uintptr_t, intptr_t)
{
    // Plug-ins may post only their end of file; it carries the playback it belongs to.
    if (msg != kMsgEof)
        return 0;
    return PostMessage(emu.windowHandle.load(), kMsgEof, emu.generation.load(), 0) ? 1 : 0;
}

void MainMessageBox(WinampMainWindow*, const char* text, const char* caption)
{
    QueueBox(text ? text : "", caption ? caption : "");
}

WinampMainWindow mainWindow = {MainPostMessage, MainMessageBox, nullptr};

// ---- the output module ----

void OutConfig(WinampParentWindow)
{
    QueueBox("No configuration is needed.", "Confirm");
}

void OutAbout(WinampParentWindow)
{
    QueueBox("This is a Winamp output plug-in emulator using BASS", "Confirm");
}

void OutInit()
{
    if (emu.ready)
        return;
    emu.window = std::make_unique<TMessageWindow>(EmulatorWndProc);
    emu.windowHandle = emu.window->Handle();
    emu.ready = true;
}

void OutQuit()
{
    emu.ready = false;
    emu.windowHandle = 0;
    emu.window.reset();
    {
        std::lock_guard g(emu.boxLock);
        emu.boxes.clear();
    }
    std::lock_guard g(emu.infoLock);
    emu.infoUpdates.clear();
}

int OutOpen(int samplerate, int numchannels, int bitspersamp, int, int)
{
    if (!emu.ready)
        return -1;
    const HSTREAM s = bass::BASS_StreamCreate(static_cast<DWORD>(samplerate), static_cast<DWORD>(numchannels),
                                              bitspersamp == 8 ? BASS_SAMPLE_8BITS : 0,
                                              emulator_detail::StreamProc, nullptr);
    int result = -1;
    bool noRing = false;
    {
        std::lock_guard g(emu.lock);
        if (s != 0) {
            emu.rate = static_cast<uint32_t>(samplerate);
            emu.bits = static_cast<uint32_t>(bitspersamp);
            emu.channels = static_cast<uint32_t>(numchannels);
            emu.block = (emu.bits / 8) * emu.rate * emu.channels * 2 / 10;
            if (2 * emu.block > emu.size || 4 * emu.block < emu.size) {
                try {
                    emu.ring.assign(3 * static_cast<size_t>(emu.block), 0);
                } catch (const std::bad_alloc&) {
                    emu.ring.clear();
                    emu.size = 0;
                    noRing = true;
                }
                if (!noRing)
                    emu.size = 3 * emu.block;
            }
            result = noRing ? -1 : 0;
        }
        if (!noRing) {
            emu.readPos = emu.writePos = 0;
            emu.written = 0;
            emu.waiting = false;
        }
    }
    if (noRing) {  // -1 at once, the rest as it was
        bass::BASS_StreamFree(s);
        return -1;
    }
    emu.generation.fetch_add(1);
    emu.stream = s;
    emu.timeOffset = 0;
    emu.readerBusy = emu.writerBusy = emu.seekPending = false;
    emu.startPending = true;
    emu.endOfFile = false;
    emu.resumeWait = false;
    emu.boxShown = false;
    if (result == 0 && emu.engineWindow.load())
        PostMessage(emu.engineWindow.load(), WM_PLUGIN_STREAM_CREATED, s, 0);
    return result;
}

void OutClose()
{
    const HSTREAM s = emu.stream.exchange(0);
    if (s == 0)
        return;
    if (bass::BASS_ChannelIsActive(s) == BASS_ACTIVE_PLAYING)
        bass::BASS_ChannelStop(s);
    bass::BASS_StreamFree(s);
}

int OutWrite(char* buf, int len)
{
    if (len < 0 || (len > 0 && !buf))
        return 1;
    int result = 0;
    bool start = false;
    {
        std::lock_guard g(emu.lock);
        emu.writerBusy = true;
        const auto n = static_cast<uint32_t>(len);
        if (emu.size == 0 || n >= emu.Free()) {
            result = 1;
        } else {
            const uint32_t first = std::min(n, emu.size - emu.writePos);
            std::memcpy(emu.ring.data() + emu.writePos, buf, first);
            std::memcpy(emu.ring.data(), buf + first, n - first);
            emu.writePos = (emu.writePos + n) % emu.size;
            emu.written += n;
        }
        emu.writerBusy = false;
        if (emu.startPending && !(emu.Free() > kStartFreeBytes && emu.Used() < 2 * emu.block)) {
            emu.startPending = false;
            start = emu.stream.load() != 0;
        }
    }
    if (result != 0 && !emu.boxShown.exchange(true))
        QueueBox("Write error : No Space", "Error");
    if (start)
        PostMessage(emu.windowHandle.load(), kMsgStartPlay, emu.generation.load(),
                    reinterpret_cast<LPARAM>(&channelInfo));
    return result;
}

int OutCanWrite()
{
    if (emu.readerBusy.load())
        return 0;
    std::lock_guard g(emu.lock);
    return emu.size == 0 ? 0 : static_cast<int>(emu.Free() - 1);
}

int OutIsPlaying()
{
    const HSTREAM s = emu.stream.load();
    return s != 0 && bass::BASS_ChannelIsActive(s) == BASS_ACTIVE_PLAYING ? 1 : 0;
}

int OutPause(int pause)
{
    const HSTREAM s = emu.stream.load();
    const bool wasPaused = s != 0 && bass::BASS_ChannelIsActive(s) == BASS_ACTIVE_PAUSED;
    if (pause == 0) {
        emu.resumeWait = true;
        bass::BASS_ChannelPlay(s, wasPaused ? FALSE : static_cast<BOOL>(-1));
    } else if (!wasPaused) {
        bass::BASS_ChannelPause(s);
    }
    return wasPaused ? 1 : 0;
}

void OutSetVolume(int volume)
{
    bass::BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, static_cast<DWORD>(std::clamp(volume, 0, 255)));
}

void OutSetPan(int pan)
{
    bass::BASS_ChannelSetAttributes(emu.stream.load(), -1, -1, static_cast<int>(std::nearbyint(pan * 0.78125)));
}

void OutFlush(int t)
{
    const HSTREAM s = emu.stream.load();
    const DWORD state = s != 0 ? bass::BASS_ChannelIsActive(s) : BASS_ACTIVE_STOPPED;
    const bool restart = state == BASS_ACTIVE_PLAYING || state == BASS_ACTIVE_STALLED;
    if (state == BASS_ACTIVE_PAUSED && !emu.seekPending.load())
        return;
    // Stopped before the lock is taken: the library holds the channel's lock while it
    // pulls, and the pull takes ours.
    if (s != 0)
        bass::BASS_ChannelStop(s);
    std::lock_guard g(emu.lock);  // waits for a pull that is copying
    if (restart)
        emu.startPending = true;
    emu.timeOffset = t;
    emu.readPos = emu.writePos = 0;
    emu.written = 0;
    emu.waiting = false;
    emu.writerBusy = false;
    emu.seekPending = false;
}

int OutGetOutputTime()
{
    const HSTREAM s = emu.stream.load();
    QWORD pos = s != 0 ? bass::BASS_ChannelGetPosition(s) : 0;
    if (static_cast<int64_t>(pos) < 0)
        pos = 0;
    std::lock_guard g(emu.lock);
    return emu.ToTime(pos);
}

int OutGetWrittenTime()
{
    std::lock_guard g(emu.lock);
    return emu.ToTime(emu.written);
}

WinampOutModule outModule = {
    WINAMP_OUT_VERSION, "BASS Winamp output plug-in emulator", 65537, &mainWindow, nullptr,
    OutConfig, OutAbout, OutInit, OutQuit, OutOpen, OutClose, OutWrite, OutCanWrite, OutIsPlaying,
    OutPause, OutSetVolume, OutSetPan, OutFlush, OutGetOutputTime, OutGetWrittenTime,
};

// ---- host callbacks of the input-module record ----

void HostSAVSAInit(int, int) {}
void HostSAVSADeInit() {}
void HostSAAddPCMData(void*, int, int, int) {}
int HostSAGetMode() { return 0; }
int HostSAAdd(void*, int, int) { return 0; }
void HostVSAAddPCMData(void*, int, int, int) {}
int HostVSAGetMode(int*, int*) { return 0; }
int HostVSAAdd(void*, int) { return 0; }
void HostVSASetInfo(int, int) {}
int HostDspIsActive() { return 0; }
int HostDspDoSamples(short*, int numsamples, int, int, int) { return numsamples; }

void HostSetInfo(int bitrate, int srate, int stereo, int)
{
    if (bitrate == -1 && srate == -1 && stereo == -1)
        return;
    // Plug-ins call this on any thread; the record changes on the UI thread.
    {
        std::lock_guard g(emu.infoLock);
        emu.infoUpdates.push_back({bitrate, srate, stereo});
    }
    PostMessage(emu.windowHandle.load(), kMsgChannelInfo, 0, 0);
}

}  // namespace

// ---- what the rest of the host uses ----

void SetEngineWindow(HWND Window)
{
    emu.engineWindow = Window;
}

HWND EmulatorWindow()
{
    return emu.windowHandle.load();
}

WinampMainWindow* EmulatorMainWindow()
{
    return &mainWindow;
}

TOutModule* EmulatedOutputModule()
{
    return &outModule;
}

void SetStreamInfo(const TStreamInfo& Info)
{
    emu.duration_ms = Info.Duration;
}

void SetSeekPending()
{
    emu.seekPending = true;
}

void SetHostCallbacks(TInModule& m)
{
    m.SetInfo = HostSetInfo;
    m.dsp_isactive = HostDspIsActive;
    m.dsp_dosamples = HostDspDoSamples;
    m.SAVSAInit = HostSAVSAInit;
    m.SAVSADeInit = HostSAVSADeInit;
    m.SAAddPCMData = HostSAAddPCMData;
    m.SAGetMode = HostSAGetMode;
    m.SAAdd = HostSAAdd;
    m.VSASetInfo = HostVSASetInfo;
    m.VSAAddPCMData = HostVSAAddPCMData;
    m.VSAGetMode = HostVSAGetMode;
    m.VSAAdd = HostVSAAdd;
}

namespace emulator_detail {

bool AllocateRing(uint32_t size)
{
    std::lock_guard g(emu.lock);
    try {
        emu.ring.assign(size, 0);
        emu.ring.shrink_to_fit();
    } catch (const std::bad_alloc&) {
        emu.ring.clear();
        emu.size = 0;
        return false;
    }
    emu.size = size;
    emu.readPos = emu.writePos = 0;
    return true;
}

void Init()
{
    OutInit();
}

void Quit()
{
    OutQuit();
}

bool Ready()
{
    return emu.ready;
}

HSTREAM Stream()
{
    return emu.stream.load();
}

DWORD StreamProc(HSTREAM, void* buffer, DWORD length, void*)
{
    std::unique_lock g(emu.lock);
    uint32_t used = emu.Used();

    // Too little data while the plug-in should still be writing: answer "nothing yet"
    // (the stream stalls and asks again) until data comes or the wait is over.
    if (!emu.endOfFile.load() && used < length) {
        bool wait = emu.resumeWait.load();
        auto limit = kResumeWait;
        if (!wait) {
            const uint32_t duration = emu.duration_ms.load();
            const auto writtenTime = static_cast<uint32_t>(std::max(0, emu.ToTime(emu.written)));
            wait = writtenTime < duration && duration - writtenTime > kUnderrunMargin_ms;
            limit = kUnderrunWait;
        }
        if (wait) {
            const auto now = Clock::now();
            if (!emu.waiting) {
                emu.waiting = true;
                emu.waitUntil = now + limit;
            }
            if (now < emu.waitUntil)
                return 0;
        }
    }
    if (emu.waiting || used >= length) {
        emu.waiting = false;
        emu.resumeWait = false;
    }

    emu.readerBusy = true;
    auto* out = static_cast<uint8_t*>(buffer);
    uint32_t delivered = 0;
    const uint8_t* ring = emu.ring.data();
    if (emu.readPos > emu.writePos) {
        const uint32_t tail = emu.size - emu.readPos;
        if (length < tail) {
            std::memcpy(out, ring + emu.readPos, length);
            emu.readPos += length;
            delivered = length;
        } else if (length == tail) {
            std::memcpy(out, ring + emu.readPos, length);
            emu.readPos = 0;
            delivered = length;
        } else {
            std::memcpy(out, ring + emu.readPos, tail);
            const uint32_t rest = length - tail;
            if (rest < emu.writePos) {
                std::memcpy(out + tail, ring, rest);
                emu.readPos = rest;
                delivered = length;
            } else {
                std::memcpy(out + tail, ring, emu.writePos);
                emu.readPos = emu.writePos;
                delivered = tail + emu.writePos;
            }
        }
    } else if (emu.readPos < emu.writePos) {
        delivered = std::min(length, emu.writePos - emu.readPos);
        std::memcpy(out, ring + emu.readPos, delivered);
        emu.readPos += delivered;
    }
    if (emu.copyHook)
        emu.copyHook();
    emu.readerBusy = false;

    if (delivered > 0)
        return delivered;
    // Empty: the stream ends. A plug-in that has not said so itself gets its end of file
    // now, or the engine would wait for it for ever.
    const bool endOfFile = emu.endOfFile.load();
    g.unlock();
    if (!endOfFile)
        PostMessage(emu.windowHandle.load(), kMsgEof, emu.generation.load(), 0);
    return BASS_STREAMPROC_END;
}

RingState State()
{
    std::lock_guard g(emu.lock);
    return {emu.size,          emu.readPos,          emu.writePos,         emu.Used(),           emu.block,
            emu.written,       emu.startPending.load(), emu.endOfFile.load(), emu.resumeWait.load(),
            emu.seekPending.load()};
}

void SetCopyHook(void (*hook)())
{
    std::lock_guard g(emu.lock);
    emu.copyHook = hook;
}

}  // namespace emulator_detail

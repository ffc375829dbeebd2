// VisDrive: the visualization data thread, the shared block it fills for an outside
// visualization host, and the records the host sends.
//
// TVisDataThread opens the shared block "VisOutSharedMemory" (TfisSharedMemory), serves
// the host protocol on the per-user socket (TVisHostServer) when it is given the engine's
// window, and, while a host is linked and a track plays, writes spectrum and waveform data
// of the playing channel into the block at the period the host asked for, paced by a
// timerfd. The engine writes the first 280 bytes of the block on the UI thread; the
// thread writes the rest; the host clears DataReady once it has read a block.
//
// Threads: every operation below is called on the UI thread. The thread body runs on its
// own thread and reads the setters' values without a lock (each is one atomic field).
#pragma once

#include "MessageWindow.h"
#include "VisProtocol.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class TfisSharedMemory;
class TVisHostServer;

#pragma pack(push, 1)
struct TVisSharedBlock {
    uint32_t Mode;
    uint32_t SampleRate;
    uint32_t BitRate;
    uint32_t Channels;
    uint32_t Duration;
    char Title[256];
    uint32_t SyncVisWindow;
    uint32_t DataReady;
    uint32_t DataSampleRate;
    uint32_t DataChannels;
    uint32_t Position;
    uint8_t Data[2304];
};
#pragma pack(pop)
static_assert(sizeof(TVisSharedBlock) == 2600);

struct TVisLink {
    uint32_t HostThread;
    uint32_t HostValue;
};
static_assert(sizeof(TVisLink) == 8);

struct TVisRequest {
    uint32_t Reserved;
    uint32_t Period;            // ms between two analyses
    uint32_t SpectrumChannels;  // 0 none, 1 one mixed set, 2 or more two sets
    uint32_t WaveChannels;      // 0 none, 1 the first channel, 2 or more the first two
};
static_assert(sizeof(TVisRequest) == 16);

// Commands from the host (wParam of "WM_SendingData") and notification codes to it.
using visproto::cmdLink;
using visproto::cmdRequest;
using visproto::cmdUnlink;
using visproto::ntfData;
using visproto::ntfMode;
using visproto::ntfStreamInfo;
using visproto::ntfSyncVis;

// The block's size and name. AUBADINE_VIS_SHARE, when set, names the block instead (tests
// and side-by-side players use it; hosts learn the name from the socket either way).
constexpr int32_t kVisBlockSize = 2600;
std::string VisShareName();

class TVisDataThread {
public:
    // Gives back the number of "WM_SendingData" and the address of the shared block (0 and
    // nullptr when not Ready). With an engine window, host commands arriving on the socket
    // are sent to it as that message. The thread is created suspended; its body first runs
    // at the first StartOutput.
    TVisDataThread(uint32_t& Message, TVisSharedBlock*& Block, HWND EngineWindow = 0);
    ~TVisDataThread();
    TVisDataThread(const TVisDataThread&) = delete;
    TVisDataThread& operator=(const TVisDataThread&) = delete;

    bool Ready() const { return FReady; }
    // Suspended: the body is parked between ticks (or has not started, or has ended).
    bool Suspended() const;
    // Parks the body after the tick under way, if any; returns once nothing more will be
    // written until the next StartOutput.
    void Suspend();

    void SetVisScale(uint16_t Scale) { FVisScale = Scale; }
    void SetStreamFormat(uint32_t Stream, uint32_t SampleRate, uint32_t Channels);
    void SetVisPosition(uint32_t Ms) { FPosition = Ms; }
    void SetHostThread(uint32_t Thread) { FHostThread = Thread; }
    void ApplyRequest(const TVisRequest& Request);
    void SetPeriod(uint32_t Ms);
    // Tells the host (the connection that linked) about a change; lost when none listens.
    void NotifyHost(uint32_t Code, uint32_t Length);
    // Clears the skip count and DataReady and runs the body.
    void StartOutput();

    // One tick of the body (public so that tests can drive it without the thread).
    void WriteBlock();

    uint16_t VisScale() const { return FVisScale; }
    uint32_t Period() const { return FPeriod; }
    uint32_t HostThread() const { return FHostThread; }
    bool Ended() const { return FEnded; }
    // Timer periods that have passed since the body started (a late wake-up counts all).
    uint64_t Ticks() const { return FTicks; }
    TVisHostServer* Server() const { return FServer.get(); }
    TfisSharedMemory* Shared() const { return FShared.get(); }

private:
    void Execute();
    bool Arm();

    std::atomic<uint32_t> FHostThread{0};
    int FTimer = -1;      // timerfd
    int FWake = -1;       // eventfd that ends a wait at once (termination)
    std::unique_ptr<TfisSharedMemory> FShared;
    bool FReady = false;
    TVisSharedBlock* FBlock = nullptr;
    std::atomic<uint32_t> FPeriod{0};
    std::atomic<bool> FReArm{false};
    std::atomic<uint32_t> FSpectrumChannels{0};
    std::atomic<uint32_t> FWaveChannels{0};
    std::atomic<uint32_t> FStream{0};
    std::atomic<uint32_t> FSampleRate{0};
    std::atomic<uint32_t> FChannels{0};
    std::atomic<uint32_t> FPosition{0};
    std::atomic<uint16_t> FVisScale{512};
    uint32_t FMessage = 0;
    float FSpectrum[2048] = {};
    int16_t FWave[576 * 8] = {};
    int32_t FSkipCount = 0;
    std::unique_ptr<TVisHostServer> FServer;

    // Suspension: a tick runs under FTickMutex, so Suspend waits for it to finish.
    mutable std::mutex FTickMutex;
    std::condition_variable FResumed;
    bool FSuspended = true;
    bool FTerminated = false;
    std::atomic<bool> FEnded{false};
    std::atomic<uint64_t> FTicks{0};
    std::thread FThread;
};

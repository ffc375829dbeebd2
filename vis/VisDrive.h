// VisDrive: the visualization data thread and the shared block it fills for an outside
// visualization host.
//
// Until the shared memory channel and the host protocol are in place the thread reports
// itself not Ready: the engine then never recognises a host command and the whole
// exchange stays off, which is the documented behaviour of a thread that could not open
// its block.
#pragma once

#include <cstdint>

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

struct TVisRequest {
    uint32_t Reserved;
    uint32_t Period;
    uint32_t SpectrumChannels;
    uint32_t WaveChannels;
};

// Commands from the host (wParam of "WM_SendingData") and notification codes to it.
constexpr uint32_t cmdRequest = 0x37;
constexpr uint32_t cmdLink = 0x3C;
constexpr uint32_t cmdUnlink = 0x46;
constexpr uint32_t ntfMode = 81;
constexpr uint32_t ntfStreamInfo = 82;
constexpr uint32_t ntfSyncVis = 83;

class TVisDataThread {
public:
    // Gives back the identifier of "WM_SendingData" and the address of the shared block
    // (both 0/null when not Ready). The thread is created suspended.
    TVisDataThread(uint32_t& Message, TVisSharedBlock*& Block);
    ~TVisDataThread();

    bool Ready() const { return FReady; }
    bool Suspended() const { return FSuspended; }
    void Suspend() { FSuspended = true; }

    void SetVisScale(uint16_t Scale) { FVisScale = Scale; }
    void SetStreamFormat(uint32_t Stream, uint32_t SampleRate, uint32_t Channels);
    void SetVisPosition(uint32_t Ms) { FPosition = Ms; }
    void SetHostThread(uint32_t Thread) { FHostThread = Thread; }
    void ApplyRequest(const TVisRequest& Request);
    void NotifyHost(uint32_t Code, uint32_t Length);
    void StartOutput();

    uint16_t VisScale() const { return FVisScale; }

private:
    bool FReady = false;
    bool FSuspended = true;
    uint32_t FHostThread = 0;
    uint32_t FStream = 0;
    uint32_t FSampleRate = 0;
    uint32_t FChannels = 0;
    uint32_t FPosition = 0;
    uint16_t FVisScale = 512;
    uint32_t FSpectrumChannels = 0;
    uint32_t FWaveChannels = 0;
    uint32_t FPeriod = 0;
};

#include "VisDrive.h"

TVisDataThread::TVisDataThread(uint32_t& Message, TVisSharedBlock*& Block)
{
    Message = 0;
    Block = nullptr;
}

TVisDataThread::~TVisDataThread() = default;

void TVisDataThread::SetStreamFormat(uint32_t Stream, uint32_t SampleRate, uint32_t Channels)
{
    FStream = Stream;
    FSampleRate = SampleRate;
    FChannels = Channels;
}

void TVisDataThread::ApplyRequest(const TVisRequest& Request)
{
    FSpectrumChannels = Request.SpectrumChannels;
    FWaveChannels = Request.WaveChannels;
    FPeriod = Request.Period;
}

void TVisDataThread::NotifyHost(uint32_t, uint32_t) {}

void TVisDataThread::StartOutput()
{
    if (FReady)
        FSuspended = false;
}

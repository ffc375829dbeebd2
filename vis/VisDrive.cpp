#include "VisDrive.h"

#include "Dynamic_Bass.h"
#include "VisHostServer.h"
#include "VisProtocol.h"
#include "fisSharedMemory.h"

#include <cerrno>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace bass = Dynamic_Bass;

namespace {

constexpr int kFirstTick_ms = 250;
constexpr int kWaitLimit_ms = 1000;
constexpr uint32_t kMinPeriod_ms = 10;
constexpr int32_t kSkipLimit = 10;
constexpr size_t kSectionBytes = 576;

std::atomic_ref<uint32_t> DataReady(TVisSharedBlock* Block)
{
    auto* p = reinterpret_cast<uint8_t*>(Block) + offsetof(TVisSharedBlock, DataReady);
    return std::atomic_ref<uint32_t>(*reinterpret_cast<uint32_t*>(p));
}

// The low 8 bits of the integer part of Scale * Magnitude (larger values wrap around).
uint8_t SpectrumByte(uint16_t Scale, float Magnitude)
{
    const double v = static_cast<double>(Scale) * static_cast<double>(Magnitude);
    if (!(v > 0.0))
        return 0;  // also for a NaN
    if (v < 4294967296.0)
        return static_cast<uint8_t>(static_cast<uint32_t>(v));
    return static_cast<uint8_t>(std::fmod(std::trunc(v), 256.0));
}

// The high byte of a 16-bit sample taken as unsigned: -1 gives 0xFF.
uint8_t WaveByte(int16_t Sample)
{
    return static_cast<uint8_t>(static_cast<uint16_t>(Sample) >> 8);
}

}  // namespace

std::string VisShareName()
{
    const char* name = std::getenv("AUBADINE_VIS_SHARE");
    return name && *name ? name : "VisOutSharedMemory";
}

TVisDataThread::TVisDataThread(uint32_t& Message, TVisSharedBlock*& Block, HWND EngineWindow)
{
    Message = 0;
    Block = nullptr;
    FHostThread = 0;
    FShared = std::make_unique<TfisSharedMemory>();
    FShared->ShareName = VisShareName();
    FShared->Size = kVisBlockSize;
    if (FShared->OpenMapping()) {
        FBlock = static_cast<TVisSharedBlock*>(FShared->MapView());
        if (FBlock) {
            Block = FBlock;
            FTimer = ::timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC);
            FWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
            if (FTimer >= 0 && FWake >= 0) {
                FMessage = FShared->SendingDataMessage;
                Message = FMessage;
                FPeriod = 0;
                FReArm = false;
                FReady = true;
            }
        }
    }
    if (FReady && EngineWindow != 0) {
        FServer = std::make_unique<TVisHostServer>(EngineWindow, FMessage, FShared->BlockName(), visproto::SocketPath());
        if (!FServer->Listening())
            FServer.reset();
    }
}

TVisDataThread::~TVisDataThread()
{
    {
        std::lock_guard lock(FTickMutex);
        FTerminated = true;
        FSuspended = false;
    }
    FResumed.notify_all();
    if (FWake >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(FWake, &one, sizeof(one));
    }
    if (FThread.joinable())
        FThread.join();
    FServer.reset();
    if (FTimer >= 0)
        ::close(FTimer);
    if (FWake >= 0)
        ::close(FWake);
    if (FBlock)
        FShared->UnmapView(FBlock);
    FShared->Close();
}

bool TVisDataThread::Suspended() const
{
    std::lock_guard lock(FTickMutex);
    return FSuspended || FEnded || !FThread.joinable();
}

void TVisDataThread::Suspend()
{
    std::lock_guard lock(FTickMutex);  // waits for a tick under way
    FSuspended = true;
}

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
    SetPeriod(Request.Period);
}

void TVisDataThread::SetPeriod(uint32_t Ms)
{
    if (Ms < kMinPeriod_ms)
        Ms = kMinPeriod_ms;
    if (Ms == FPeriod)
        return;
    // Every change re-arms the timer, the first one too: a host that links first and
    // requests afterwards gets its period instead of a single block.
    FPeriod = Ms;
    FReArm = true;
    if (FWake >= 0) {
        uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(FWake, &one, sizeof(one));
    }
}

void TVisDataThread::NotifyHost(uint32_t Code, uint32_t Length)
{
    const uint32_t host = FHostThread;
    if (FServer && host != 0)
        FServer->Post(host, Code, Length);
}

void TVisDataThread::StartOutput()
{
    std::lock_guard lock(FTickMutex);
    FSkipCount = 0;
    if (FBlock)
        DataReady(FBlock).store(0, std::memory_order_release);
    if (!FReady || FEnded)
        return;
    FSuspended = false;
    if (!FThread.joinable())
        FThread = std::thread([this] { Execute(); });
    FResumed.notify_all();
}

bool TVisDataThread::Arm()
{
    const uint32_t period = FPeriod;
    itimerspec periodTiming{};
    periodTiming.it_value.tv_sec = 0;
    periodTiming.it_value.tv_nsec = kFirstTick_ms * 1000000L;
    periodTiming.it_interval.tv_sec = period / 1000;
    periodTiming.it_interval.tv_nsec = static_cast<long>(period % 1000) * 1000000L;
    return ::timerfd_settime(FTimer, 0, &periodTiming, nullptr) == 0;
}

void TVisDataThread::Execute()
{
    // The timer runs from the first start; a failed arming ends the output for the run.
    FReArm = false;
    if (FTimer < 0 || !Arm()) {
        FEnded = true;
        return;
    }
    for (;;) {
        {
            std::unique_lock lock(FTickMutex);
            FResumed.wait(lock, [this] { return !FSuspended || FTerminated; });
            if (FTerminated)
                return;
        }
        if (FReArm.exchange(false))
            Arm();
        pollfd fds[2] = {{FTimer, POLLIN, 0}, {FWake, POLLIN, 0}};
        int r = ::poll(fds, 2, kWaitLimit_ms);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            FEnded = true;
            return;
        }
        if (fds[1].revents & POLLIN) {
            uint64_t n;
            [[maybe_unused]] ssize_t got = ::read(FWake, &n, sizeof(n));
        }
        if (!(fds[0].revents & POLLIN))
            continue;  // woken, or no tick within the limit (a one-shot timer that fired)
        uint64_t expirations;
        if (::read(FTimer, &expirations, sizeof(expirations)) != sizeof(expirations))
            continue;
        FTicks += expirations;  // periods passed, counted even when we woke late
        std::lock_guard lock(FTickMutex);
        if (FTerminated)
            return;
        if (!FSuspended)
            WriteBlock();
    }
}

void TVisDataThread::WriteBlock()
{
    if (!FBlock || !bass::BassLibraryLoaded())
        return;
    const uint32_t stream = FStream;
    const uint32_t channels = FChannels;
    if (bass::BASS_ChannelIsActive(stream) != BASS_ACTIVE_PLAYING)
        return;
    if (bass::BASS_ChannelGetData(stream, nullptr, 0) < channels * 2048u)
        return;  // too little decoded yet for a 2048-point analysis
    auto ready = DataReady(FBlock);
    if (ready.load(std::memory_order_acquire) != 0) {
        // The host has not taken the last block; it is overwritten at the tenth tick.
        if (++FSkipCount < kSkipLimit)
            return;
    }
    FSkipCount = 0;
    FBlock->DataSampleRate = FSampleRate;
    FBlock->DataChannels = channels < 2 ? channels : 2;
    FBlock->Position = FPosition;
    uint8_t* p = FBlock->Data;
    const uint16_t scale = FVisScale;

    const uint32_t spectrum = FSpectrumChannels;
    if (spectrum > 0) {
        if (spectrum >= 2 && channels == 2) {
            bass::BASS_ChannelGetData(stream, FSpectrum, BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL);
            for (size_t ch = 0; ch < 2; ++ch)
                for (size_t k = 1; k <= kSectionBytes; ++k)
                    *p++ = SpectrumByte(scale, FSpectrum[2 * k + ch]);
        } else {
            bass::BASS_ChannelGetData(stream, FSpectrum, BASS_DATA_FFT2048);
            const int sets = spectrum >= 2 ? 2 : 1;
            for (int s = 0; s < sets; ++s)
                for (size_t k = 1; k <= kSectionBytes; ++k)
                    *p++ = SpectrumByte(scale, FSpectrum[k]);
        }
    }

    const uint32_t wave = FWaveChannels;
    if (wave > 0 && channels >= 1 && channels <= 8) {
        bass::BASS_ChannelGetData(stream, FWave, static_cast<DWORD>(channels * kSectionBytes * 2));
        const size_t sets = channels >= 2 && wave > 1 ? 2 : 1;
        for (size_t ch = 0; ch < sets; ++ch)
            for (size_t i = 0; i < kSectionBytes; ++i)
                *p++ = WaveByte(FWave[i * channels + ch]);
        if (channels == 1 && wave > 1) {
            std::memcpy(p, p - kSectionBytes, kSectionBytes);  // the one channel twice
            p += kSectionBytes;
        }
    }

    ready.store(1, std::memory_order_release);
    NotifyHost(ntfData, 0);
}

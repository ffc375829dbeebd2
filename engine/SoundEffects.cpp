// Sound effects on the current channel (the engine's own flanger DSP and the library's
// equalizer, echo and reverb) and the 25 spectrum levels computed every 25 ms.
#include "BASSPlayer.h"

#include "Dynamic_Bass.h"
#include "VisDrive.h"

#include <algorithm>
#include <cmath>

namespace bass = Dynamic_Bass;

namespace {

// ---- the flanger: one state for the whole program ----
constexpr int kFlangerSize = 350;  // delay line, frames
struct FlangerState {
    int16_t buffer[kFlangerSize][3];  // left, right, unused
    int32_t position;
    float sweep;                      // current delay, frames
    float step;                       // sweep change per frame
};
FlangerState flanger;

inline int16_t Limit(int v)
{
    if (v < -32767)
        return -32768;
    if (v >= 32767)
        return 32767;
    return static_cast<int16_t>(v);
}

// Last FFT bin of each spectrum band; band 0 is bin 1 alone.
constexpr int kBandLastBin[25] = {1, 2, 3, 6, 12, 18, 24, 30, 36, 42, 48, 54, 60,
                                  66, 72, 78, 84, 90, 96, 102, 108, 120, 132, 156, 180};

}  // namespace

void ResetFlanger()
{
    std::fill(&flanger.buffer[0][0], &flanger.buffer[0][0] + kFlangerSize * 3, int16_t{0});
    flanger.position = 0;
    flanger.sweep = 175.0f;
    flanger.step = 0.002f;
}

void FlangerDSP(HDSP, DWORD, void* Buffer, DWORD Length, void*)
{
    // Whole 4-byte stereo frames only: a trailing partial frame is left as it is.
    auto* s = static_cast<int16_t*>(Buffer);
    for (DWORD frames = Length / 4; frames > 0; --frames, s += 2) {
        const int L = s[0];
        const int R = s[1];
        const float whole = std::trunc(flanger.sweep);
        const int D = (flanger.position + static_cast<int>(whole)) % kFlangerSize;
        const int D2 = (D + 1) % kFlangerSize;
        const float F = flanger.sweep - whole;

        const int newL = static_cast<int>((1 - F) * flanger.buffer[D][0] + F * flanger.buffer[D2][0]) + L;
        const int newR = static_cast<int>((1 - F) * flanger.buffer[D][1] + F * flanger.buffer[D2][1]) + R;
        flanger.buffer[flanger.position][0] = static_cast<int16_t>(L);
        flanger.buffer[flanger.position][1] = static_cast<int16_t>(R);
        s[0] = Limit(newL);
        s[1] = Limit(newR);

        if (++flanger.position == kFlangerSize)
            flanger.position = 0;
        flanger.sweep += flanger.step;
        if (flanger.sweep < 0 || flanger.sweep > kFlangerSize)
            flanger.step = -flanger.step;
    }
}

void TBASSPlayer::SetSoundEffects(uint8_t Flags)
{
    FEffectFlags = Flags;
    if (FChannelKind == ckNone)
        return;  // applied at the next Open

    // Flanger.
    if ((Flags & 1) && FDSPHandle == 0) {
        ResetFlanger();
        FDSPHandle = bass::BASS_ChannelSetDSP(FChannel, FlangerDSP, nullptr, 0);
    } else if (!(Flags & 1) && FDSPHandle != 0) {
        if (bass::BASS_ChannelRemoveDSP(FChannel, FDSPHandle))
            FDSPHandle = 0;
    }

    if (!FDX8EffectReady)
        return;

    auto removeFX = [this](uint32_t& handle) {
        if (handle != 0 && bass::BASS_ChannelRemoveFX(FChannel, handle))
            handle = 0;
    };

    // Equalizer: one parametric band each, priorities 1 to 10.
    for (size_t i = 0; i < FEQBandCount && i < FEQHandles.size(); ++i) {
        if (!(Flags & 2)) {
            removeFX(FEQHandles[i]);
            continue;
        }
        if (FEQHandles[i] == 0)
            FEQHandles[i] = bass::BASS_ChannelSetFX(FChannel, BASS_FX_PARAMEQ, static_cast<DWORD>(i + 1));
        if (FEQHandles[i] != 0) {
            FEQParam.fCenter = FEQBands[i].Center;
            FEQParam.fBandwidth = FEQBands[i].Bandwidth;
            FEQParam.fGain = FEQGains[i];
            bass::BASS_FXSetParameters(FEQHandles[i], &FEQParam);
        }
    }

    // Echo.
    if (Flags & 4) {
        if (FEchoHandle == 0)
            FEchoHandle = bass::BASS_ChannelSetFX(FChannel, BASS_FX_ECHO, 11);
        if (FEchoHandle != 0 && bass::BASS_FXGetParameters(FEchoHandle, &FEchoParam)) {
            FEchoParam.fWetDryMix = FEchoLevel * 1.2f;
            FEchoParam.fFeedback = 30.0f;
            bass::BASS_FXSetParameters(FEchoHandle, &FEchoParam);
        }
    } else {
        removeFX(FEchoHandle);
    }

    // Reverb.
    if (Flags & 8) {
        if (FReverbHandle == 0)
            FReverbHandle = bass::BASS_ChannelSetFX(FChannel, BASS_FX_REVERB, 12);
        if (FReverbHandle != 0 && bass::BASS_FXGetParameters(FReverbHandle, &FReverbParam)) {
            FReverbParam.fInGain = 0.0f;
            FReverbParam.fReverbMix = FReverbLevel * 0.5f - 16.0f;
            FReverbParam.fReverbTime = 1000.0f;
            FReverbParam.fHighFreqRTRatio = 0.1f;
            bass::BASS_FXSetParameters(FReverbHandle, &FReverbParam);
        }
    } else {
        removeFX(FReverbHandle);
    }
}

void TBASSPlayer::ClearEffectHandles()
{
    FDSPHandle = 0;
    if (FDX8EffectReady) {
        for (size_t i = 0; i < FEQBandCount && i < FEQHandles.size(); ++i)
            FEQHandles[i] = 0;
        FEchoHandle = 0;
        FReverbHandle = 0;
    }
}

void TBASSPlayer::TimerTick()
{
    if (FTimer)
        FTimer->SetEnabled(false);
    if (!FBASSReady)
        return;

    // The timer switches itself off when the channel stops or pauses.
    DWORD active = bass::BASS_ChannelIsActive(FChannel);
    if (active != BASS_ACTIVE_PLAYING && active != BASS_ACTIVE_STALLED)
        return;

    // Running only for a linked visualization host: it needs the position, not the levels.
    if (!OnNewFFTData) {
        if (FVisConnected && FVisThread)
            FVisThread->SetVisPosition(GetPosition());
        if (FTimer)
            FTimer->SetEnabled(true);
        return;
    }

    float fft[512];
    if (bass::BASS_ChannelGetData(FChannel, fft, BASS_DATA_FFT512) == 0xFFFFFFFFu) {
        FBandOut.fill(0);
    } else {
        int first = 1;
        for (int i = 0; i < 25; ++i) {
            float peak = 0.0f;
            for (int b = first; b <= kBandLastBin[i]; ++b)
                peak = std::max(peak, fft[b]);
            first = kBandLastBin[i] + 1;
            // Levels jump up at once and fall by 2 a tick; higher bands weigh more.
            double scaled = std::nearbyint((i * 0.15 + 1.0) * peak * 80.0);
            uint16_t level = scaled >= 65535.0 ? 65535 : static_cast<uint16_t>(scaled > 0 ? scaled : 0);
            uint16_t lowered = FBandOut[i] < 2 ? 0 : static_cast<uint16_t>(FBandOut[i] - 2);
            FBandOut[i] = std::max(level, lowered);
        }
        PostMessage(MessageWindow(), WM_NEW_FFT_DATA, 0, 0);
        uint32_t position = GetPosition();
        if (FVisConnected && FVisThread)
            FVisThread->SetVisPosition(position);
    }

    if (FTimer)
        FTimer->SetEnabled(true);
}

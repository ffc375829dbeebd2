/*
 * Effects.h: the three DirectX-8-style effects that libbass.so puts on a channel
 * (BASS_ChannelSetFX types BASS_FX_PARAMEQ, BASS_FX_ECHO and BASS_FX_REVERB).
 *
 * Contract
 * - One Effect processes one channel's audio: interleaved 32-bit floats, nominally -1..1,
 *   `channels` samples a frame, at the sample rate given to createEffect.
 * - Not thread-safe by itself: the caller serialises process(), setParameters() and
 *   getParameters() (the library holds the channel's lock around them).
 * - process() allocates nothing, never blocks, and keeps its state finite and free of
 *   subnormal numbers: silence after loud input decays to exact zeros.
 * - setParameters() takes the parameter record of the effect's own type (BASS_FXPARAMEQ,
 *   BASS_FXECHO, BASS_FXREVERB). A value out of range (or NaN) refuses the whole record and
 *   leaves the effect as it was. Accepted values take effect gradually over a few
 *   milliseconds, so a change during playback does not click.
 * - getParameters() writes the values last accepted; a new effect reports the DirectX
 *   defaults (equalizer 8000 Hz / 12 semitones / 0 dB; echo 50 % / 50 % / 500 ms / 500 ms /
 *   no pan; reverb 0 dB / 0 dB / 1000 ms / 0.001).
 */
#ifndef AUBADINE_BASS_DSP_EFFECTS_H
#define AUBADINE_BASS_DSP_EFFECTS_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "../bass.h"

namespace aubadine::dsp {

// Limits that every effect accepts.
inline constexpr int kMinSampleRate = 8000;
inline constexpr int kMaxSampleRate = 192000;
inline constexpr int kMaxChannels = 8;

class Effect {
public:
    virtual ~Effect() = default;
    // Processes `frames` interleaved frames in place.
    virtual void process(float* interleaved, size_t frames) noexcept = 0;
    // params points to the record of this effect's type; false (and no change) when it is
    // null or any value is out of range.
    virtual bool setParameters(const void* params) noexcept = 0;
    // Writes the current record of this effect's type to params (nothing when null).
    virtual void getParameters(void* params) const noexcept = 0;
};

// A new effect of the given BASS_FX_* type (BASS_FX_PARAMEQ 7, BASS_FX_ECHO 3, BASS_FX_REVERB 8)
// for audio of sampleRate Hz (8000..192000) and channels channels (1..8). nullptr for any
// other type, rate or channel count, or when memory runs out. Allocates everything the
// effect will ever need (the echo's delay lines for 2 s, the reverb's networks).
std::unique_ptr<Effect> createEffect(uint32_t type, int sampleRate, int channels);

} // namespace aubadine::dsp

#endif

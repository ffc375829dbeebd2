#include "Effects.h"

#include <new>

#include "EffectKit.h"

namespace aubadine::dsp {

std::unique_ptr<Effect> createEffect(uint32_t type, int sampleRate, int channels)
{
    if (sampleRate < kMinSampleRate || sampleRate > kMaxSampleRate || channels < 1 ||
        channels > kMaxChannels)
        return nullptr;
    try {
        switch (type) {
        case BASS_FX_PARAMEQ:
            return kit::makeParamEq(sampleRate, channels);
        case BASS_FX_ECHO:
            return kit::makeEcho(sampleRate, channels);
        case BASS_FX_REVERB:
            return kit::makeReverb(sampleRate, channels);
        default:
            return nullptr;
        }
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

} // namespace aubadine::dsp

#include "OpenBytes.h"

#include "bass.h"

#include <vector>

namespace aubadine::bass::fuzz {

void openBytes(const uint8_t* data, size_t size) {
    if (size < 2) return;
    const bool music = data[0] & 1;
    ++data;
    --size;
    const DWORD ch = music ? BASS_MusicLoad(TRUE, data, 0, static_cast<DWORD>(size), 0x28400, 0)
                           : BASS_StreamCreateFile(TRUE, data, 0, static_cast<DWORD>(size), 0);
    if (!ch) return;
    const QWORD length = BASS_StreamGetLength(ch);
    for (DWORD kind : {BASS_TAG_ID3, BASS_TAG_ID3V2, BASS_TAG_OGG}) BASS_StreamGetTags(ch, kind);
    BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END);
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(ch, &info);
    BASS_ChannelSetFX(ch, BASS_FX_PARAMEQ, 1);
    BASS_ChannelPlay(ch, FALSE);
    std::vector<int16_t> out(4096 * 2);
    std::vector<float> fft(1024 * 8);
    for (int i = 0; i < 5 && BASS_ChannelIsActive(ch); ++i) AUBADINE_BASS_Render(out.data(), 4096 * 4);
    if (length != QWORD(-1) && length > 0) BASS_ChannelSetPosition(ch, length / 2);
    for (int i = 0; i < 3 && BASS_ChannelIsActive(ch); ++i) AUBADINE_BASS_Render(out.data(), 4096 * 4);
    BASS_ChannelGetData(ch, fft.data(), BASS_DATA_FFT2048 | BASS_DATA_FFT_INDIVIDUAL);
    BASS_ChannelGetLevel(ch);
    if (music) BASS_MusicFree(ch);
    else BASS_StreamFree(ch);
}

}  // namespace aubadine::bass::fuzz

#include "OpenAsf.h"

#include "basswma.h"

#include <vector>

namespace aubadine::basswma::fuzz {

void openAsf(const uint8_t* data, size_t size) {
    if (size == 0) return;
    const DWORD ch = BASS_WMA_StreamCreateFile(TRUE, data, 0, static_cast<DWORD>(size), 0);
    if (!ch) return;
    const QWORD length = BASS_StreamGetLength(ch);
    BASS_CHANNELINFO info{};
    BASS_ChannelGetInfo(ch, &info);
    BASS_StreamGetFilePosition(ch, BASS_FILEPOS_END);
    BASS_ChannelPlay(ch, FALSE);
    std::vector<int16_t> out(4096 * 2);
    for (int i = 0; i < 5 && BASS_ChannelIsActive(ch); ++i) AUBADINE_BASS_Render(out.data(), 4096 * 4);
    if (length != QWORD(-1) && length > 0) BASS_ChannelSetPosition(ch, length / 2);
    for (int i = 0; i < 3 && BASS_ChannelIsActive(ch); ++i) AUBADINE_BASS_Render(out.data(), 4096 * 4);
    BASS_StreamFree(ch);
}

}  // namespace aubadine::basswma::fuzz

// End to end through SDL's disk writer: what the library sends to the sound output is
// captured to a file, faster than real time, and is exactly the file's sound.
#include "Offline.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace aubadine::bass::test {
namespace {

TEST(Capture, DiskDriverReceivesExactlyTheDecodedSound) {
    const Files& f = Files::get();
    const std::string capture = fixtureDir() + "/capture.raw";
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    BASS_SetConfig(BASS_CONFIG_MAXVOL, 255);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 255);
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();

    const HSTREAM ch = BASS_StreamCreateFile(FALSE, f.wav.c_str(), 0, 0, 0);
    SyncCounter ends;
    BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    ASSERT_TRUE(ends.waitFor(1));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), BASS_StreamGetLength(ch));
    ASSERT_TRUE(BASS_Free());
    unsetenv("SDL_AUDIODRIVER");

    const auto bytes = readFile(capture);
    std::vector<int16_t> heard(bytes.size() / 2);
    std::memcpy(heard.data(), bytes.data(), heard.size() * 2);
    const auto start = std::find_if(heard.begin(), heard.end(), [](int16_t s) { return s != 0; });
    ASSERT_NE(start, heard.end());
    // The sound begins where its first non-zero sample lines up with the file's.
    const auto lead = std::find_if(f.tone.samples.begin(), f.tone.samples.end(), [](int16_t s) { return s != 0; });
    const size_t offset = static_cast<size_t>((start - heard.begin()) - (lead - f.tone.samples.begin()));
    ASSERT_GE(heard.size() - offset, f.tone.samples.size()) << "the whole sound was heard before the end sync";
    EXPECT_TRUE(std::equal(f.tone.samples.begin(), f.tone.samples.end(), heard.begin() + static_cast<ptrdiff_t>(offset)));
}

}  // namespace
}  // namespace aubadine::bass::test

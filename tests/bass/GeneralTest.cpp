// Configuration, device and error handling of libbass.so.
#include "bass.h"
#include "basscd.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

namespace {

TEST(General, VersionIsTwoPointOne) { EXPECT_EQ(BASS_GetVersion(), 0x00010002u); }

TEST(General, InfoRecordLayout) {
    static_assert(sizeof(BASS_INFO) == 60);
    static_assert(offsetof(BASS_INFO, dsver) == 40);
    static_assert(sizeof(BASS_CHANNELINFO) == 16);
}

TEST(General, VolumesFollowTheMaxVolScale) {
    ASSERT_EQ(BASS_SetConfig(BASS_CONFIG_MAXVOL, 255), 255u);
    EXPECT_EQ(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 128), 128u);
    EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_GVOL_STREAM), 128u);
    EXPECT_EQ(BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 256), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
    EXPECT_EQ(BASS_GetConfig(12345), 0xFFFFFFFFu);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
    EXPECT_EQ(BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 255), 255u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
}

TEST(General, ErrorCodeBelongsToTheCallingThread) {
    EXPECT_FALSE(BASS_Free());  // not initialised
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
    int other = -2;
    std::thread([&] {
        BASS_GetVersion();
        other = BASS_ErrorGetCode();
    }).join();
    EXPECT_EQ(other, BASS_OK);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(General, NoSoundDeviceInitInfoAndFree) {
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr, nullptr));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    EXPECT_EQ(BASS_GetDevice(), 0u);
    BASS_INFO info{};
    info.size = sizeof info;
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_EQ(info.size, 60u);
    EXPECT_GE(info.dsver, 8u);
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_TRUE(BASS_Free());
    EXPECT_FALSE(BASS_GetInfo(&info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
}

TEST(General, DefaultOutputOpensThroughSdl) {
    // The suite runs with SDL_AUDIODRIVER=dummy; without it, a machine with no sound card
    // falls back to the dummy driver by itself.
    ASSERT_TRUE(BASS_Init(1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_GetDevice(), 1u);
    BASS_INFO info{};
    info.size = sizeof info;
    ASSERT_TRUE(BASS_GetInfo(&info));
    EXPECT_GT(info.latency, 0u);
    EXPECT_TRUE(BASS_Pause());
    EXPECT_TRUE(BASS_Start());
    EXPECT_TRUE(BASS_Free());
    // And again: the output can be opened after it was closed.
    ASSERT_TRUE(BASS_Init(-1, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    EXPECT_TRUE(BASS_Free());
}

// BASS_Free gives SDL's audio back: another SDL user in the process keeps what it set up
// through BASS_Init/BASS_Free rounds, and once nobody uses SDL any more nothing of it is left
// (no subsystem, no driver, not even the hint the library set), whichever driver was used.
TEST(General, FreeGivesSdlsAudioBackAndLeavesOtherSdlUsersAlone) {
    auto playsAfterInit = [] {
        if (!BASS_Init(1, 44100, 0, nullptr, nullptr)) return false;
        const HSTREAM ch = BASS_StreamCreate(
            44100, 2, 0, [](HSTREAM, void* buffer, DWORD length, void*) -> DWORD {
                std::memset(buffer, 0, length);
                return length;
            },
            nullptr);
        bool moved = ch && BASS_ChannelPlay(ch, FALSE);
        for (int i = 0; moved && i < 400 && BASS_ChannelGetPosition(ch) == 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        moved = moved && BASS_ChannelGetPosition(ch) > 0;
        return BASS_Free() && moved;
    };
    // Another user of SDL in the process: its audio subsystem (SDL's dummy and disk drivers
    // open one device at a time, so it holds none) and its events.
    ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS), 0) << SDL_GetError();
    const std::string driver = SDL_GetCurrentAudioDriver();
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(playsAfterInit()) << "round " << round;
        EXPECT_NE(SDL_WasInit(SDL_INIT_AUDIO), 0u);
        EXPECT_NE(SDL_WasInit(SDL_INIT_EVENTS), 0u);
        ASSERT_NE(SDL_GetCurrentAudioDriver(), nullptr);
        EXPECT_EQ(SDL_GetCurrentAudioDriver(), driver);
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO | SDL_INIT_EVENTS);

    // Alone: the chosen driver, then SDL's own choice (or the dummy fallback without a card).
    const std::string chosen = std::getenv("SDL_AUDIODRIVER") ? std::getenv("SDL_AUDIODRIVER") : "";
    for (const bool ownChoice : {false, true}) {
        if (ownChoice) unsetenv("SDL_AUDIODRIVER");
        EXPECT_TRUE(playsAfterInit()) << "own choice " << ownChoice;
        EXPECT_EQ(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
        EXPECT_EQ(SDL_GetCurrentAudioDriver(), nullptr);
        EXPECT_EQ(SDL_GetHint(SDL_HINT_NO_SIGNAL_HANDLERS), nullptr) << "SDL's state outlived BASS_Free";
    }
    if (!chosen.empty()) setenv("SDL_AUDIODRIVER", chosen.c_str(), 1);
}

TEST(General, UnofferedFunctionsSayNotAvailable) {
    EXPECT_EQ(BASS_SampleLoad(FALSE, "x.wav", 0, 0, 1, 0), 0u);
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_FALSE(BASS_RecordInit(-1));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
    EXPECT_FALSE(BASS_ChannelSetLink(1, 2));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
}

TEST(General, CdDrivesAreListedUntilTheFirstMissingOne) {
    DWORD drive = 0;
    while (const char* description = BASS_CD_GetDriveDescription(drive)) {
        EXPECT_NE(description[0], '\0');
        EXPECT_EQ(BASS_CD_GetDriveLetter(drive), 3 + drive);  // D:, E:, ...
        ++drive;
    }
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
    EXPECT_EQ(BASS_CD_GetDriveLetter(drive), 0xFFFFFFFFu);
}

}  // namespace

// The CD add-on on disc images made here: three audio tracks of distinct tones, a disc
// with a data track, a BIN shorter than its sheet, and an image folder that vanishes while
// a track plays. Every image is one more drive with its own letter.
#include "DiscImages.h"
#include "Offline.h"
#include "basscd.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace aubadine::bass::test {
namespace {

constexpr double kTones[3] = {440.0, 660.0, 880.0};
constexpr size_t kSectors[3] = {75, 120, 150};  // 1 s, 1.6 s, 2 s

struct Discs {
    std::string folder;
    std::vector<ImageTrack> tones;

    static Discs& get() {
        static Discs discs = [] {
            Discs d;
            d.folder = fixtureDir() + "/discs";
            for (int i = 0; i < 3; ++i) d.tones.push_back({true, sectorTone(kTones[i], kSectors[i]), 0});
            d.write();
            // Before the add-on's first call, which lists the drives.
            setenv("AUBADINE_CD_IMAGES", d.folder.c_str(), 1);
            return d;
        }();
        return discs;
    }

    void write() const {
        std::filesystem::create_directories(folder);
        writeCueImage(folder, "a-tones", tones, 0, "0123456789012");
        writeCueImage(folder, "b-mixed", {tones[0], {false, {}, 40}});
        // Sheet: three 1-second tracks; BIN: 1.5 s (112 sectors), cut inside the second track.
        std::vector<ImageTrack> three;
        for (int i = 0; i < 3; ++i) three.push_back({true, sectorTone(kTones[i], 75), 0});
        writeCueImage(folder, "c-short", three, 112 * 2352);
        writeCueImage(folder, "d-vanish", {{true, sectorTone(1000.0, 300), 0}});
    }
};

class Cd : public Offline {
protected:
    void SetUp() override {
        Discs::get();
        Offline::SetUp();
    }
    // The drive whose image has this file name.
    static DWORD drive(const std::string& image) {
        for (DWORD d = 0; const char* text = BASS_CD_GetDriveDescription(d); ++d)
            if (image == text) return d;
        ADD_FAILURE() << "no drive for " << image;
        return 99;
    }
    static std::string trackFile(DWORD drive, int number, char separator = '\\') {
        char name[32];
        std::snprintf(name, sizeof name, "%c:%cTrack%02d.cda", 'A' + BASS_CD_GetDriveLetter(drive), separator, number);
        return name;
    }
    static DWORD error() { return static_cast<DWORD>(BASS_ErrorGetCode()); }
};

TEST_F(Cd, ImagesAreDrivesAfterTheMachinesOwn) {
    const DWORD tones = drive("a-tones.cue");
    EXPECT_EQ(drive("b-mixed.cue"), tones + 1);
    EXPECT_EQ(BASS_CD_GetDriveLetter(tones + 1), BASS_CD_GetDriveLetter(tones) + 1);
    EXPECT_GE(BASS_CD_GetDriveLetter(tones), 3u);  // D: or later
    EXPECT_TRUE(BASS_CD_IsReady(tones));
    EXPECT_EQ(BASS_CD_GetTracks(tones), 3u);
    for (DWORD t = 0; t < 3; ++t) EXPECT_EQ(BASS_CD_GetTrackLength(tones, t), kSectors[t] * 2352);
    // An image's door is closed and unlocked and cannot be opened.
    EXPECT_FALSE(BASS_CD_DoorIsOpen(tones));
    EXPECT_FALSE(BASS_CD_DoorIsLocked(tones));
    EXPECT_TRUE(BASS_CD_Door(tones, BASS_CD_DOOR_CLOSE));
    EXPECT_FALSE(BASS_CD_Door(tones, BASS_CD_DOOR_OPEN));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOTAVAIL});
    BASS_CD_INFO info{};
    EXPECT_TRUE(BASS_CD_GetInfo(tones, &info));
    EXPECT_TRUE(BASS_CD_Release(tones));

    // Offsets 150, 225, 345 and lead-out 495 sectors: digit sums 2+3+4, 4 seconds, 3 tracks.
    EXPECT_STREQ(BASS_CD_GetID(tones, BASS_CDID_CDDB), "09000403");
    EXPECT_STREQ(BASS_CD_GetID(tones, BASS_CDID_CDDB2), "09000403 3 150 225 345 6");
    EXPECT_STREQ(BASS_CD_GetID(tones, BASS_CDID_UPC), "0123456789012");
    const std::string mb = BASS_CD_GetID(tones, BASS_CDID_MUSICBRAINZ);
    EXPECT_EQ(mb.size(), 28u);
    EXPECT_EQ(mb.back(), '-');
    EXPECT_EQ(BASS_CD_GetID(drive("b-mixed.cue"), BASS_CDID_UPC), nullptr);
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOTAVAIL});
}

TEST_F(Cd, EachTrackPlaysItsOwnToneExactly) {
    const DWORD d = drive("a-tones.cue");
    for (int t = 0; t < 3; ++t) {
        const DWORD ch = BASS_CD_StreamCreateFile(trackFile(d, t + 1, t == 1 ? '/' : '\\').c_str(), BASS_CD_SUBCHANNEL);
        ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
        EXPECT_EQ(BASS_CD_StreamGetTrack(ch), (d << 16) | DWORD(t));
        BASS_CHANNELINFO info{};
        ASSERT_TRUE(BASS_ChannelGetInfo(ch, &info));
        EXPECT_EQ(info.ctype, DWORD{BASS_CTYPE_STREAM_CD});
        EXPECT_EQ(BASS_StreamGetLength(ch), kSectors[t] * 2352);
        SyncCounter ends;
        BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
        ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
        const auto heard = renderUntilStopped(ch, 5);
        EXPECT_TRUE(ends.waitFor(1));
        const auto& pcm = Discs::get().tones[static_cast<size_t>(t)].pcm.samples;
        ASSERT_GE(heard.size(), pcm.size());
        EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), heard.begin())) << "track " << t + 1;
        EXPECT_GT(toneAmplitude(heard.data(), 44100 / 2, 2, 0, kTones[t], 44100), 0.4);
        EXPECT_TRUE(BASS_StreamFree(ch));
    }
    // Lower-case names reach the same drive; the track of BASS_CD_StreamCreate as well.
    std::string lower = trackFile(d, 3, '/');
    for (auto& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const DWORD ch = BASS_CD_StreamCreateFile(lower.c_str(), 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_CD_StreamGetTrack(ch), (d << 16) | 2u);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

// A decoding channel of a track gives its sound through BASS_ChannelGetData, exactly.
TEST_F(Cd, ADecodingChannelGivesTheTracksSound) {
    const DWORD d = drive("a-tones.cue");
    const DWORD ch = BASS_CD_StreamCreate(d, 1, BASS_STREAM_DECODE);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    const auto& pcm = Discs::get().tones[1].pcm.samples;
    std::vector<int16_t> decoded(pcm.size() + 1000);
    const DWORD bytes = static_cast<DWORD>(decoded.size() * 2);
    EXPECT_EQ(BASS_ChannelGetData(ch, decoded.data(), bytes), pcm.size() * 2);
    EXPECT_TRUE(std::equal(pcm.begin(), pcm.end(), decoded.begin()));
    EXPECT_EQ(BASS_ChannelGetData(ch, decoded.data(), 4), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_ENDED});
    EXPECT_EQ(BASS_ChannelIsActive(ch), DWORD{BASS_ACTIVE_STOPPED});
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_F(Cd, SeeksInsideATrack) {
    const DWORD d = drive("a-tones.cue");
    const DWORD ch = BASS_CD_StreamCreate(d, 2, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(1000);
    const QWORD at = 44100 + 123;  // not on a sector boundary
    ASSERT_TRUE(BASS_ChannelSetPosition(ch, at * 4));
    EXPECT_EQ(BASS_ChannelGetPosition(ch), at * 4);
    const auto heard = render(4000);
    const auto& pcm = Discs::get().tones[2].pcm.samples;
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), pcm.begin() + static_cast<ptrdiff_t>(at * 2)));
    EXPECT_FALSE(BASS_ChannelSetPosition(ch, (kSectors[2] * 588 + 1) * 4));
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_F(Cd, RefusalsCarryClearCodes) {
    const DWORD tones = drive("a-tones.cue");
    const DWORD mixed = drive("b-mixed.cue");
    // A track number past the last.
    EXPECT_EQ(BASS_CD_GetTrackLength(tones, 3), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_CDTRACK});
    EXPECT_EQ(BASS_CD_StreamCreateFile(trackFile(tones, 4).c_str(), 0), 0u);
    EXPECT_EQ(error(), DWORD{BASS_ERROR_CDTRACK});
    EXPECT_EQ(BASS_CD_StreamCreateFile(trackFile(tones, 0).c_str(), 0), 0u);
    EXPECT_EQ(error(), DWORD{BASS_ERROR_CDTRACK});
    // A data track.
    EXPECT_EQ(BASS_CD_GetTracks(mixed), 2u);
    EXPECT_EQ(BASS_CD_GetTrackLength(mixed, 0), 75u * 2352);
    EXPECT_EQ(BASS_CD_GetTrackLength(mixed, 1), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOTAUDIO});
    EXPECT_EQ(BASS_CD_StreamCreate(mixed, 1, 0), 0u);
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOTAUDIO});
    // A letter without a drive, a drive number past the last, names of another shape.
    EXPECT_EQ(BASS_CD_StreamCreateFile("Z:\\Track01.cda", 0), 0u);
    EXPECT_EQ(error(), DWORD{BASS_ERROR_DEVICE});
    EXPECT_EQ(BASS_CD_GetTracks(40), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_DEVICE});
    EXPECT_EQ(BASS_CD_GetDriveDescription(40), nullptr);
    for (const char* name : {"", "D:", "D:\\Track.cda", "D:\\Track01.wav", "DD:\\Track01.cda", "D:Track01.cda"}) {
        EXPECT_EQ(BASS_CD_StreamCreateFile(name, 0), 0u) << name;
        EXPECT_EQ(error(), DWORD{BASS_ERROR_FILEOPEN}) << name;
    }
    EXPECT_EQ(BASS_CD_StreamCreateFile(nullptr, 0), 0u);
    EXPECT_EQ(BASS_CD_StreamGetTrack(12345), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_HANDLE});
    // Analog playback is not offered.
    EXPECT_FALSE(BASS_CD_Analog_Play(tones, 0, 0));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOTAVAIL});
    EXPECT_EQ(BASS_CD_Analog_PlayFile(trackFile(tones, 1).c_str(), 0), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOTAVAIL});
}

TEST_F(Cd, ABinShorterThanItsSheetEndsWhereTheFileEnds) {
    const DWORD d = drive("c-short.cue");
    EXPECT_EQ(BASS_CD_GetTracks(d), 3u);
    EXPECT_EQ(BASS_CD_GetTrackLength(d, 0), 75u * 2352);
    EXPECT_EQ(BASS_CD_GetTrackLength(d, 1), 37u * 2352);
    EXPECT_EQ(BASS_CD_GetTrackLength(d, 2), DWORD(-1));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_CDTRACK});
    EXPECT_EQ(BASS_CD_StreamCreate(d, 2, 0), 0u);
    const DWORD ch = BASS_CD_StreamCreate(d, 1, 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    const auto heard = renderUntilStopped(ch, 5);
    EXPECT_GE(heard.size() / 2, 37u * 588);
    EXPECT_GT(toneAmplitude(heard.data(), 37 * 588, 2, 0, kTones[1], 44100), 0.4);
    EXPECT_TRUE(BASS_StreamFree(ch));
}

TEST_F(Cd, AnImageFolderThatVanishesWhilePlaying) {
    const DWORD d = drive("d-vanish.cue");
    const DWORD ch = BASS_CD_StreamCreateFile(trackFile(d, 1).c_str(), 0);
    ASSERT_NE(ch, 0u) << BASS_ErrorGetCode();
    SyncCounter ends;
    BASS_ChannelSetSync(ch, BASS_SYNC_END, 0, &SyncCounter::callback, &ends);
    ASSERT_TRUE(BASS_ChannelPlay(ch, FALSE));
    render(8000);
    std::filesystem::remove_all(Discs::get().folder);
    // The stream plays what it can still read and ends; nothing crashes.
    renderUntilStopped(ch, 10);
    EXPECT_TRUE(ends.waitFor(1));
    EXPECT_TRUE(BASS_StreamFree(ch));
    // The drive is still listed, but holds no disc now.
    EXPECT_NE(BASS_CD_GetDriveDescription(d), nullptr);
    EXPECT_FALSE(BASS_CD_IsReady(d));
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOCD});
    EXPECT_EQ(BASS_CD_GetTracks(d), DWORD(-1));
    EXPECT_EQ(BASS_CD_GetTrackLength(d, 0), DWORD(-1));
    EXPECT_EQ(BASS_CD_StreamCreateFile(trackFile(d, 1).c_str(), 0), 0u);
    EXPECT_EQ(error(), DWORD{BASS_ERROR_NOCD});
    Discs::get().write();  // for the tests that follow in this process
}

}  // namespace
}  // namespace aubadine::bass::test

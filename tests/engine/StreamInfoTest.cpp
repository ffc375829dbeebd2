// GetStreamInfo: which files are recognised, what each reader contributes, tracker
// module titles and CD tracks.
#include "EngineTestSupport.h"

namespace {

struct Described {
    bool recognised;
    TStreamInfo info;
    int plugin;
    TDecoderChoice decoder;
};

Described Describe(TBASSPlayer& p, const std::string& name)
{
    Described d{};
    d.recognised = p.GetStreamInfo(name, d.info, d.plugin, d.decoder);
    return d;
}

}  // namespace

TEST_F(EngineTest, ExtensionsOutsideThreeOrFourCharactersAreNeverRecognised)
{
    Make();
    for (const char* name : {"song.flac", "song", "song.x", "song.mp3x"}) {
        std::string path = WriteFile(name, MakeMp3(20));
        Described d = Describe(*player, path);
        EXPECT_FALSE(d.recognised) << name;
        EXPECT_EQ(d.decoder, dcNone);
        EXPECT_EQ(d.plugin, -1);
        EXPECT_EQ(d.info.BitsPerSample, 16);
        EXPECT_EQ(d.info.FileName, path);
    }
}

TEST_F(EngineTest, Mp3TagsPreferId3v1)
{
    Make();
    auto audio = MakeMp3(40);
    std::string both = WriteFile("both.mp3", Concat(Concat(MakeId3v2("V2 title", "7"), audio), MakeId3v1("V1 title", "V1 artist", 3, 17)));
    std::string v2 = WriteFile("v2.mp3", Concat(MakeId3v2("V2 title", "7"), audio));
    std::string none = WriteFile("plain.MP3", audio);
    std::string mono = WriteFile("mono.mp2", MakeMp3(40, 3));

    Described d = Describe(*player, both);
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.decoder, dcBASS);
    EXPECT_EQ(d.info.Title, "V1 title");
    EXPECT_EQ(d.info.Artist, "V1 artist");
    EXPECT_EQ(d.info.Year, "1999");
    EXPECT_EQ(d.info.Track, 3);
    EXPECT_EQ(d.info.GenreID, 17);
    EXPECT_EQ(d.info.Genre, "Rock");
    EXPECT_EQ(d.info.SampleRate, 44100u);
    EXPECT_EQ(d.info.BitRate, 128);
    EXPECT_EQ(d.info.Channels, 2);

    d = Describe(*player, v2);
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Title, "V2 title");
    EXPECT_EQ(d.info.Track, 7);
    EXPECT_EQ(d.info.GenreID, 0);

    d = Describe(*player, none);
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Title, "plain.MP3");  // the file name when there is no tag

    d = Describe(*player, mono);
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Channels, 1);

    // Not MPEG audio at all.
    d = Describe(*player, WriteFile("noise.mp3", std::vector<uint8_t>(5000, 0x55)));
    EXPECT_FALSE(d.recognised);
    EXPECT_EQ(d.info.Title, "");
}

TEST_F(EngineTest, TrackerModuleTitlesComeFromTheirHeaders)
{
    struct Case {
        const char* name;
        size_t offset;
        std::string stored;
        std::string title;
    } cases[] = {
        {"a.mod", 0, "Mod Title\x01\x02   ", "Mod Title"},
        {"b.mtm", 4, "MTM title", "MTM title"},
        {"c.it", 4, "IT title", "IT title"},
        {"d.xm", 17, "XM title", "XM title"},
        {"e.s3m", 0, "An S3M title of 28 bytes!!!!", "An S3M title of 28 bytes!!!!"},
        {"f.mo3", 0, "ignored", "f.mo3"},
        {"g.umx", 0, "ignored", "g.umx"},
    };
    Make();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::string path = WriteFile(c.name, BytesWithText(600, c.offset, c.stored));
        Described d = Describe(*player, path);
        ASSERT_TRUE(d.recognised);
        EXPECT_EQ(d.info.Title, c.title);
        EXPECT_EQ(d.info.FileSize, 600u);
        EXPECT_EQ(d.info.SampleRate, 44100u);
        EXPECT_EQ(d.info.BitRate, 1408);
        EXPECT_EQ(d.info.Channels, 2);
        EXPECT_EQ(d.info.Duration, 0u);
        EXPECT_EQ(d.decoder, dcBASS);
    }
    // A module file that does not exist is not recognised.
    EXPECT_FALSE(Describe(*player, (dir / "missing.xm").string()).recognised);
    // A title shorter than its field in a file shorter than the field.
    EXPECT_EQ(Describe(*player, WriteFile("short.mod", BytesWithText(5, 0, "abc"))).info.Title, "abc");
}

TEST_F(EngineTest, CdTracksAreMeasuredOnTheirDrive)
{
    fake->cdDrives = {"Drive One", "Drive Two"};
    fake->cdLetters = {3, 4};                 // D: and E:
    fake->cdTrackLengths[0 * 100 + 0] = 1764000;
    fake->cdTrackLengths[1 * 100 + 1] = 1764000;
    fake->cdTrackLengths[1 * 100 + 11] = 800000000;  // a long track: 75 min 35 s
    Make();
    ASSERT_EQ(player->CDDriveCount(), 2);

    Described d = Describe(*player, "d:\\Track01.cda");
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Duration, 10000u);
    EXPECT_EQ(d.info.FileSize, 1764000u);
    EXPECT_EQ(d.info.Track, 0);
    EXPECT_EQ(d.info.BitRate, 1408);
    EXPECT_EQ(d.info.Title, "Track01.cda");
    EXPECT_EQ(d.decoder, dcBASS);

    d = Describe(*player, "E:/Track02.cda");
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Track, 1);
    EXPECT_EQ(fake->Count("BASS_CD_GetTrackLength(1,1)"), 1);

    d = Describe(*player, "E:/Track12.cda");
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Duration, 4535147u);  // no wrap in 32 bits

    EXPECT_FALSE(Describe(*player, "F:/Track01.cda").recognised);  // no such drive
    EXPECT_FALSE(Describe(*player, "D:/Track05.cda").recognised);  // no such track
    EXPECT_FALSE(Describe(*player, "D:/TrackAB.cda").recognised);  // not a track number

    // The track is opened through the CD add-on.
    ASSERT_TRUE(player->Open("d:\\Track01.cda"));
    EXPECT_EQ(fake->Count("BASS_CD_StreamCreateFile(d:\\Track01.cda,65536)"), 1);
    EXPECT_EQ(player->ChannelKind(), ckCD);
}

TEST_F(EngineTest, WavBitRateLeavesTheChannelsOut)
{
    Make();
    Described d = Describe(*player, WriteFile("a.wav", MakeWav(2, 44100, 16, 176400)));
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.BitRate, 705);
    EXPECT_EQ(d.info.BitsPerSample, 16);
    EXPECT_EQ(d.info.Channels, 2);
    EXPECT_EQ(d.info.Duration, 1000u);
    EXPECT_EQ(d.info.FileSize, 176444u);
    EXPECT_EQ(d.decoder, dcBASS);

    d = Describe(*player, WriteFile("b.WAV", MakeWav(1, 22050, 8, 22050)));
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.BitRate, 176);
    EXPECT_EQ(d.info.BitsPerSample, 8);
    EXPECT_EQ(d.info.Title, "b.WAV");

    EXPECT_FALSE(Describe(*player, WriteFile("six.wav", MakeWav(6, 44100, 16, 1000))).recognised);
}

TEST_F(EngineTest, OggCommentsFillTheDescription)
{
    Make();
    Described d = Describe(*player, WriteFile("a.ogg", MakeOgg(2, {"TITLE=Song", "ARTIST=Band", "DATE=2001",
                                                                     "TRACKNUMBER=260", "GENRE=Pop", "COMMENT=Nice"})));
    ASSERT_TRUE(d.recognised);
    EXPECT_EQ(d.info.Title, "Song");
    EXPECT_EQ(d.info.Artist, "Band");
    EXPECT_EQ(d.info.Year, "2001");
    EXPECT_EQ(d.info.Track, 4);  // 260 kept modulo 256
    EXPECT_EQ(d.info.Genre, "Pop");
    EXPECT_EQ(d.info.Comment, "Nice");
    EXPECT_EQ(d.info.Duration, 10000u);
    EXPECT_EQ(d.info.SampleRate, 44100u);
    EXPECT_EQ(d.decoder, dcBASS);
}

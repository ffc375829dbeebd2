// Stream metadata: the StreamTitle rule, file titles of addresses, the metadata and
// download notices and what the engine makes of them.
#include "EngineTestSupport.h"

TEST(StreamTitle, Rule)
{
    struct Case {
        std::string meta;
        bool found;
        std::string title;
    } cases[] = {
        {"StreamTitle='Band - Song';StreamUrl='http://x';", true, "Band - Song"},
        {"StreamTitle='Band - Song'", true, "Band - Song"},
        {"StreamTitle='';", true, ""},
        {"StreamUrl='x';StreamTitle='Late';", true, ""},  // the first ';' lies before the title
        {"streamtitle='lower';", false, ""},
        {"", false, ""},
        {"StreamTitle=", true, ""},
    };
    for (const Case& c : cases) {
        std::string title = "unchanged";
        EXPECT_EQ(FindStreamTitle(c.meta, title), c.found) << c.meta;
        EXPECT_EQ(title, c.found ? c.title : "unchanged") << c.meta;
    }
}

TEST(URLFileTitle, NameBetweenLastSlashAndExtension)
{
    struct Case {
        const char* address;
        const char* title;
    } cases[] = {
        {"http://host.org/music/song.mp3", "song"},
        {"ftp://h/a/longer name.ogg", "longer name"},
        {"http://h.org/dir/a.mp3", "dir/a"},  // a one-letter name is not found after its own slash
        {"http://a.b", ""},                   // shorter than 12 characters
        {"http://ab.c", ""},
        {"no slashes at all.mp3", ""},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(URLFileTitle(c.address), c.title) << c.address;
}

TEST_F(EngineTest, MetadataTitleReachesTheEngineAndItsListener)
{
    fake->sources["http://radio/live"] = FakeSource{};
    Make();
    std::vector<std::string> heard;
    player->OnGetMeta = [&](TBASSPlayer*, const std::string& t) { heard.push_back(t); };
    ASSERT_TRUE(player->Open("http://radio/live"));
    const FakeSync meta = OnlyChannel().syncs.at(0);
    ASSERT_EQ(meta.type, uint32_t{BASS_SYNC_META});

    auto fire = [&](const std::string& data) {
        std::thread([&] { meta.proc(meta.handle, player->Channel(), reinterpret_cast<uintptr_t>(data.c_str()), meta.user); })
            .join();
        Pump();
    };
    fire("StreamTitle='Band - Song';StreamUrl='';");
    fire(std::string("ARTIST=A\0title=B\0\0", 19));  // an Ogg list, matched without regard to case
    fire(std::string("ARTIST=A\0\0", 10));
    fire("StreamTitle='" + std::string(300, 'x') + "';");
    // A cut never splits a UTF-8 sequence: 254 ASCII bytes, then a two-byte letter.
    fire("StreamTitle='" + std::string(254, 'y') + "\xD0\x96';");

    ASSERT_EQ(heard.size(), 5u);
    EXPECT_EQ(heard[0], "Band - Song");
    EXPECT_EQ(heard[1], "B");
    EXPECT_EQ(heard[2], "");
    EXPECT_EQ(heard[3], std::string(255, 'x'));
    EXPECT_EQ(heard[4], std::string(254, 'y'));
    EXPECT_EQ(player->StreamInfo().Title, heard[4]);
}

TEST_F(EngineTest, DownloadedMp3TakesItsTagAndReportsTheDuration)
{
    std::vector<uint8_t> v1 = MakeId3v1("Tag title", "Tag artist", 9, 17);
    FakeSource s;
    s.fileSize = 0xFFFFFFFFu;  // unknown until downloaded
    s.tags[BASS_TAG_ID3] = std::string(v1.begin(), v1.end());
    fake->sources["http://host/music/song.mp3"] = s;
    Make();
    std::vector<std::string> durations;
    player->OnDownloaded = [&](TBASSPlayer*, const std::string& d) { durations.push_back(d); };
    ASSERT_TRUE(player->Open("http://host/music/song.mp3"));
    EXPECT_EQ(player->StreamInfo().Title, "song");
    FakeChannel& ch = OnlyChannel();
    ch.source.fileSize = 200000;
    ch.source.length = 441000 * 4 * 2;  // 20 s, now known

    const FakeSync done = ch.syncs.at(0);
    ASSERT_EQ(done.type, uint32_t{BASS_SYNC_DOWNLOAD});
    done.proc(done.handle, player->Channel(), 0, done.user);
    Pump();

    const TStreamInfo& i = player->StreamInfo();
    EXPECT_EQ(i.Title, "Tag title");
    EXPECT_EQ(i.Artist, "Tag artist");
    EXPECT_EQ(i.Track, 9);
    EXPECT_EQ(i.Genre, "Rock");
    EXPECT_EQ(i.FileSize, 200000u);
    EXPECT_EQ(i.Duration, 20000u);
    EXPECT_EQ(durations, std::vector<std::string>{"20000"});
    EXPECT_TRUE(player->Seekable());
}

TEST_F(EngineTest, DownloadedFileWithoutTagKeepsItsTitle)
{
    Make();
    ASSERT_TRUE(player->Open("http://host/music/track.ogg"));
    FakeChannel& ch = OnlyChannel();
    ch.syncs.at(0).proc(0, player->Channel(), 0, ch.syncs.at(0).user);
    Pump();
    EXPECT_EQ(player->StreamInfo().Title, "");  // an Ogg file without comments has no title
    EXPECT_EQ(fake->Count("BASS_StreamGetTags(" + std::to_string(player->Channel()) + ",0)"), 0);
    EXPECT_EQ(player->StreamInfo().Duration, 10000u);
}

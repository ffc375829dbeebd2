// The network tag readers on the texts servers send, and the fuzz target's replay over a
// corpus of damaged ones.
#include "NetTags.h"
#include "NetTagsInput.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace aubadine::bass::net {
namespace {

using namespace std::string_literals;

TEST(NetTags, IcyHeadersBecomeAList) {
    EXPECT_EQ(icyHeaderList("icy-name: Test Radio\nicy-br:128\n\nnonsense\n: empty\nicy-genre:  Tones \r\n"),
              "icy-name:Test Radio\0icy-br:128\0icy-genre:Tones\0\0"s);
    EXPECT_EQ(icyHeaderList(""), "");
    EXPECT_EQ(icyHeaderList("no colon here"), "");
}

TEST(NetTags, HttpHeadersSayWhatIsKnown) {
    EXPECT_EQ(httpHeaderList("audio/mpeg", 1234, "", "icy-br: 64\n"),
              "Content-Type: audio/mpeg\0Content-Length: 1234\0icy-br:64\0\0"s);
    EXPECT_EQ(httpHeaderList("", std::nullopt, "http://a/b.mp3", ""), "Location: http://a/b.mp3\0\0"s);
    EXPECT_EQ(httpHeaderList("", std::nullopt, "", ""), "");
}

TEST(NetTags, MetadataTextIsCutAtItsEnd) {
    EXPECT_EQ(metaText("StreamTitle='A - B';StreamUrl='';\0\0\0\0"s), "StreamTitle='A - B';StreamUrl='';");
    // A text that fills its 16-byte block exactly comes with one stray byte after it.
    EXPECT_EQ(metaText("StreamTitle='x';Z"), "StreamTitle='x';");
    EXPECT_EQ(metaText("StreamTitle='Caf\xE9';"), "StreamTitle='Caf\xE9';");  // bytes as they stand
    EXPECT_EQ(metaText(""), "");
}

TEST(NetTags, ContentTypesNameTheirContainer) {
    EXPECT_STREQ(formatForContentType("audio/mpeg"), "mp3");
    EXPECT_STREQ(formatForContentType("Audio/MPEG; charset=x"), "mp3");
    EXPECT_STREQ(formatForContentType("application/ogg"), "ogg");
    EXPECT_STREQ(formatForContentType("audio/aacp"), "aac");
    EXPECT_EQ(formatForContentType("text/html"), nullptr);
    EXPECT_EQ(formatForContentType(""), nullptr);
}

TEST(NetTags, AddressesOfAudioFiles) {
    EXPECT_TRUE(namesAudioFile("http://host/music/song.MP3"));
    EXPECT_TRUE(namesAudioFile("ftp://host/a.ogg?x=1"));
    EXPECT_FALSE(namesAudioFile("http://host/stream"));
    EXPECT_FALSE(namesAudioFile("http://host.mp3"));
    EXPECT_FALSE(namesAudioFile("http://host/a.mp3/live"));
}

TEST(NetTags, FuzzCorpusReplays) {
    std::vector<std::string> corpus = {
        "\0icy-name:x\nicy-br:128\n"s, "\0:\n:\n\n\n"s, "\0icy-\0name: a\0b\n"s,
        "\1StreamTitle='a';"s, "\1\0\0\0"s, "\1';'"s, "\1StreamTitle='0123456789';Q"s,
        "\2audio/mpeg;;;"s, "\2\xff\xfe\xfd"s, "\3http://"s, "\3://a/.mp3#x"s, "\3/"s,
        std::string(1, '\0') + std::string(5000, '\n'), "\1"s + std::string(4096, '\xE9'),
    };
    for (const std::string& input : corpus)
        fuzz::netTags(reinterpret_cast<const uint8_t*>(input.data()), input.size());
    SUCCEED();
}

}  // namespace
}  // namespace aubadine::bass::net

// The library and the player's MPEG reader agree on where the audio of a file starts behind
// an ID3v2 tag, whatever the tag's header says.
#include "Offline.h"
#include "fileinfo/ID3v2TagSize.h"
#include "fileinfo/MPEGaudio.h"

#include <cstring>

namespace aubadine::bass::test {
namespace {

TEST_F(Offline, AudioStartsWhereTheReaderSaysBehindAnyID3v2Header) {
    // The MPEG frames of the test file without its own tag.
    const auto original = readFile(Files::get().mp3);
    const auto own = static_cast<size_t>(
        fileinfo_id3v2::TagSize(original.data(), static_cast<int64_t>(original.size())));
    const std::vector<uint8_t> frames(original.begin() + static_cast<ptrdiff_t>(own), original.end());

    struct Case {
        const char* what;
        uint8_t version, flags, size[4];
        size_t body;  // bytes written after the header
    };
    const Case cases[] = {
        {"plain", 3, 0, {0, 0, 1, 0}, 128},
        {"size bytes with their top bit set", 4, 0, {0, 0, 0x01, 0x80}, 256},
        {"footer", 4, 0x10, {0, 0, 0, 100}, 110},
        {"unknown version", 0xFF, 0, {0, 0, 0, 50}, 50},
        {"larger than the file", 3, 0, {0x80, 0, 0, 0}, 64},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<uint8_t> file = {'I', 'D', '3', c.version, 0, c.flags, c.size[0], c.size[1], c.size[2], c.size[3]};
        file.resize(file.size() + c.body, 0);
        file.insert(file.end(), frames.begin(), frames.end());
        const std::string path = fixtureDir() + "/tagsize.mp3";
        writeFile(path, file);

        TMPEGaudio reader;
        ASSERT_TRUE(reader.ReadFromFile(path));
        ASSERT_TRUE(reader.Valid());
        const DWORD stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
        ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
        const auto start = BASS_StreamGetFilePosition(stream, BASS_FILEPOS_START);
        EXPECT_EQ(start, static_cast<DWORD>(reader.ID3v2().Size()));
        const char* tag = BASS_StreamGetTags(stream, BASS_TAG_ID3V2);
        EXPECT_EQ(tag != nullptr, reader.ID3v2().Size() > 0);
        BASS_StreamFree(stream);
    }
}

}  // namespace
}  // namespace aubadine::bass::test

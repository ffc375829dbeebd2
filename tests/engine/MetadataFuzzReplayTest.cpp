// Replays generated inputs through the stream metadata fuzz entry (run under ASan/UBSan
// in CI): texts built around the markers the parsers look for, and random bytes.
#include "MetadataFuzzEntry.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

TEST(MetadataFuzzReplay, GeneratedInputs)
{
    std::vector<std::string> inputs = {
        "", ";", "StreamTitle=", "StreamTitle='", ";StreamTitle='x'", "StreamTitle='x';;", std::string(1, '\0'),
        "TITLE=", "title=\0TITLE=a", "http://a/b.mp3", "/////", "http://", std::string(300, '/'),
        "StreamTitle='" + std::string(1000, '\xD0') + "';",
    };
    std::mt19937 rng(1234);
    const std::string pieces[] = {"StreamTitle=", "'", ";", "TITLE=", std::string(1, '\0'), "/", ".mp3", "\xC3\xA9", "x"};
    for (int i = 0; i < 2000; ++i) {
        std::string s;
        const int n = static_cast<int>(rng() % 12);
        for (int k = 0; k < n; ++k)
            s += rng() % 3 ? pieces[rng() % std::size(pieces)] : std::string(1, static_cast<char>(rng()));
        inputs.push_back(s);
    }
    for (const std::string& s : inputs)
        FuzzStreamMetadata(reinterpret_cast<const uint8_t*>(s.data()), s.size());
    SUCCEED();
}

// The playlist's INI reading: what the private-profile services would have returned.
#include "IniFile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

TEST(IniFile, KeysInFileOrderWithNamesComparedWithoutCase)
{
    auto ini = TIniFile::FromText("[main]\nMAINPATH=/music/\n[DEFAULT]\nzeta=z.mp3\nAlpha=a.mp3\n9=n.ogg\n");
    EXPECT_EQ(ini.ReadSection("Default"), (std::vector<std::string>{"zeta", "Alpha", "9"}));
    EXPECT_EQ(ini.ReadString("Main", "MainPath", "?"), "/music/");
    EXPECT_EQ(ini.ReadString("Default", "ALPHA", "?"), "a.mp3");
    EXPECT_EQ(ini.ReadString("Default", "missing", "def"), "def");
    EXPECT_EQ(ini.ReadString("Nowhere", "zeta", "def"), "def");
    EXPECT_TRUE(ini.ReadSection("Nowhere").empty());
}

TEST(IniFile, DuplicatesKeepEveryKeyButTheFirstValueAndTheFirstSection)
{
    auto ini = TIniFile::FromText("[Default]\n1=first.mp3\n1=second.mp3\n[default]\n2=hidden.mp3\n");
    EXPECT_EQ(ini.ReadSection("Default"), (std::vector<std::string>{"1", "1"}));
    EXPECT_EQ(ini.ReadString("Default", "1", ""), "first.mp3");
    EXPECT_EQ(ini.ReadString("Default", "2", "none"), "none");
}

TEST(IniFile, LineEndingsBlanksQuotesCommentsAndForeignBytes)
{
    std::string text = "\xEF\xBB\xBF[Default]\r\n  a = spaced.mp3  \r"
                       "b=\"quoted name.mp3\"\n; c=comment.mp3\n\n"
                       "d=\xC0\xE1\xE2.mp3\r\ne=\r\nnoequals\n=novalue\n";
    auto ini = TIniFile::FromText(text);
    EXPECT_EQ(ini.ReadSection("Default"), (std::vector<std::string>{"a", "b", "d", "e", "noequals"}));
    EXPECT_EQ(ini.ReadString("Default", "a", ""), "spaced.mp3");
    EXPECT_EQ(ini.ReadString("Default", "b", ""), "quoted name.mp3");
    EXPECT_EQ(ini.ReadString("Default", "d", ""), "\xC0\xE1\xE2.mp3");  // bytes kept as stored
    EXPECT_EQ(ini.ReadString("Default", "e", "def"), "");
    EXPECT_EQ(ini.ReadString("Default", "noequals", "def"), "");
}

TEST(IniFile, MissingFileAndBrokenSectionHeadersReadAsEmpty)
{
    TIniFile missing("/nonexistent/folder/Playlist.ini");
    EXPECT_TRUE(missing.ReadSection("Default").empty());

    auto broken = TIniFile::FromText("[Default\nx=1\n[\n]\ny=2\nstray line before any section");
    EXPECT_EQ(broken.ReadSection("Default"), (std::vector<std::string>{"x"}));
}

TEST(IniFile, ThousandsOfEntriesAreAllRead)
{
    std::string text = "[Default]\n";
    for (int i = 0; i < 20000; ++i)
        text += std::to_string(i) + "=track" + std::to_string(i) + ".mp3\n";
    auto ini = TIniFile::FromText(text);
    auto keys = ini.ReadSection("Default");
    ASSERT_EQ(keys.size(), 20000u);
    EXPECT_EQ(ini.ReadString("Default", keys.back(), ""), "track19999.mp3");
}

}  // namespace

// Settings store, message window posting, file-name case matching and the program folder.
#include "IniFile.h"
#include "MessageWindow.h"
#include "Settings.h"
#include "System.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

TEST(SettingsStore, ValuesRoundTripAndMissingOrBrokenFilesGiveDefaults)
{
    QTemporaryDir dir;
    std::string ini = dir.path().toStdString() + "/Velkor/Aubadine/1.0.ini";
    TSettingsStore store(ini);
    EXPECT_FALSE(store.ReadString("Path").has_value());
    EXPECT_TRUE(ReadBoolSetting(store, "Shuffle", true));

    ASSERT_TRUE(store.WriteString("Shuffle", "1"));
    ASSERT_TRUE(store.WriteString("Panel", "0"));
    ASSERT_TRUE(store.WriteString("Path", "/opt/Aubadine"));
    TSettingsStore again(ini);
    EXPECT_TRUE(ReadBoolSetting(again, "Shuffle", false));
    EXPECT_FALSE(ReadBoolSetting(again, "Panel", true));
    EXPECT_EQ(again.ReadString("Path").value_or(""), "/opt/Aubadine");

    // Garbage, a non-number, an empty value and a large number.
    WriteFile(ini, "\x01\x02garbage[[[\n[General]\nShuffle=yes\nPanel=\nPath=/x\nOther=17\n");
    EXPECT_FALSE(ReadBoolSetting(again, "Shuffle", false));
    EXPECT_TRUE(ReadBoolSetting(again, "Panel", true));
    EXPECT_TRUE(ReadBoolSetting(again, "Other", false));
}

// Values are plain strings, as registry strings are: ';' and ',' in an unquoted value (a
// hand-edited "Path") are part of it, a quoted one (as QSettings writes it) loses its
// quotes, and writing one value leaves every other line as it was.
TEST(SettingsStore, AValueIsOnePlainStringAndWritesKeepTheOtherLines)
{
    QTemporaryDir dir;
    std::string ini = dir.path().toStdString() + "/1.0.ini";
    const std::string hand = "; kept\n[General]\nPath = /home/u/My Music; old, new\nShuffle=0\n\n[Other]\nShuffle=9\n";
    WriteFile(ini, hand);
    TSettingsStore store(ini);
    EXPECT_EQ(store.ReadString("Path").value_or("<missing>"), "/home/u/My Music; old, new");
    ASSERT_TRUE(store.WriteString("Shuffle", "1"));
    ASSERT_TRUE(store.WriteString("Panel", "0"));
    std::ifstream in(ini, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "; kept\n[General]\nPath = /home/u/My Music; old, new\nShuffle=1\nPanel=0\n\n[Other]\nShuffle=9\n");

    WriteFile(ini, "[General]\nPath=\"/x/a; b\"\nShuffle=/x/a,b\n");
    EXPECT_EQ(store.ReadString("Path").value_or(""), "/x/a; b");
    EXPECT_EQ(store.ReadString("Shuffle").value_or(""), "/x/a,b");

    // What is written reads back unchanged, whatever it holds; a line break cannot be held.
    for (const std::string value : {"a;b,c", " lead and trail ", "\"quoted\"", "'q'", "", "x=y", "\xd0\x9c\\z"}) {
        ASSERT_TRUE(store.WriteString("Path", value)) << value;
        EXPECT_EQ(TSettingsStore(ini).ReadString("Path").value_or("<missing>"), value);
    }
    EXPECT_FALSE(store.WriteString("Path", "two\nlines"));
    EXPECT_FALSE(store.ReadString("Missing").has_value());
}

TEST(SettingsStore, TheDefaultFileFollowsXdgConfigHome)
{
    QTemporaryDir dir;
    std::string old = getenv("XDG_CONFIG_HOME") ? getenv("XDG_CONFIG_HOME") : "";
    setenv("XDG_CONFIG_HOME", dir.path().toUtf8().constData(), 1);
    EXPECT_EQ(TSettingsStore::DefaultPath(), dir.path().toStdString() + "/Velkor/Aubadine/1.0.ini");
    if (old.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", old.c_str(), 1);
}

TEST(SettingsStore, AnUnwritableLocationIsReportedAsFailure)
{
    TSettingsStore store("/proc/aubadine-cannot-write/1.0.ini");
    EXPECT_FALSE(store.WriteString("Shuffle", "1"));
}

TEST(MessageWindow, PostsFromAnyThreadArriveInOrderOnTheUiThread)
{
    std::vector<std::pair<uint32_t, LPARAM>> received;
    std::thread::id handlerThread;
    TMessageWindow window([&](uint32_t msg, WPARAM, LPARAM l) {
        received.emplace_back(msg, l);
        handlerThread = std::this_thread::get_id();
    });
    std::thread worker([&] {
        for (int i = 0; i < 100; ++i)
            EXPECT_TRUE(PostMessage(window.Handle(), WM_USER + 1, 0, i));
    });
    worker.join();
    EXPECT_TRUE(received.empty());  // nothing runs until the loop handles the queue
    ProcessMessages();
    ASSERT_EQ(received.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(received[static_cast<size_t>(i)].second, i);
    EXPECT_EQ(handlerThread, std::this_thread::get_id());
}

TEST(MessageWindow, PostingToADestroyedWindowFailsAndPendingMessagesAreDropped)
{
    int handled = 0;
    HWND handle;
    {
        TMessageWindow window([&](uint32_t, WPARAM, LPARAM) { ++handled; });
        handle = window.Handle();
        EXPECT_TRUE(PostMessage(handle, WM_USER, 0, 0));
    }
    EXPECT_FALSE(PostMessage(handle, WM_USER, 0, 0));
    EXPECT_FALSE(PostMessage(0, WM_USER, 0, 0));
    ProcessMessages();
    EXPECT_EQ(handled, 0);
}

TEST(FileNames, ANameDifferingOnlyInCaseIsFoundWhenTheExactOneIsMissing)
{
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString();
    WriteFile(folder + "/PlayList.ini", "[Default]\n");
    EXPECT_EQ(ResolveFileNameCase(folder + "/Playlist.ini"), folder + "/PlayList.ini");
    EXPECT_EQ(ResolveFileNameCase(folder + "/PlayList.ini"), folder + "/PlayList.ini");
    EXPECT_EQ(ResolveFileNameCase(folder + "/Other.ini"), folder + "/Other.ini");
    EXPECT_EQ(ResolveFileNameCase("/nonexistent/x/Playlist.ini"), "/nonexistent/x/Playlist.ini");
}

TEST(ProgramFolder, IsTheFolderOfTheRunningProgramWithATrailingSlash)
{
    std::string folder = ProgramFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), '/');
    EXPECT_EQ(fs::canonical(folder), fs::canonical(AUBADINE_TEST_BIN_DIR));
}

}  // namespace

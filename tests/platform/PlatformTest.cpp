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

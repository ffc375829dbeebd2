// The player's start-up: settings, playlist, the first track and the end-of-track rule.
#include "FakeBass.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "Settings.h"
#include "System.h"

#include <QAction>
#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sys/stat.h>

namespace {

namespace fs = std::filesystem;

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// A stand-in playlist editor: records that it ran and in which folder.
void WriteEditor(const std::string& folder)
{
    std::string path = folder + "/Listora";
    WriteFile(path, "#!/bin/sh\npwd > \"$(dirname \"$0\")/editor-ran-in\"\n");
    chmod(path.c_str(), 0755);
}

bool WaitForFile(const std::string& path)
{
    for (int i = 0; i < 100 && !fs::exists(path); ++i)
        QThread::msleep(50);
    return fs::exists(path);
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeBass_Control()->Reset();
        config = root.path().toStdString() + "/config";
        data = root.path().toStdString() + "/data";
        fs::create_directories(data);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        SetMessageBoxHandler([this](const std::string& t, const std::string&, TMessageIcon) { messages.push_back(t); });
    }
    void TearDown() override
    {
        SetMessageBoxHandler({});
        unsetenv("XDG_CONFIG_HOME");
    }

    void WriteSettings(const std::string& path, const std::string& shuffle = "0", const std::string& panel = "0")
    {
        TSettingsStore store;
        store.WriteString("Path", path);
        store.WriteString("Shuffle", shuffle);
        store.WriteString("Panel", panel);
    }

    void WritePlaylist(const std::string& text) { WriteFile(data + "/Playlist.ini", text); }

    // The first track the formula gives for a seed: two draws, three and two times Count.
    static int FirstTrack(unsigned seed, int count)
    {
        std::mt19937 rng(seed);
        int a = std::uniform_int_distribution<int>(0, 3 * count - 1)(rng);
        int b = std::uniform_int_distribution<int>(0, 2 * count - 1)(rng);
        return (a + b) % count + 1;
    }

    QTemporaryDir root;
    std::string config, data;
    std::vector<std::string> messages;
};

TEST_F(Startup, AnEmptyOrMissingPlaylistStartsTheEditorInTheDataFolderAndEnds)
{
    WriteSettings(data);
    WriteEditor(data);
    for (const char* playlist : {"", "[Main]\nMainPath=/m/\n", "[Default]\n\n"}) {
        SCOPED_TRACE(playlist);
        fs::remove(data + "/editor-ran-in");
        if (*playlist)
            WritePlaylist(playlist);
        TForm1 form;
        EXPECT_FALSE(form.FormCreate());
        ASSERT_TRUE(WaitForFile(data + "/editor-ran-in"));
        EXPECT_EQ(fs::canonical(ReadFile(data + "/editor-ran-in").substr(0, ReadFile(data + "/editor-ran-in").size() - 1)),
                  fs::canonical(data));
        EXPECT_TRUE(messages.empty());
    }
    // Ending at once is not a close: nothing is written back.
    TSettingsStore store;
    EXPECT_EQ(store.ReadString("Shuffle").value_or(""), "0");
}

TEST_F(Startup, TrackPathsAreMainPathFollowedDirectlyByEachValue)
{
    struct Case {
        std::string mainPath, value, expected;
    } cases[] = {
        {"C:\\Music\\", "a.mp3", "C:\\Music\\a.mp3"},
        {"C:\\Music", "a.mp3", "C:\\Musica.mp3"},
        {"", "http://radio.example/stream", "http://radio.example/stream"},
        {"/music/", "", "/music/"},
    };
    WriteSettings(data);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.expected);
        WritePlaylist("[Main]\nMainPath=" + c.mainPath + "\n[Default]\n1=" + c.value + "\n");
        TForm1 form;
        ASSERT_TRUE(form.FormCreate());
        ASSERT_EQ(form.Tracks().size(), 1u);
        EXPECT_EQ(form.Tracks()[0], c.expected);
    }
}

TEST_F(Startup, AOneTrackPlaylistAlwaysStartsAtTrackOneWithBothStepsDisabled)
{
    WriteSettings(data);
    WritePlaylist("[Default]\nonly=/music/one.mp3\n");
    for (unsigned seed : {1u, 2u, 3u, 99u}) {
        TForm1 form;
        form.SeedSource = [seed] { return seed; };
        ASSERT_TRUE(form.FormCreate());
        EXPECT_EQ(form.TrackIndex(), 1);
        EXPECT_FALSE(form.MenuItem(8)->isEnabled());
        EXPECT_FALSE(form.MenuItem(9)->isEnabled());
        // Its end repeats it, in order and shuffled alike.
        form.ChangeMode(nullptr, plmPlaying, plmStopped);
        EXPECT_EQ(form.TrackIndex(), 1);
        form.MenuItem(10)->setChecked(true);
        form.ChangeMode(nullptr, plmPlaying, plmStopped);
        EXPECT_EQ(form.TrackIndex(), 1);
    }
}

TEST_F(Startup, TheFirstTrackFollowsTheTwoDrawFormula)
{
    WriteSettings(data);
    WritePlaylist("[Default]\n1=/a.mp3\n2=/b.mp3\n3=/c.mp3\n4=/d.mp3\n5=/e.mp3\n");
    for (unsigned seed = 0; seed < 20; ++seed) {
        TForm1 form;
        form.SeedSource = [seed] { return seed; };
        ASSERT_TRUE(form.FormCreate());
        EXPECT_EQ(form.TrackIndex(), FirstTrack(seed, 5)) << "seed " << seed;
        EXPECT_EQ(form.MenuItem(8)->isEnabled(), form.TrackIndex() > 1);
        EXPECT_EQ(form.MenuItem(9)->isEnabled(), form.TrackIndex() < 5);
    }
}

TEST_F(Startup, OnlyTheEndOfAPlayingTrackMovesOnAndTheLastWrapsToTheFirst)
{
    WriteSettings(data);
    WritePlaylist("[Default]\n1=/a.mp3\n2=/b.mp3\n3=/c.mp3\n");
    TForm1 form;
    ASSERT_TRUE(form.FormCreate());
    int start = form.TrackIndex();
    for (auto [from, to] : {std::pair{plmPlaying, plmReady}, {plmPlaying, plmPaused}, {plmReady, plmStopped},
                            {plmStopped, plmStopped}, {plmPaused, plmStopped}, {plmStandby, plmPlaying}}) {
        form.ChangeMode(nullptr, from, to);
        EXPECT_EQ(form.TrackIndex(), start);
    }
    std::vector<int> order;
    for (int i = 0; i < 4; ++i) {
        form.ChangeMode(nullptr, plmPlaying, plmStopped);
        order.push_back(form.TrackIndex());
    }
    std::vector<int> expected;
    for (int i = 1, t = start; i <= 4; ++i)
        expected.push_back(t = t % 3 + 1);
    EXPECT_EQ(order, expected);
}

TEST_F(Startup, ShuffleDrawsFromTheWholeListIncludingTheCurrentTrack)
{
    WriteSettings(data, "1");
    WritePlaylist("[Default]\n1=/a.mp3\n2=/b.mp3\n3=/c.mp3\n");
    TForm1 form;
    ASSERT_TRUE(form.FormCreate());
    EXPECT_TRUE(form.MenuItem(10)->isChecked());
    std::set<int> seen;
    for (int i = 0; i < 200; ++i) {
        form.ChangeMode(nullptr, plmPlaying, plmStopped);
        ASSERT_GE(form.TrackIndex(), 1);
        ASSERT_LE(form.TrackIndex(), 3);
        seen.insert(form.TrackIndex());
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(Startup, SettingsAreReadWithTheirDefaults)
{
    // "Path" naming a deleted folder: the playlist of the current directory is used.
    std::string gone = root.path().toStdString() + "/deleted";
    WriteSettings(gone, "1", "7");
    WritePlaylist("[Default]\n1=/from-current-dir.mp3\n");
    std::string cwd = CurrentDirectory();
    fs::current_path(data);
    {
        TForm1 form;
        ASSERT_TRUE(form.FormCreate());
        EXPECT_EQ(fs::canonical(form.Path()), fs::canonical(data));
        EXPECT_EQ(form.Tracks().at(0), "/from-current-dir.mp3");
        EXPECT_TRUE(form.MenuItem(10)->isChecked());
        EXPECT_TRUE(form.MenuItem(11)->isChecked());  // any non-zero number means set
    }
    // No settings file at all: current directory, both marks clear.
    fs::remove_all(config);
    {
        TForm1 form;
        ASSERT_TRUE(form.FormCreate());
        EXPECT_FALSE(form.MenuItem(10)->isChecked());
        EXPECT_FALSE(form.MenuItem(11)->isChecked());
    }
    fs::current_path(cwd);
}

TEST_F(Startup, ThePlaylistFileNameIsMatchedWithoutRegardToCase)
{
    WriteSettings(data);
    WriteFile(data + "/PlayList.ini", "[default]\n1=/x.mp3\n");
    TForm1 form;
    ASSERT_TRUE(form.FormCreate());
    EXPECT_EQ(form.Tracks(), std::vector<std::string>{"/x.mp3"});
}

TEST_F(Startup, TheBuiltPlayerEndsWithCodeZeroOnAnEmptyPlaylist)
{
    WriteSettings(data);
    WriteEditor(data);
    QProcess player;
    player.setWorkingDirectory(QString::fromStdString(root.path().toStdString()));
    player.start(QStringLiteral(AUBADINE_BIN_DIR "/Lirren"), {});
    ASSERT_TRUE(player.waitForFinished(20000));
    EXPECT_EQ(player.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(player.exitCode(), 0);
    EXPECT_TRUE(WaitForFile(data + "/editor-ran-in"));
}

}  // namespace

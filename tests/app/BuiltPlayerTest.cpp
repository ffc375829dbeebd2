// The built player as the desktop runs it: a child process on the real audio library (SDL's
// dummy driver), a settings file and a playlist of generated WAV tracks, ended by signals.
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void PutLE(std::ofstream& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>(v >> (8 * i)));
}

// A 16-bit mono WAV at 8000 Hz of the given length: a quiet square wave.
void WriteTrack(const std::string& path, double seconds)
{
    const uint32_t frames = static_cast<uint32_t>(seconds * 8000), bytes = frames * 2;
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    PutLE(out, 36 + bytes, 4);
    out << "WAVEfmt ";
    PutLE(out, 16, 4);
    PutLE(out, 1, 2);
    PutLE(out, 1, 2);
    PutLE(out, 8000, 4);
    PutLE(out, 16000, 4);
    PutLE(out, 2, 2);
    PutLE(out, 16, 2);
    out << "data";
    PutLE(out, bytes, 4);
    for (uint32_t i = 0; i < frames; ++i)
        PutLE(out, (i / 20) % 2 ? 2000u : static_cast<uint32_t>(-2000) & 0xFFFF, 2);
}

class BuiltPlayer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        settings = root.path().toStdString() + "/config/Velkor/Aubadine/1.0.ini";
        fs::create_directories(fs::path(settings).parent_path());
    }
    void TearDown() override
    {
        if (player.state() != QProcess::NotRunning) {
            player.kill();
            player.waitForFinished(10000);
        }
    }

    // A data folder with Playlist.ini listing one track of the given length.
    std::string MakeData(const std::string& name, double seconds)
    {
        std::string data = root.path().toStdString() + "/" + name;
        fs::create_directories(data);
        track = data + "/one.wav";
        WriteTrack(track, seconds);
        std::ofstream(data + "/Playlist.ini") << "[Main]\nMainPath=" << data << "/\n[Default]\n1=one.wav\n";
        return data;
    }

    void Start()
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("XDG_CONFIG_HOME", root.path() + "/config");
        player.setProcessEnvironment(env);
        player.setWorkingDirectory(root.path());
        player.setProcessChannelMode(QProcess::ForwardedChannels);
        player.start(QStringLiteral(AUBADINE_BIN_DIR "/Lirren"), {});
        ASSERT_TRUE(player.waitForStarted(30000));
    }

    // True once the player holds the track's file open (the library plays it).
    bool WaitUntilPlaying()
    {
        const fs::path fds = "/proc/" + std::to_string(player.processId()) + "/fd";
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            std::error_code ec;
            for (const auto& fd : fs::directory_iterator(fds, ec))
                if (fs::read_symlink(fd.path(), ec) == fs::path(track))
                    return true;
            if (player.waitForFinished(20))
                return false;  // ended without playing
        }
        return false;
    }

    // Sends the signal; true when the player then ended normally with code 0.
    ::testing::AssertionResult EndsCleanlyOn(int signal)
    {
        if (::kill(static_cast<pid_t>(player.processId()), signal) != 0)
            return ::testing::AssertionFailure() << "kill failed";
        if (!player.waitForFinished(30000))
            return ::testing::AssertionFailure() << "the player did not end";
        if (player.exitStatus() != QProcess::NormalExit)
            return ::testing::AssertionFailure() << "the player crashed";
        if (player.exitCode() != 0)
            return ::testing::AssertionFailure() << "exit code " << player.exitCode();
        return ::testing::AssertionSuccess();
    }

    QTemporaryDir root;
    std::string settings, track;
    QProcess player;
};

// The only track's file goes while it plays: at its end the shell opens it again, which
// fails with a message box shown from inside the engine. SIGTERM (log-out) while that box
// waits ends the player through the close sequence, with exit code 0.
TEST_F(BuiltPlayer, SigtermWhileAFailedTrackChangeShowsItsBoxEndsCleanly)
{
    std::string data = MakeData("music", 0.3);
    std::ofstream(settings) << "[General]\nPath=" << data << "\nShuffle=7\nPanel=\n";
    Start();
    ASSERT_TRUE(WaitUntilPlaying());
    fs::remove(track);
    QThread::msleep(2000);  // the track ends, the open fails, the box waits
    ASSERT_EQ(player.state(), QProcess::Running);
    EXPECT_TRUE(EndsCleanlyOn(SIGTERM));
    EXPECT_EQ(ReadFile(settings), "[General]\nPath=" + data + "\nShuffle=1\nPanel=0\n");
}

// Ctrl+C ends the player as SIGTERM does: the close sequence runs and the settings are saved.
TEST_F(BuiltPlayer, CtrlCRunsTheCloseSequence)
{
    std::string data = MakeData("music", 30);
    std::ofstream(settings) << "[General]\nPath=" << data << "\nShuffle=1\nPanel=1\n";
    Start();
    ASSERT_TRUE(WaitUntilPlaying());
    // Set the marks apart from what the player read, to see that it writes them.
    std::ofstream(settings) << "[General]\nPath=" << data << "\nShuffle=0\nPanel=0\n";
    EXPECT_TRUE(EndsCleanlyOn(SIGINT));
    EXPECT_EQ(ReadFile(settings), "[General]\nPath=" + data + "\nShuffle=1\nPanel=1\n");
}

// A hand-edited "Path" holding ';' and ',' (unquoted) names one folder: the player finds
// its playlist there, and on close the line is written back as it stands.
TEST_F(BuiltPlayer, APathHoldingSemicolonsAndCommasIsOneFolderAndIsKept)
{
    std::string data = MakeData("My music; old, new", 30);
    const std::string text = "[General]\nPath=" + data + "\nShuffle=0\n";
    std::ofstream(settings) << text;
    Start();
    ASSERT_TRUE(WaitUntilPlaying()) << "the player did not play the playlist of " << data;
    EXPECT_TRUE(EndsCleanlyOn(SIGTERM));
    EXPECT_EQ(ReadFile(settings), text + "Panel=0\n");
}

}  // namespace

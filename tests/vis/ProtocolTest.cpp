// The host protocol against the whole engine on our audio library: a test host written
// from docs/vis-protocol.md connects, links, requests, and sees every notification; bad
// frames are refused with their error and the connection, while the player plays on;
// another user cannot come in; the player's exit says goodbye.
#include "BASSPlayer.h"
#include "MessageBox.h"
#include "TestHost.h"
#include "VisDrive.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <thread>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using testhost::Frame;
using testhost::Host;

namespace {

// A 16-bit stereo WAV of a sine at Hz, Seconds long, amplitude one half.
void WriteTone(const fs::path& path, double hz, double seconds)
{
    const uint32_t rate = 44100;
    const auto frames = static_cast<uint32_t>(rate * seconds);
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + frames * 4);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(frames * 4);
    for (uint32_t i = 0; i < frames; ++i) {
        const auto s = static_cast<int16_t>(std::lround(16384 * std::sin(2 * std::numbers::pi * hz * i / rate)));
        u16(static_cast<uint16_t>(s));
        u16(static_cast<uint16_t>(s));
    }
}

int PeakBin(const uint8_t* section)
{
    int best = 0;
    for (int k = 1; k < 576; ++k)
        if (section[k] > section[best])
            best = k;
    return best + 1;
}

class Protocol : public ::testing::Test {
protected:
    fs::path dir;
    std::unique_ptr<TBASSPlayer> engine;
    Host host;

    void SetUp() override
    {
        dir = fs::temp_directory_path() /
              ("aubadine_vis_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir / "run");
        ::chmod((dir / "run").c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", (dir / "run").c_str(), 1);
        ::setenv("AUBADINE_VIS_SHARE", ("AubadineVisProto" + std::to_string(::getpid())).c_str(), 1);
        SetMessageBoxHandler([](const std::string& text, const std::string&, TMessageIcon) {
            ADD_FAILURE() << "message box: " << text;
        });
        WriteTone(dir / "a440.wav", 440, 20);
        WriteTone(dir / "b2000.wav", 2000, 20);
        engine = std::make_unique<TBASSPlayer>();
        ASSERT_TRUE(engine->BASSReady());
        ASSERT_TRUE(engine->Open((dir / "a440.wav").string()));
        engine->Play();
        ASSERT_EQ(engine->Mode(), plmPlaying);
        host.pump = [] { QCoreApplication::processEvents(); };
    }
    void TearDown() override
    {
        host.Close();
        engine.reset();
        SetMessageBoxHandler({});
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void Pump(int ms)
    {
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            QCoreApplication::processEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
    std::string Greet()
    {
        std::string name;
        EXPECT_TRUE(host.Connect(testhost::SocketPath()));
        EXPECT_TRUE(host.Hello(1, &name));
        return name;
    }
    // Takes the next data block: waits for Data, copies the data, hands the block back.
    bool TakeData(std::vector<uint8_t>& data, int timeout_ms = 1500)
    {
        // A notification read after we cleared DataReady ourselves is stale: skip it.
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        Frame f;
        while (std::chrono::steady_clock::now() < end) {
            if (!host.WaitFor(10, f, timeout_ms))
                return false;
            if (host.U32(280) != 1u)
                continue;
            data.assign(host.Block() + 296, host.Block() + 2600);
            host.SetU32(280, 0);
            return true;
        }
        return false;
    }
    // Drains what is queued, then expects nothing with this code for ms.
    bool Silent(uint32_t code, int ms)
    {
        Frame f;
        while (host.Receive(f, 0)) {
        }
        return !host.WaitFor(code, f, ms);
    }
};

TEST_F(Protocol, WholeSessionEveryCommandAndNotification)
{
    const std::string name = Greet();
    EXPECT_EQ(name, "/AubadineVisProto" + std::to_string(::getpid()) + "-" + std::to_string(::geteuid()));
    ASSERT_TRUE(host.OpenBlock(name));
    struct stat st {};
    ASSERT_EQ(::stat(testhost::SocketPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((dir / "run" / "aubadine").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // Link mid-track: the block's first part is filled and announced at once.
    ASSERT_TRUE(host.Link());
    Frame f;
    ASSERT_TRUE(host.WaitFor(81, f, 1000));
    EXPECT_EQ(f.value, 4u);
    ASSERT_TRUE(host.WaitFor(82, f, 1000));
    EXPECT_EQ(f.value, 272u);
    EXPECT_EQ(host.U32(0), 3u);
    EXPECT_EQ(host.U32(4), 44100u);
    EXPECT_EQ(host.U32(12), 2u);
    EXPECT_NEAR(host.U32(16), 20000u, 50);
    EXPECT_EQ(host.Title(), engine->StreamInfo().Title);
    EXPECT_TRUE(engine->VisConnected());

    // Data at the requested period: two spectrum sets, two waveform channels.
    ASSERT_TRUE(host.Request(25, 2, 2));
    std::vector<uint8_t> data;
    ASSERT_TRUE(TakeData(data));
    ASSERT_TRUE(TakeData(data));
    EXPECT_EQ(host.U32(284), 44100u);
    EXPECT_EQ(host.U32(288), 2u);
    EXPECT_NEAR(PeakBin(data.data()), std::lround(440.0 * 2048 / 44100), 1);
    EXPECT_NEAR(PeakBin(data.data() + 576), std::lround(440.0 * 2048 / 44100), 1);
    Pump(100);
    ASSERT_TRUE(TakeData(data));
    EXPECT_GT(host.U32(292), 0u) << "the position from the engine's 25 ms timer";

    // Pause: the mode, and no data; play: the mode, and data again.
    engine->Pause();
    ASSERT_TRUE(host.WaitFor(81, f, 1000));
    EXPECT_EQ(host.U32(0), 4u);
    host.SetU32(280, 0);
    EXPECT_TRUE(Silent(10, 400));
    engine->Play();
    ASSERT_TRUE(host.WaitFor(81, f, 1000));
    EXPECT_EQ(host.U32(0), 3u);
    ASSERT_TRUE(TakeData(data));

    // SyncVisWindow, only on a change.
    engine->SetSyncVisWindow(true);
    ASSERT_TRUE(host.WaitFor(83, f, 1000));
    EXPECT_EQ(f.value, 4u);
    EXPECT_EQ(host.U32(276), 1u);
    engine->SetSyncVisWindow(true);
    EXPECT_TRUE(Silent(83, 200));

    // The next track: ready, new stream information, playing, and its own spectrum.
    ASSERT_TRUE(engine->Open((dir / "b2000.wav").string()));
    ASSERT_TRUE(host.WaitFor(82, f, 1000));
    EXPECT_EQ(host.Title(), engine->StreamInfo().Title);
    engine->Play();
    Pump(400);
    host.SetU32(280, 0);
    ASSERT_TRUE(TakeData(data));
    ASSERT_TRUE(TakeData(data));
    EXPECT_NEAR(PeakBin(data.data()), std::lround(2000.0 * 2048 / 44100), 1);

    // Unlink: nothing more comes, and the engine knows no host.
    ASSERT_TRUE(host.Unlink());
    Pump(50);
    EXPECT_FALSE(engine->VisConnected());
    host.SetU32(280, 0);
    EXPECT_TRUE(Silent(10, 300));
    engine->Pause();
    EXPECT_TRUE(Silent(81, 200));
}

TEST_F(Protocol, VersionsAndRecordlessCommands)
{
    uint32_t spoken = 0;
    ASSERT_TRUE(host.Connect(testhost::SocketPath()));
    ASSERT_TRUE(host.Hello(7, nullptr, &spoken));
    EXPECT_EQ(spoken, 1u) << "the player speaks version 1 to a newer host";
    ASSERT_TRUE(host.Hello(1, nullptr, &spoken)) << "a second Hello is answered again";

    // Link and Request without records are ignored; Unlink from a host not linked too.
    ASSERT_TRUE(host.Send(0x3C, 0));
    ASSERT_TRUE(host.Send(0x37, 0));
    Pump(50);
    EXPECT_FALSE(engine->VisConnected());
    Host other;
    other.pump = host.pump;
    ASSERT_TRUE(other.Connect(testhost::SocketPath()));
    ASSERT_TRUE(other.Hello(1));
    ASSERT_TRUE(host.Link());
    ASSERT_TRUE(other.Unlink());
    Pump(50);
    EXPECT_TRUE(engine->VisConnected()) << "only the linked host unlinks";

    Host old;
    old.pump = host.pump;
    ASSERT_TRUE(old.Connect(testhost::SocketPath()));
    ASSERT_TRUE(old.Send(0x48, 0, Host::Words({0})));
    Frame f;
    ASSERT_TRUE(old.WaitFor(0x45, f, 1000));
    EXPECT_EQ(f.value, 2u);
    EXPECT_TRUE(old.WaitForHangUp(1000));
}

TEST_F(Protocol, BadFramesAreRefusedAndDroppedWhileThePlayerPlaysOn)
{
    struct Case {
        const char* what;
        std::vector<uint8_t> frame;
        uint32_t error;
    };
    auto header = [](uint32_t code, uint32_t value, uint32_t size) { return Host::Words({code, value, size}); };
    std::vector<uint8_t> lying = header(0x37, 0, 16);
    lying.resize(12 + 8);
    std::vector<uint8_t> oversized = header(0x37, 0, 288);
    oversized.resize(300);
    std::vector<uint8_t> longLink = header(0x3C, 0, 12);
    longLink.resize(24);
    const Case cases[] = {
        {"short", {0x37, 0, 0, 0, 0}, 3},
        {"oversized", oversized, 4},
        {"unknown command", header(0x99, 0, 0), 5},
        {"record length that lies", lying, 6},
        {"link record of the wrong size", longLink, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Greet();
        ASSERT_TRUE(host.Link());
        Pump(30);
        ASSERT_TRUE(engine->VisConnected());
        ASSERT_TRUE(host.SendRaw(c.frame));
        Frame f;
        ASSERT_TRUE(host.WaitFor(0x45, f, 1000));
        EXPECT_EQ(f.value, c.error);
        EXPECT_TRUE(host.WaitForHangUp(1000));
        EXPECT_FALSE(engine->VisConnected()) << "a dropped host is unlinked";
        EXPECT_EQ(engine->Mode(), plmPlaying);
    }

    // No Hello first.
    ASSERT_TRUE(host.Connect(testhost::SocketPath()));
    ASSERT_TRUE(host.Link());
    Frame f;
    ASSERT_TRUE(host.WaitFor(0x45, f, 1000));
    EXPECT_EQ(f.value, 1u);
    EXPECT_FALSE(engine->VisConnected());

    // A flood of 10,000 requests.
    Greet();
    ASSERT_TRUE(host.Link());
    int sent = 0;
    for (int i = 0; i < 10000; ++i) {
        std::vector<uint8_t> r = header(0x37, 0, 16);
        auto rec = Host::Words({0, 25, 1, 1});
        r.insert(r.end(), rec.begin(), rec.end());
        while (::send(host.fd(), r.data(), r.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0) {
            if (errno != EAGAIN)
                goto flooded;
            QCoreApplication::processEvents();
        }
        ++sent;
    }
flooded:
    EXPECT_LT(sent, 10000) << "the player hung up during the flood";
    ASSERT_TRUE(host.WaitFor(0x45, f, 2000));
    EXPECT_EQ(f.value, 7u);
    Pump(50);
    EXPECT_FALSE(engine->VisConnected());
    EXPECT_EQ(engine->Mode(), plmPlaying);

    // And the next well-behaved host is served as usual.
    const std::string name = Greet();
    ASSERT_TRUE(host.OpenBlock(name));
    ASSERT_TRUE(host.Link());
    ASSERT_TRUE(host.Request(25, 1, 0));
    ASSERT_TRUE(host.WaitFor(10, f, 1500));
}

TEST_F(Protocol, AHostThatHangsUpIsUnlinked)
{
    Greet();
    ASSERT_TRUE(host.Link());
    Pump(30);
    ASSERT_TRUE(engine->VisConnected());
    host.Close();
    Pump(100);
    EXPECT_FALSE(engine->VisConnected());
    EXPECT_TRUE(engine->VisThread()->Suspended());
}

TEST_F(Protocol, ThePlayerSaysGoodbyeAndRemovesItsSocket)
{
    Greet();
    ASSERT_TRUE(host.Link());
    Pump(30);
    engine.reset();
    Frame f;
    ASSERT_TRUE(host.WaitFor(20, f, 1000));
    EXPECT_TRUE(host.WaitForHangUp(1000));
    EXPECT_FALSE(fs::exists(testhost::SocketPath()));
}

TEST_F(Protocol, AnotherUserCannotConnect)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    const std::string path = testhost::SocketPath();
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::snprintf(a.sun_path, sizeof(a.sun_path), "%s", path.c_str());
        int r = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof(a));
        ::_exit(r != 0 && errno == EACCES ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace

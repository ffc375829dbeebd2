// End to end over the network: the player plays a playlist of an http file, an ftp file and
// a live Icecast mount (an address without extension, so the engine takes it for a
// broadcast), all served on 127.0.0.1 by tests/bass/net_server.py (started here), in order,
// with the sound captured through SDL's disk driver; the title set through Icecast's admin
// call reaches the engine's OnGetMeta, and the files' exact lengths reach OnDownloaded.
#include "CaptureAnalysis.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "NetServer.h"

#include <QApplication>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

QApplication& App()
{
    static int argc = 1;
    static char name[] = "engine_e2e_network";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// A seed whose first track (the shell's two draws) is the first of three.
unsigned SeedForFirstTrack()
{
    for (unsigned seed = 1;; ++seed) {
        std::mt19937 rng(seed);
        const int a = std::uniform_int_distribution<int>(0, 8)(rng);
        const int b = std::uniform_int_distribution<int>(0, 5)(rng);
        if ((a + b) % 3 == 0)
            return seed;
    }
}

// Distinct pitches in the order heard (a live stream that stalls sounds in pieces).
std::vector<int> PitchesHeard(const std::vector<Segment>& segments)
{
    std::vector<int> heard;
    for (const Segment& s : segments) {
        const int hz = static_cast<int>(std::lround(s.frequency / 10.0) * 10);
        std::printf("segment %.1f Hz, %.3f s at %.3f s\n", s.frequency, s.seconds(), s.start / 44100.0);
        if (heard.empty() || heard.back() != hz)
            heard.push_back(hz);
    }
    return heard;
}

TEST(NetworkPlaylist, PlaysHttpFtpAndLiveInOrderAndFollowsTheTitle)
{
    const fs::path dir = fs::temp_directory_path() / ("aubadine_net_e2e_" + std::to_string(::getpid()));
    fs::create_directories(dir / "config" / "Velkor" / "Aubadine");
    for (const auto& [name, hz] : {std::pair{"a.mp3", 550}, std::pair{"b.mp3", 660}}) {
        const std::string make = "ffmpeg -nostdin -loglevel error -y -f lavfi -i sine=frequency=" + std::to_string(hz) +
                                 ":sample_rate=44100:duration=1.2 -ac 2 -c:a libmp3lame -b:a 128k " +
                                 (dir / name).string();
        ASSERT_EQ(std::system(make.c_str()), 0);
    }
    aubadine::bass::test::NetServer server(dir.string(), true);
    if (server.icecastMount().empty() || server.ftp("/").empty())
        GTEST_SKIP() << "icecast2, ffmpeg or python3-pyftpdlib is not installed";

    {
        std::ofstream list(dir / "Playlist.ini");
        list << "[Main]\nMainPath=\n[Default]\n";
        list << "t1=" << server.http("/files/a.mp3") << "\n";
        list << "t2=" << server.ftp("/b.mp3") << "\n";
        list << "t3=" << server.icecastMount() << "\n";
        std::ofstream settings(dir / "config" / "Velkor" / "Aubadine" / "1.0.ini");
        settings << "[General]\nPath=" << dir.string() << "\nShuffle=0\nPanel=0\n";
    }
    const std::string capture = (dir / "capture.raw").string();
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);

    App();
    SetMessageBoxHandler([](const std::string& text, const std::string&, TMessageIcon) {
        ADD_FAILURE() << "message box: " << text;
    });
    std::vector<int> started;
    std::vector<std::string> titles;
    std::vector<std::string> downloads;  // OnDownloaded: the exact duration in ms, as text
    {
        TForm1 form;
        const unsigned seed = SeedForFirstTrack();
        form.SeedSource = [seed] { return seed; };
        ASSERT_TRUE(form.FormCreate());
        TBASSPlayer* player = form.Player();
        started.push_back(form.TrackIndex());
        auto shell = player->OnModeChange;
        player->OnModeChange = [&](TBASSPlayer* s, TPlayerMode o, TPlayerMode n) {
            shell(s, o, n);
            if (o == plmReady && n == plmPlaying)
                started.push_back(form.TrackIndex());
        };
        player->OnGetMeta = [&](TBASSPlayer*, const std::string& title) { titles.push_back(title); };
        player->OnDownloaded = [&](TBASSPlayer*, const std::string& ms) { downloads.push_back(ms); };
        form.show();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(40);
        std::optional<std::chrono::steady_clock::time_point> liveSince;
        bool titleSet = false;
        while (std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            if (!liveSince && started.size() >= 3)
                liveSince = std::chrono::steady_clock::now();
            if (liveSince && !titleSet && std::chrono::steady_clock::now() - *liveSince > std::chrono::seconds(1))
                titleSet = server.setIcecastTitle("Band - Song");
            const bool gotTitle = std::find(titles.begin(), titles.end(), "Band - Song") != titles.end();
            if (liveSince && gotTitle && std::chrono::steady_clock::now() - *liveSince > std::chrono::seconds(3))
                break;
        }
        EXPECT_TRUE(titleSet);
        EXPECT_EQ(player->StreamInfo().Title, "Band - Song");
        form.close();
    }
    SetMessageBoxHandler({});

    ASSERT_GE(started.size(), 3u);
    EXPECT_EQ(std::vector<int>(started.begin(), started.begin() + 3), (std::vector<int>{1, 2, 3}));
    EXPECT_NE(std::find(titles.begin(), titles.end(), "Band - Song"), titles.end());
    // Both files were downloaded whole, and their exact lengths (1.2 s) reported.
    ASSERT_EQ(downloads.size(), 2u);
    for (const std::string& ms : downloads)
        EXPECT_NEAR(std::stoi(ms), 1200, 30);
    const std::vector<int> heard = PitchesHeard(FindSegments(ReadCaptureLeft(capture)));
    ASSERT_GE(heard.size(), 3u);
    EXPECT_EQ(std::vector<int>(heard.begin(), heard.begin() + 3), (std::vector<int>{550, 660, 440}));

    if (!std::getenv("AUBADINE_E2E_KEEP")) {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
}

}  // namespace

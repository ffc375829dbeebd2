// End to end: the player shell and engine on our audio library, headless. A playlist of
// three short tones (MP3, Ogg Vorbis, WAV) is played unattended; the order of
// the tracks follows from the first-track formula and the end-of-track rule (or shuffle),
// and the sound that SDL's disk driver captured proves what was heard. The same three
// tones as tracks of a CD image ("E:\Track02.cda") play through the CD add-on.
#include "CaptureAnalysis.h"
#include "MainForm.h"
#include "MessageBox.h"
#include "basscd.h"

#include <QAction>
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

struct Tone {
    const char* file;
    double frequency;
};
// Files that make_demo writes, each a tone of its own pitch.
const Tone kTones[] = {{"01-a4-440hz.mp3", 440.0}, {"02-e5-660hz.ogg", 660.0}, {"03-a5-880hz.wav", 880.0}};
constexpr int kCount = 3;
constexpr double kSeconds = 0.8;

// Two disc images in a folder of this process, given to the CD add-on before anything
// lists the drives: "a-other.cue" (one 1000 Hz track) and "b-tones.cue", whose three tracks
// are the three tones, 0.8 s each (60 sectors).
const fs::path& DiscFolder()
{
    static const fs::path* folder = [] {
        auto* dir = new fs::path(fs::temp_directory_path() / ("aubadine_e2e_discs_" + std::to_string(::getpid())));
        fs::create_directories(*dir);
        auto image = [&](const std::string& name, const std::vector<double>& tones) {
            std::ofstream bin(*dir / (name + ".bin"), std::ios::binary);
            std::ofstream cue(*dir / (name + ".cue"));
            cue << "FILE \"" << name << ".bin\" BINARY\n";
            for (size_t t = 0; t < tones.size(); ++t) {
                const size_t sector = t * 60;
                char line[96];
                std::snprintf(line, sizeof line, "  TRACK %02zu AUDIO\n    INDEX 01 00:%02zu:%02zu\n", t + 1,
                              sector / 75, sector % 75);
                cue << line;
                for (size_t i = 0; i < 60 * 588; ++i) {
                    const auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * tones[t] * static_cast<double>(i) / 44100));
                    const int16_t frame[2] = {v, v};
                    bin.write(reinterpret_cast<const char*>(frame), sizeof frame);
                }
            }
        };
        image("a-other", {1000.0});
        image("b-tones", {kTones[0].frequency, kTones[1].frequency, kTones[2].frequency});
        setenv("AUBADINE_CD_IMAGES", dir->c_str(), 1);
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(DiscFolder(), ec);
        });
        return dir;
    }();
    return *folder;
}

QApplication& App()
{
    DiscFolder();
    static int argc = 1;
    static char name[] = "engine_e2e_tests";
    static char* argv[] = {name, nullptr};
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// 1-based track of the nearest pitch, 0 when none is within 3 %.
int TrackOfFrequency(double f)
{
    for (int i = 0; i < kCount; ++i)
        if (std::abs(f - kTones[i].frequency) < kTones[i].frequency * 0.03)
            return i + 1;
    return 0;
}

class PlaylistPlayback : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("aubadine_e2e_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        const std::string make = std::string(AUBADINE_BIN_DIR) + "/make_demo " + dir.string() + " " +
                                 std::to_string(kSeconds) + " > /dev/null";
        ASSERT_EQ(std::system(make.c_str()), 0);
        capture = (dir / "capture.raw").string();
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    }

    void TearDown() override
    {
        if (std::getenv("AUBADINE_E2E_KEEP"))  // keep the capture for a closer look
            return;
        std::error_code ec;
        fs::remove_all(dir, ec);
    }

    // The playlist: the tone files of make_demo, or (with cdLetter) the tracks of a CD drive.
    void WritePlaylist(bool shuffle, char cdLetter = 0)
    {
        std::ofstream list(dir / "Playlist.ini");
        if (cdLetter) {
            list << "[Main]\nMainPath=\n[Default]\n";
            for (int i = 0; i < kCount; ++i)
                list << "t" << i + 1 << "=" << cdLetter << ":\\Track0" << i + 1 << ".cda\n";
        } else {
            list << "[Main]\nMainPath=" << (dir / "music").string() << "/\n[Default]\n";
            for (int i = 0; i < kCount; ++i)
                list << "t" << i + 1 << "=" << kTones[i].file << "\n";
        }
        std::ofstream settings(dir / "config" / "Velkor" / "Aubadine" / "1.0.ini");
        settings << "[General]\nPath=" << dir.string() << "\nShuffle=" << (shuffle ? 1 : 0) << "\nPanel=0\n";
    }

    // Runs the player until `starts` tracks have started (and the last has sounded a
    // while); returns the tracks in the order the shell started them.
    std::vector<int> Run(unsigned seed, size_t starts)
    {
        App();
        // A message box would wait for a person: record it and fail instead.
        SetMessageBoxHandler([](const std::string& text, const std::string&, TMessageIcon) {
            ADD_FAILURE() << "message box: " << text;
        });
        std::vector<int> started;
        {
            TForm1 form;
            form.SeedSource = [seed] { return seed; };
            EXPECT_TRUE(form.FormCreate());
            TBASSPlayer* player = form.Player();
            EXPECT_TRUE(player->BASSReady());
            started.push_back(form.TrackIndex());
            auto shell = player->OnModeChange;
            std::chrono::steady_clock::time_point ended;
            player->OnModeChange = [&](TBASSPlayer* s, TPlayerMode o, TPlayerMode n) {
                if (o == plmPlaying && n == plmStopped)
                    ended = std::chrono::steady_clock::now();
                shell(s, o, n);
                if (o == plmReady && n == plmPlaying) {
                    started.push_back(form.TrackIndex());
                    if (started.size() > 1)  // the engine's and the shell's share of a gap
                        std::printf("end handled to next start: %.2f ms\n",
                                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - ended)
                                        .count());
                }
            };
            form.show();
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
            std::optional<std::chrono::steady_clock::time_point> last;
            while (std::chrono::steady_clock::now() < deadline) {
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
                if (!last && started.size() >= starts)
                    last = std::chrono::steady_clock::now();
                if (last && std::chrono::steady_clock::now() - *last > std::chrono::milliseconds(400))
                    break;
            }
            form.close();
        }
        SetMessageBoxHandler({});
        return started;
    }

    // Tracks heard, by pitch, in the order heard.
    std::vector<int> Heard(std::vector<Segment>* segmentsOut = nullptr)
    {
        std::vector<Segment> segments = FindSegments(ReadCaptureLeft(capture));
        std::vector<int> heard;
        for (const Segment& s : segments) {
            heard.push_back(TrackOfFrequency(s.frequency));
            std::printf("segment %zu: %.1f Hz, %.3f s at %.3f s\n", heard.size(), s.frequency, s.seconds(),
                        static_cast<double>(s.start) / 44100.0);
        }
        if (segmentsOut)
            *segmentsOut = segments;
        return heard;
    }

    // Runs the player from `seed` until `count` tracks have started: they must be the
    // playlist's from `first` on, in order (wrapping after the last), and every whole track
    // must have sounded for about its length (the last may be cut by the close).
    void ExpectPlaysInOrder(unsigned seed, int first, int count)
    {
        std::vector<int> expected;
        for (int i = 0, t = first; i < count; ++i, t = t % kCount + 1)
            expected.push_back(t);

        std::vector<int> started = Run(seed, expected.size());
        ASSERT_GE(started.size(), expected.size());
        started.resize(expected.size());
        EXPECT_EQ(started, expected);

        std::vector<Segment> segments;
        std::vector<int> heard = Heard(&segments);
        ASSERT_GE(heard.size(), expected.size() - 1);
        for (size_t i = 0; i + 1 < expected.size(); ++i) {
            EXPECT_EQ(heard[i], expected[i]) << "segment " << i << " at " << segments[i].frequency << " Hz";
            EXPECT_NEAR(segments[i].seconds(), kSeconds, 0.15) << "segment " << i;
        }
    }

    fs::path dir;
    std::string capture;
};

// The first track as the shell draws it: two draws from the seeded generator.
std::mt19937 FirstTrack(unsigned seed, int& first)
{
    std::mt19937 rng(seed);
    int a = std::uniform_int_distribution<int>(0, 3 * kCount - 1)(rng);
    int b = std::uniform_int_distribution<int>(0, 2 * kCount - 1)(rng);
    first = (a + b) % kCount + 1;
    return rng;
}

}  // namespace

TEST_F(PlaylistPlayback, PlaysInOrderAndWrapsAfterTheLast)
{
    WritePlaylist(false);
    const unsigned seed = 20261208;
    int first = 0;
    FirstTrack(seed, first);
    ExpectPlaysInOrder(seed, first, 5);
}

TEST_F(PlaylistPlayback, PlaysTheTracksOfADiscImageDrive)
{
    DiscFolder();
    char letter = 0;
    for (DWORD d = 0; const char* text = BASS_CD_GetDriveDescription(d); ++d)
        if (std::string(text) == "b-tones.cue")
            letter = static_cast<char>('A' + BASS_CD_GetDriveLetter(d));
    ASSERT_NE(letter, 0) << "the image drive is not listed";
    std::printf("image drive %c:\n", letter);  // E: on a machine without optical drives
    WritePlaylist(false, letter);
    const unsigned seed = 4242;
    int first = 0;
    FirstTrack(seed, first);
    ExpectPlaysInOrder(seed, first, 4);
}

TEST_F(PlaylistPlayback, ShufflePicksOnlyListMembers)
{
    WritePlaylist(true);
    const unsigned seed = 77;
    int first = 0;
    std::mt19937 rng = FirstTrack(seed, first);
    std::vector<int> expected{first};
    while (expected.size() < 6)
        expected.push_back(std::uniform_int_distribution<int>(0, kCount - 1)(rng) + 1);

    std::vector<int> started = Run(seed, expected.size());
    ASSERT_GE(started.size(), expected.size());
    started.resize(expected.size());
    EXPECT_EQ(started, expected);

    // A track may follow itself; the captured segments then still come apart at the
    // silence between them.
    std::vector<int> heard = Heard();
    ASSERT_GE(heard.size(), expected.size() - 1);
    for (size_t i = 0; i + 1 < expected.size(); ++i) {
        EXPECT_GE(heard[i], 1) << "segment " << i << " is no track of the list";
        EXPECT_EQ(heard[i], expected[i]) << "segment " << i;
    }
}

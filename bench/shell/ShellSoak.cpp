// Soak run of the player's shell: the real TForm1 and engine on the real audio library,
// with SDL's disk driver writing to /dev/null without delay, so short tracks play much
// faster than real time. Menu commands (Next, Previous, Pause, Play, Random, the shuffle
// toggle) are fired at random moments, many of them within a few milliseconds of a track's
// end, until the wanted number of track changes has happened. A change is a track opened.
//
// The run fails when the player stops changing tracks for WATCHDOG seconds (silent while it
// should play), when a message box appears, or when it does not end playing. It prints the
// resident memory averaged over the first and over the last 500 changes.
//
// Usage: shell_soak [CHANGES] [TRACKS] [TRACK_SECONDS] [SEED]   (defaults 2000 8 0.3 1)
#include "MainForm.h"
#include "MessageBox.h"
#include "MessageWindow.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <unistd.h>

namespace {

constexpr int kWatchdogSeconds = 10;
constexpr size_t kWindow = 500;

void PutLE(std::ofstream& out, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>(v >> (8 * i)));
}

// A 16-bit stereo WAV at 44100 Hz: a square wave whose pitch tells the tracks apart.
void WriteTrack(const std::string& path, double seconds, int n)
{
    const uint32_t frames = static_cast<uint32_t>(seconds * 44100), bytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    out << "RIFF";
    PutLE(out, 36 + bytes, 4);
    out << "WAVEfmt ";
    PutLE(out, 16, 4);
    PutLE(out, 1, 2);
    PutLE(out, 2, 2);
    PutLE(out, 44100, 4);
    PutLE(out, 44100 * 4, 4);
    PutLE(out, 4, 2);
    PutLE(out, 16, 2);
    out << "data";
    PutLE(out, bytes, 4);
    const uint32_t half = static_cast<uint32_t>(20 + 5 * n);
    for (uint32_t i = 0; i < frames; ++i) {
        uint32_t v = (i / half) % 2 ? 3000u : static_cast<uint32_t>(-3000) & 0xFFFF;
        PutLE(out, v, 2);
        PutLE(out, v, 2);
    }
}

long ResidentKiB()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

}  // namespace

int main(int argc, char** argv)
{
    const size_t wanted = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 2000;
    const int tracks = argc > 2 ? std::atoi(argv[2]) : 8;
    const double seconds = argc > 3 ? std::atof(argv[3]) : 0.3;
    const unsigned seed = argc > 4 ? static_cast<unsigned>(std::strtoul(argv[4], nullptr, 10)) : 1u;
    if (wanted < 2 * kWindow || tracks < 2 || seconds <= 0) {
        std::fprintf(stderr, "usage: shell_soak [CHANGES >= 1000] [TRACKS >= 2] [TRACK_SECONDS] [SEED]\n");
        return 2;
    }

    // Faster than real time: SDL's disk driver, no delay, nothing kept.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QTemporaryDir dir;
    const std::string root = dir.path().toStdString();
    {
        std::ofstream list(root + "/Playlist.ini");
        list << "[Main]\nMainPath=" << root << "/\n[Default]\n";
        for (int n = 1; n <= tracks; ++n) {
            WriteTrack(root + "/t" + std::to_string(n) + ".wav", seconds, n);
            list << "Track" << n << "=t" << n << ".wav\n";
        }
    }
    setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    std::filesystem::create_directories(root + "/config/Velkor/Aubadine");
    std::ofstream(root + "/config/Velkor/Aubadine/1.0.ini") << "[General]\nPath=" << root << "\nShuffle=0\nPanel=0\n";

    int boxes = 0;
    SetMessageBoxHandler([&](const std::string& text, const std::string& caption, TMessageIcon) {
        std::fprintf(stderr, "shell_soak: message box %s: %s\n", caption.c_str(), text.c_str());
        ++boxes;
    });

    QEventLoop loop;
    TForm1 form;
    form.SeedSource = [seed] { return seed; };
    std::mt19937 rng(seed);
    size_t changes = 0;
    size_t ends = 0;
    long rssFirst = 0, rssLast = 0;
    auto lastChange = std::chrono::steady_clock::now();
    auto started = lastChange;
    bool failed = false;

    // Commands as the tray menu runs them, until the wanted changes have happened.
    bool quiet = false;
    auto command = [&form, &rng, &quiet] {
        if (quiet)
            return;
        switch (std::uniform_int_distribution<int>(0, 9)(rng)) {
        case 0: case 1: form.N9Click(); break;   // "Следующая"
        case 2: form.N8Click(); break;           // "Предыдущая"
        case 3: case 4: form.N5Click(); break;   // "Пауза"
        case 5: case 6: form.N6Click(); break;   // "Воспроизвести"
        case 7: form.N12Click(); break;          // "Выбрать любую"
        case 8: form.MenuItem(10)->trigger(); break;  // "Перетасовка"
        default: break;                          // nothing this time
        }
    };
    form.OnPlayerModeChange = [&](TPlayerMode oldMode, TPlayerMode newMode) {
        if (newMode == plmReady) {
            ++changes;
            lastChange = std::chrono::steady_clock::now();
            long rss = ResidentKiB();
            if (changes <= kWindow)
                rssFirst += rss;
            else if (changes > wanted - kWindow && changes <= wanted)
                rssLast += rss;
            if (changes == wanted)
                QTimer::singleShot(0, &app, [&loop] { loop.exit(0); });
        }
        // A command within a few milliseconds of a track's end, before or after the shell
        // has handled it (this call comes from inside the engine's handling).
        if (oldMode == plmPlaying && newMode == plmStopped) {
            ++ends;
            int delay = std::uniform_int_distribution<int>(-1, 4)(rng);
            if (delay < 0)
                command();
            else
                QTimer::singleShot(delay, &app, command);
        }
    };
    if (!form.FormCreate()) {
        std::fprintf(stderr, "shell_soak: the player found no playlist\n");
        return 1;
    }

    // Commands at random moments besides, 0 to 30 ms apart.
    QTimer random;
    random.setSingleShot(true);
    QObject::connect(&random, &QTimer::timeout, [&] {
        command();
        random.start(std::uniform_int_distribution<int>(0, 30)(rng));
    });
    random.start(0);
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (std::chrono::steady_clock::now() - lastChange > std::chrono::seconds(kWatchdogSeconds)) {
            // A pause may hold, but "Воспроизвести" comes often; silence this long is a fault.
            std::fprintf(stderr, "shell_soak: no track change for %d s after %zu changes (mode %d)\n",
                         kWatchdogSeconds, changes, form.Player() ? form.Player()->Mode() : -1);
            failed = true;
            loop.exit(1);
        }
    });
    watchdog.start(500);
    // An event loop of our own: the application's, when it ends, runs the close sequence.
    loop.exec();
    quiet = true;
    random.stop();
    watchdog.stop();
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // The end: after a last "Воспроизвести", the player is still playing and moves on by
    // itself across track ends.
    bool playing = false;
    if (!failed && form.Player()) {
        form.N6Click();
        size_t at = changes;
        for (int i = 0; i < 300 && !(changes >= at + 2 && form.Player()->Mode() == plmPlaying); ++i) {
            ProcessMessages();
            usleep(10000);
        }
        playing = changes >= at + 2 && form.Player()->Mode() == plmPlaying;
        if (!playing)
            std::fprintf(stderr, "shell_soak: at the end: mode %d, %zu changes after the last Play\n",
                         form.Player()->Mode(), changes - at);
    }
    form.FormClose();

    const double first = static_cast<double>(rssFirst) / kWindow, last = static_cast<double>(rssLast) / kWindow;
    std::printf("shell_soak: %zu track changes (%zu track ends) in %.1f s, %d tracks of %.2f s, seed %u\n", changes,
                ends, elapsed, tracks, seconds, seed);
    std::printf("shell_soak: RSS first 500 changes %.0f KiB, last 500 changes %.0f KiB, ratio last/first %.3f\n",
                first, last, first > 0 ? last / first : 0.0);
    std::printf("shell_soak: still playing at the end: %s; message boxes: %d\n", playing ? "yes" : "NO", boxes);
    return failed || !playing || boxes != 0 || changes < wanted ? 1 : 0;
}

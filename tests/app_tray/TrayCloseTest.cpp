// The close sequence: every way the player is asked to end stops the track, opens no
// further one, removes the icon and writes "Shuffle" and "Panel".
#include "TrayFixture.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSystemTrayIcon>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

namespace {

// What the close sequence did, from calls[from] on (the calls up to then are those of the
// running player): the channel playing then was stopped, nothing was opened, and the
// audio library was released.
void ExpectStoppedAndReleased(const std::vector<std::string>& calls, size_t from)
{
    std::vector<std::string> before(calls.begin(), calls.begin() + static_cast<std::ptrdiff_t>(from));
    int play = LastCall(before, "BASS_ChannelPlay(");
    ASSERT_GE(play, 0) << "nothing played";
    const std::string& call = before[static_cast<size_t>(play)];
    std::string channel = call.substr(call.find('(') + 1, call.find(',') - call.find('(') - 1);
    std::vector<std::string> after(calls.begin() + static_cast<std::ptrdiff_t>(from), calls.end());
    int stop = LastCall(after, "BASS_ChannelStop(" + channel + ")");
    EXPECT_GE(stop, 0) << "the playing track was not stopped";
    EXPECT_EQ(LastCall(after, "BASS_StreamCreateFile("), -1) << "a further track was opened";
    EXPECT_GT(LastCall(after, "BASS_Free"), stop) << "the audio library was not released";
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream ss(text);
    for (std::string line; std::getline(ss, line);)
        if (!line.empty())
            lines.push_back(line);
    return lines;
}

}  // namespace

TEST_F(TrayTest, ExitWhilePlayingSavesBothMarksAndOpensNothing)
{
    MakePlaylist(3);
    WriteSettingsFile("0", "0");
    Start();
    REQUIRE_PLAYBACK();
    form_->Timer1Timer();
    form_->N10Click();
    form_->N11Click();
    Settle();

    size_t from = fake_->calls.size();
    form_->MenuItem(3)->trigger();  // "Выход"
    Settle();
    EXPECT_TRUE(form_->Closed());
    EXPECT_TRUE(form_->SkipAutoNext());
    EXPECT_EQ(form_->Player(), nullptr);
    EXPECT_FALSE(form_->TrayIcon()->isVisible());
    EXPECT_EQ(Setting("Shuffle"), "1");
    EXPECT_EQ(Setting("Panel"), "1");
    ExpectStoppedAndReleased(fake_->calls, from);
    EXPECT_TRUE(messages_.empty()) << Messages();
}

// Exit, a close request to the window (the about window closed by the window manager)
// and the session ending all run the same sequence.
TEST_F(TrayTest, EveryWayToEndRunsTheCloseSequence)
{
    struct Case {
        const char* name;
        bool iconShown;
        void (*end)(TForm1&);
    };
    const Case cases[] = {
        {"Exit", true, [](TForm1& f) { f.N3Click(); }},
        {"close request to the about window", true,
         [](TForm1& f) {
             f.N13Click();
             f.close();
         }},
        {"close request during the splash", false, [](TForm1& f) { f.close(); }},
        {"session end", true, [](TForm1& f) { f.EndSession(); }},
        {"session end during the splash", false, [](TForm1& f) { f.EndSession(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        MakePlaylist(3);
        WriteSettingsFile("7", "");  // read as set and not set; written back as "1" and "0"
        Start();
        if (c.iconShown)
            form_->Timer1Timer();
        Settle();
        bool played = Playing();
        size_t from = fake_->calls.size();

        c.end(*form_);
        Settle();
        EXPECT_TRUE(form_->Closed());
        EXPECT_FALSE(form_->isVisible());
        EXPECT_EQ(form_->Player(), nullptr);
        EXPECT_FALSE(form_->SplashTimer()->isActive()) << "the icon would be added after the end";
        EXPECT_TRUE(form_->TrayIcon() == nullptr || !form_->TrayIcon()->isVisible());
        EXPECT_EQ(Setting("Shuffle"), "1");
        EXPECT_EQ(Setting("Panel"), "0");
        if (played)
            ExpectStoppedAndReleased(fake_->calls, from);

        // Nothing more happens: not a second run of the sequence, not a new icon.
        size_t events = fake_->calls.size();
        form_->FormClose();
        form_->Timer1Timer();
        Settle();
        EXPECT_EQ(fake_->calls.size(), events);
        EXPECT_TRUE(form_->TrayIcon() == nullptr || !form_->TrayIcon()->isVisible());
        form_.reset();
    }
}

// Settings that cannot be written are reported, and the program ends all the same. A user
// who chose Exit is told in a box; at the session's end the report goes to the log only.
TEST_F(TrayTest, FailureToWriteTheSettingsIsReportedAndTheProgramEnds)
{
    for (bool sessionEnd : {false, true}) {
        SCOPED_TRACE(sessionEnd ? "session end" : "Exit");
        messages_.clear();
        MakePlaylist(2);
        WriteSettingsFile("0", "1");
        Start();
        form_->Timer1Timer();
        form_->N10Click();
        messages_.clear();

        // The settings folder becomes a file: nothing can be written below it.
        std::string blocked = dir_.path().toStdString() + "/blocked";
        { std::ofstream(blocked) << "not a folder"; }
        ASSERT_EQ(::setenv("XDG_CONFIG_HOME", blocked.c_str(), 1), 0);

        sessionEnd ? form_->EndSession() : form_->N3Click();
        Settle();
        EXPECT_TRUE(form_->Closed());
        EXPECT_EQ(form_->Player(), nullptr);
        if (sessionEnd) {
            EXPECT_TRUE(messages_.empty()) << Messages();
        } else {
            ASSERT_EQ(messages_.size(), 1u) << Messages();
            EXPECT_EQ(messages_[0].caption, "Warning");
            EXPECT_NE(messages_[0].text.find(blocked), std::string::npos) << messages_[0].text;
        }
        ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config_.c_str(), 1), 0);
        EXPECT_EQ(Setting("Shuffle"), "0") << "nothing was written";
        form_.reset();
    }
}

// A track change that fails shows its box from inside the engine's window procedure. An end
// asked for while that box waits (Exit, a close request, the session ending) runs the
// close sequence once the box has returned, with nothing run on a destroyed engine, and the
// application's event loop ends with code 0.
TEST_F(TrayTest, EndingWhileAFailedTrackChangeShowsItsBoxWaitsForTheBox)
{
    struct Case {
        const char* name;
        void (*end)(TForm1&);
        bool sessionEnd;
    };
    const Case cases[] = {
        {"Exit", [](TForm1& f) { f.N3Click(); }, false},
        {"close request", [](TForm1& f) { f.close(); }, false},
        {"session end", [](TForm1& f) { f.EndSession(); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        messages_.clear();
        std::filesystem::remove_all(data_);
        MakePlaylist(1);
        WriteSettingsFile("7", "");
        Start();
        REQUIRE_PLAYBACK();
        form_->Timer1Timer();
        Settle();
        size_t opened = Opened().size();

        // The only track's file goes while it plays; at its end the shell opens it again.
        std::remove(Track(1).c_str());
        int boxes = 0;
        SetMessageBoxHandler([&](const std::string& text, const std::string& caption, TMessageIcon) {
            messages_.push_back({text, caption});
            if (++boxes == 1) {
                c.end(*form_);
                // The engine lives until the box has returned.
                EXPECT_NE(form_->Player(), nullptr);
                EXPECT_FALSE(form_->Closed());
            }
        });
        ASSERT_TRUE(FakeBass_EndChannel(Channel()));
        QTimer limit;
        limit.setSingleShot(true);
        QObject::connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(3); });
        limit.start(20000);
        int code = QApplication::exec();
        limit.stop();

        EXPECT_EQ(code, 0);
        EXPECT_TRUE(form_->Closed());
        EXPECT_EQ(form_->Player(), nullptr);
        ASSERT_GE(messages_.size(), 1u);
        EXPECT_NE(messages_[0].text.find("Invalid stream file"), std::string::npos) << Messages();
        EXPECT_EQ(messages_.size(), 1u) << Messages();
        EXPECT_EQ(Opened().size(), opened) << "no further track after the end was asked for";
        EXPECT_EQ(LastCall(fake_->calls, "BASS_Free"), static_cast<int>(fake_->calls.size()) - 1);
        EXPECT_EQ(Setting("Shuffle"), "1");
        EXPECT_EQ(Setting("Panel"), "0");
        form_.reset();
        SetMessageBoxHandler([this](const std::string& text, const std::string& caption, TMessageIcon) {
            messages_.push_back({text, caption});
        });
    }
}

// The built player, run as a child process, ends through the close sequence on SIGTERM
// and SIGHUP: while a track plays, and while start-up waits on a message box.
TEST_F(TrayTest, TerminationSignalsRunTheCloseSequenceInTheBuiltPlayer)
{
    namespace fs = std::filesystem;
    const fs::path player = fs::path(AUBADINE_BIN_DIR) / "Lirren";
    const fs::path library = fs::path(AUBADINE_TEST_BIN_DIR) / "libbass.so";
    if (!fs::exists(player))
        GTEST_SKIP() << "the player is not built: " << player;
    ASSERT_TRUE(fs::exists(library));

    struct Case {
        const char* name;
        int signal;
        int missingFrom;  // 1: the only track is missing, start-up shows a box
    };
    for (const Case& c : {Case{"SIGTERM while playing", SIGTERM, 0}, Case{"SIGHUP while playing", SIGHUP, 0},
                          Case{"SIGTERM during a start-up message", SIGTERM, 1}}) {
        SCOPED_TRACE(c.name);
        // The player finds its audio library beside itself.
        fs::path folder = fs::path(dir_.path().toStdString()) / ("run-" + std::to_string(c.signal) + "-" +
                                                                   std::to_string(c.missingFrom));
        fs::create_directories(folder);
        fs::copy_file(player, folder / "Lirren", fs::copy_options::overwrite_existing);
        fs::copy_file(library, folder / "libbass.so", fs::copy_options::overwrite_existing);
        fs::remove_all(data_);
        MakePlaylist(c.missingFrom ? 1 : 3, c.missingFrom);
        WriteSettingsFile("7", "");
        std::string log = (folder / "calls.log").string();

        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        env.insert("SDL_AUDIODRIVER", "dummy");
        env.insert("XDG_CONFIG_HOME", QString::fromStdString(config_));
        env.insert("FAKE_BASS_LOG", QString::fromStdString(log));
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(QString::fromStdString((folder / "Lirren").string()), {});
        ASSERT_TRUE(process.waitForStarted(30000));

        // Start-up has reached the engine (and, if it can, played the first track).
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline && ReadTextFile(log).find("BASS_Init") == std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_NE(ReadTextFile(log).find("BASS_Init"), std::string::npos) << "the player did not start";
        std::this_thread::sleep_for(std::chrono::milliseconds(700));

        size_t from = Lines(ReadTextFile(log)).size();
        ASSERT_EQ(::kill(static_cast<pid_t>(process.processId()), c.signal), 0);
        ASSERT_TRUE(process.waitForFinished(60000)) << "the player did not end";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 0);
        EXPECT_EQ(Setting("Shuffle"), "1");
        EXPECT_EQ(Setting("Panel"), "0");
        std::vector<std::string> events = Lines(ReadTextFile(log));
        EXPECT_GE(LastCall(events, "BASS_Free"), 0) << "the engine was not destroyed";
        if (LastCall(events, "BASS_ChannelPlay(") >= 0)
            ExpectStoppedAndReleased(events, from);
    }
}

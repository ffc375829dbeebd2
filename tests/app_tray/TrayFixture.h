// A player shell set up the way a user's machine would have it: a settings file, a data
// folder with a playlist of real (silent) MP3 files, the engine on the test double of the
// audio library (tests/fakes/FakeBass.h), and every message box caught instead of shown.
#pragma once

#include "MainForm.h"
#include "FakeBass.h"
#include "MessageBox.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct CaughtMessage {
    std::string text;
    std::string caption;
};

// Writes an MP3 file of the given number of silent frames (about 26 ms each).
void WriteSilentMp3(const std::string& path, int frames);
std::string ReadTextFile(const std::string& path);

// Reading the calls the audio library double recorded (FakeBass.h).
// The files opened as streams, in order.
std::vector<std::string> OpenedFiles(const std::vector<std::string>& calls);
// Index of the last call starting with prefix, or -1.
int LastCall(const std::vector<std::string>& calls, const std::string& prefix);

class TrayTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Data folder with Playlist.ini listing tracks t1.mp3 .. tN.mp3 (silent; from
    // missingFrom on they are listed but not written).
    void MakePlaylist(int count, int missingFrom = 0);
    // The settings file, before start-up. An empty optional value leaves it out.
    void WriteSettingsFile(const std::string& shuffle, const std::string& panel);
    // FormCreate and the first show, with a fixed seed.
    void Start(unsigned seed = 1);
    // Lets the engine's posted messages and the toolkit's events run.
    void Settle();
    bool Playing() const;
    std::string Setting(const std::string& name) const;
    // Moves to track n with Previous and Next.
    void GoTo(int n);
    std::string Track(int n) const { return data_ + "/t" + std::to_string(n) + ".mp3"; }
    std::string Messages() const;
    // The files opened so far, in order; the channel the engine holds, and whether a
    // channel still exists in the library.
    std::vector<std::string> Opened() const { return OpenedFiles(fake_->calls); }
    uint32_t Channel() const { return form_ && form_->Player() ? form_->Player()->Channel() : 0; }
    bool Exists(uint32_t channel) const { return fake_->Find(channel) != nullptr; }

    QTemporaryDir dir_;
    std::string data_;
    std::string config_;
    std::vector<CaughtMessage> messages_;
    std::unique_ptr<TForm1> form_;
    FakeBassControl* fake_ = nullptr;

private:
    MessageBoxHandler previous_;
};

// For the cases that need a track to play: the engine of this build may not play yet.
#define REQUIRE_PLAYBACK()                                                                   \
    do {                                                                                     \
        if (!Playing())                                                                      \
            GTEST_SKIP() << "the engine does not play tracks yet (messages: " << Messages() \
                         << ")";                                                             \
    } while (0)

// A player shell set up the way a user's machine would have it: a settings file, a data
// folder with a playlist of real (silent) MP3 files, the engine on the in-memory audio library of
// StreamFake.h, and every message box caught instead of shown.
#pragma once

#include "MainForm.h"
#include "MessageBox.h"
#include "StreamFake.h"

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

    QTemporaryDir dir_;
    std::string data_;
    std::string config_;
    std::vector<CaughtMessage> messages_;
    std::unique_ptr<TForm1> form_;
    StreamFakeControl* fake_ = nullptr;

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

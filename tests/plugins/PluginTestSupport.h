// Shared set-up for the plug-in host tests: the fake audio library bound as the engine
// binds it, the host initialised, message boxes recorded, and a stand-in for the engine's
// window that records what the host posts to it.
#pragma once

#include "FakeBass.h"
#include "MessageBox.h"
#include "MessageWindow.h"
#include "OutputEmulatorDetail.h"
#include "PluginCtrl.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

struct PostedToEngine {
    uint32_t msg;
    WPARAM wParam;
    LPARAM lParam;
};

class PluginHostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Lets posted messages arrive.
    static void Pump();
    // Messages the engine's window got with this number.
    int Count(uint32_t msg) const;
    // Copies tests/Plugins/in_tone.so to a new name there; removed again at TearDown.
    std::string CopyTone(const std::string& name);
    TOutModule& Out() { return *EmulatedOutputModule(); }

    FakeBassControl* fake = nullptr;
    std::unique_ptr<TMessageWindow> engine;
    std::vector<PostedToEngine> posted;
    std::vector<std::pair<std::string, std::string>> boxes;
    std::vector<std::string> copies;
};

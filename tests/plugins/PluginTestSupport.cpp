#include "PluginTestSupport.h"

#include "Dynamic_Bass.h"
#include "System.h"

#include <QCoreApplication>

#include <filesystem>

#include <unistd.h>

void PluginHostTest::SetUp()
{
    ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(ProgramFolder() + "libbass.so"));
    fake = FakeBass_Control();
    fake->Reset();
    SetMessageBoxHandler([this](const std::string& t, const std::string& c, TMessageIcon) { boxes.emplace_back(t, c); });
    engine = std::make_unique<TMessageWindow>(
        [this](uint32_t m, WPARAM w, LPARAM l) { posted.push_back({m, w, l}); });
    ASSERT_TRUE(InitPluginHost());
    SetEngineWindow(engine->Handle());
    SetStreamInfo(TStreamInfo{});
}

void PluginHostTest::TearDown()
{
    SelectPlugin(-1);
    Out().Close();
    ShutdownPluginHost();
    SetEngineWindow(0);
    Pump();
    engine.reset();
    SetMessageBoxHandler({});
    for (const auto& c : copies)
        std::filesystem::remove(ProgramFolder() + "Plugins/" + c);
}

void PluginHostTest::Pump()
{
    for (int i = 0; i < 3; ++i)
        ProcessMessages();
}

int PluginHostTest::Count(uint32_t msg) const
{
    int n = 0;
    for (const auto& p : posted)
        n += p.msg == msg;
    return n;
}

std::string PluginHostTest::CopyTone(const std::string& tag)
{
    // Test processes may run side by side: the process id keeps their copies apart.
    const std::string name = "in_tone_" + std::to_string(::getpid()) + "_" + tag + ".so";
    const std::string dir = ProgramFolder() + "Plugins/";
    std::filesystem::copy_file(dir + "in_tone.so", dir + name, std::filesystem::copy_options::overwrite_existing);
    copies.push_back(name);
    return name;
}

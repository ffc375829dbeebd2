#include "TrayFixture.h"

#include "MessageWindow.h"
#include "Settings.h"

#include <QApplication>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

void PutLE(std::ofstream& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

}  // namespace

void WriteToneWav(const std::string& path, double hz, double seconds)
{
    const uint32_t rate = 44100;
    const uint32_t frames = static_cast<uint32_t>(seconds * rate);
    const uint32_t dataBytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    PutLE(out, 36 + dataBytes, 4);
    out.write("WAVEfmt ", 8);
    PutLE(out, 16, 4);
    PutLE(out, 1, 2);  // PCM
    PutLE(out, 2, 2);
    PutLE(out, rate, 4);
    PutLE(out, rate * 4, 4);
    PutLE(out, 4, 2);
    PutLE(out, 16, 2);
    out.write("data", 4);
    PutLE(out, dataBytes, 4);
    for (uint32_t i = 0; i < frames; ++i) {
        auto s = static_cast<int16_t>(std::lround(12000 * std::sin(2 * M_PI * hz * i / rate)));
        PutLE(out, static_cast<uint16_t>(s), 2);
        PutLE(out, static_cast<uint16_t>(s), 2);
    }
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void TrayTest::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    std::string root = dir_.path().toStdString();
    config_ = root + "/config";
    data_ = root + "/music";
    ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config_.c_str(), 1), 0);
    StreamFake_Reset();
    fake_ = StreamFake_Control();
    previous_ = SetMessageBoxHandler([this](const std::string& text, const std::string& caption, TMessageIcon) {
        messages_.push_back({text, caption});
    });
}

void TrayTest::TearDown()
{
    form_.reset();
    SetMessageBoxHandler(previous_);
    ::unsetenv("XDG_CONFIG_HOME");
}

void TrayTest::MakePlaylist(int count, int missingFrom)
{
    std::filesystem::create_directories(data_);
    std::ofstream ini(data_ + "/Playlist.ini");
    ini << "[Main]\nMainPath=" << data_ << "/\n[Default]\n";
    for (int n = 1; n <= count; ++n) {
        ini << "Track" << n << "=t" << n << ".wav\n";
        if (missingFrom == 0 || n < missingFrom)
            WriteToneWav(Track(n), 220.0 * n, 0.2);
    }
}

void TrayTest::WriteSettingsFile(const std::string& shuffle, const std::string& panel)
{
    TSettingsStore store;
    ASSERT_TRUE(store.WriteString("Path", data_));
    ASSERT_TRUE(store.WriteString("Shuffle", shuffle));
    ASSERT_TRUE(store.WriteString("Panel", panel));
}

void TrayTest::Start(unsigned seed)
{
    form_ = std::make_unique<TForm1>();
    form_->SeedSource = [seed] { return seed; };
    ASSERT_TRUE(form_->FormCreate());
    form_->ShowMainWindow();
    Settle();
}

void TrayTest::Settle()
{
    for (int i = 0; i < 3; ++i)
        ProcessMessages();
}

bool TrayTest::Playing() const
{
    return form_ && form_->Player() && form_->Player()->Mode() == plmPlaying;
}

std::string TrayTest::Setting(const std::string& name) const
{
    return TSettingsStore().ReadString(name).value_or("<missing>");
}

void TrayTest::GoTo(int n)
{
    while (form_->TrackIndex() > n)
        form_->N8Click();
    while (form_->TrackIndex() < n)
        form_->N9Click();
    Settle();
}

std::string TrayTest::Messages() const
{
    std::string all;
    for (const auto& m : messages_)
        all += (all.empty() ? "" : "; ") + m.caption + ": " + m.text;
    return all.empty() ? "none" : all;
}

// The shell needs a widget application; the tests run on Qt's offscreen platform.
int main(int argc, char** argv)
{
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("SDL_AUDIODRIVER", "dummy", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

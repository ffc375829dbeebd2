#include "TrayFixture.h"

#include "MessageWindow.h"
#include "Settings.h"

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

void WriteSilentMp3(const std::string& path, int frames)
{
    // MPEG-1 Layer III, 128 kbit/s, 44100 Hz, stereo, no padding: 417-byte frames whose
    // side information and main data are all zero, which decoders play as silence.
    const unsigned char header[4] = {0xFF, 0xFB, 0x90, 0x00};
    std::ofstream out(path, std::ios::binary);
    for (int i = 0; i < frames; ++i) {
        out.write(reinterpret_cast<const char*>(header), 4);
        for (int b = 4; b < 417; ++b)
            out.put('\0');
    }
}

std::string ReadTextFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> OpenedFiles(const std::vector<std::string>& calls)
{
    // "BASS_StreamCreateFile(<name>,<offset>,<length>,<flags>)"
    const std::string prefix = "BASS_StreamCreateFile(";
    std::vector<std::string> files;
    for (const std::string& c : calls) {
        if (c.rfind(prefix, 0) != 0)
            continue;
        std::string args = c.substr(prefix.size());
        for (int i = 0; i < 3; ++i)
            args.erase(args.rfind(','));
        files.push_back(args);
    }
    return files;
}

int LastCall(const std::vector<std::string>& calls, const std::string& prefix)
{
    for (int i = static_cast<int>(calls.size()) - 1; i >= 0; --i)
        if (calls[static_cast<size_t>(i)].rfind(prefix, 0) == 0)
            return i;
    return -1;
}

void TrayTest::SetUp()
{
    ASSERT_TRUE(dir_.isValid());
    std::string root = dir_.path().toStdString();
    config_ = root + "/config";
    data_ = root + "/music";
    ASSERT_EQ(::setenv("XDG_CONFIG_HOME", config_.c_str(), 1), 0);
    fake_ = FakeBass_Control();
    fake_->Reset();
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
        ini << "Track" << n << "=t" << n << ".mp3\n";
        if (missingFrom == 0 || n < missingFrom)
            WriteSilentMp3(Track(n), 40);
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

#include "Offline.h"

#include <chrono>

namespace aubadine::bass::test {

const Files& Files::get() {
    static const Files files = [] {
        Files f;
        const std::string dir = fixtureDir();
        f.tone = sines({440.0, 1000.0}, 2.0, 44100, 2, 0.25);
        f.wav = dir + "/tone.wav";
        encodeFile(f.wav, "wav", "pcm_s16le", f.tone);
        f.mp3 = dir + "/tone.mp3";
        encodeFile(f.mp3, "mp3", "libmp3lame", f.tone, {{"title", "Dawn Chorus"}, {"artist", "Aubadine"}}, true);
        f.ogg = dir + "/tone.ogg";
        encodeFile(f.ogg, "ogg", "libvorbis", f.tone, {{"TITLE", "Morning Song"}, {"ARTIST", "Aubadine"}});
        f.mp2 = dir + "/tone.mp2";
        encodeFile(f.mp2, "mp2", "mp2", f.tone);
        f.monoWav = dir + "/mono22k.wav";
        encodeFile(f.monoWav, "wav", "pcm_s16le", sine(1000.0, 1.0, 22050, 1, 0.5));
        f.u8Wav = dir + "/u8.wav";
        encodeFile(f.u8Wav, "wav", "pcm_u8", sine(1000.0, 0.5, 44100, 1, 0.5));
        // Chained Ogg, as internet radio is saved: a 1.5 s link at 440 Hz, then a 1 s one at
        // 880 Hz, each a whole Ogg file of its own (lengths not multiples of Vorbis blocks).
        f.chainFirst = sine(440.0, 1.5, 44100, 2, 0.4);
        f.chainSecond = sine(880.0, 1.0, 44100, 2, 0.4);
        encodeFile(dir + "/link1.ogg", "ogg", "libvorbis", f.chainFirst, {{"TITLE", "First Light"}});
        encodeFile(dir + "/link2.ogg", "ogg", "libvorbis", f.chainSecond, {{"TITLE", "Second Light"}});
        auto chain = readFile(dir + "/link1.ogg");
        const auto second = readFile(dir + "/link2.ogg");
        chain.insert(chain.end(), second.begin(), second.end());
        f.chainedOgg = dir + "/chained.ogg";
        writeFile(f.chainedOgg, chain);
        f.modBytes = tinyMod("Aubadine test", 16);
        f.mod = dir + "/tiny.mod";
        writeFile(f.mod, f.modBytes);
        return f;
    }();
    return files;
}

void Offline::SetUp() {
    Files::get();
    ASSERT_EQ(BASS_SetConfig(BASS_CONFIG_MAXVOL, 255), 255u);
    BASS_SetConfig(BASS_CONFIG_GVOL_STREAM, 255);
    BASS_SetConfig(BASS_CONFIG_GVOL_MUSIC, 255);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
}

void Offline::TearDown() { EXPECT_TRUE(BASS_Free()); }

std::vector<int16_t> Offline::render(size_t frames) {
    std::vector<int16_t> out(frames * 2);
    const DWORD bytes = static_cast<DWORD>(frames * 4);
    EXPECT_EQ(AUBADINE_BASS_Render(out.data(), bytes), bytes);
    return out;
}

std::vector<int16_t> Offline::renderUntilStopped(DWORD channel, double maxSeconds, size_t block) {
    std::vector<int16_t> all;
    const auto limit = static_cast<size_t>(maxSeconds * 44100);
    while (BASS_ChannelIsActive(channel) != BASS_ACTIVE_STOPPED && all.size() / 2 < limit) {
        auto part = render(block);
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

void SyncCounter::callback(HSYNC, DWORD channel, uintptr_t, void* user) {
    auto* self = static_cast<SyncCounter*>(user);
    std::lock_guard lock(self->mutex);
    ++self->count;
    self->channel = channel;
    self->user = user;
    self->changed.notify_all();
}

bool SyncCounter::waitFor(int n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return count >= n; });
}

void SyncLog::callback(HSYNC sync, DWORD channel, uintptr_t, void* user) {
    auto* self = static_cast<SyncLog*>(user);
    const QWORD position = BASS_ChannelGetPosition(channel);
    std::lock_guard lock(self->mutex);
    self->calls.push_back({sync, position});
    self->changed.notify_all();
}

bool SyncLog::waitFor(size_t n) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::seconds(10), [&] { return calls.size() >= n; });
}

std::vector<SyncLog::Call> SyncLog::snapshot() {
    std::lock_guard lock(mutex);
    return calls;
}

}  // namespace aubadine::bass::test

// A test double of the audio library: libbass.so, libbasswma.so and libbasscd.so built from
// this folder export every name of their lists; the calls the engine makes behave as the
// control block says and are recorded there. Tests link the fake libbass.so (and the
// add-ons) so that the engine, which loads them from the test program's folder, and the
// test share one control block.
//
// Channels: a file, address or CD track name is looked up in `sources`; an unknown name
// gets `defaultSource` while `acceptUnknown` is set, otherwise creation fails. Channels
// keep their own play state, position, syncs, DSPs and effects; nothing plays by itself:
// a test moves a channel (SetPosition, FakeBass_EndChannel) and calls the recorded
// callbacks.
//
// A child process (the built player copied beside the fake) cannot share the control
// block: with the environment variable FAKE_BASS_LOG naming a file, the recorded calls are
// appended to it, one a line, at least at each BASS_Init, BASS_ChannelPlay,
// BASS_ChannelStop and BASS_Free.
#pragma once

#include "bass.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

struct FakeSource {
    uint32_t freq = 44100;
    uint32_t chans = 2;
    uint32_t flags = 0;                // BASS_SAMPLE_8BITS makes an 8-bit channel
    uint64_t length = 441000 * 4;      // bytes (10 s of 16-bit stereo at 44100 Hz)
    uint32_t fileSize = 0xFFFFFFFFu;   // BASS_StreamGetFilePosition(.., 2)
    std::map<uint32_t, std::string> tags; // by tag kind; may hold NULs (lists end with "\0\0")
    bool endsOnPlay = false;           // over as soon as it starts: BASS_ChannelPlay ends it
};

struct FakeSync {
    uint32_t handle = 0;
    uint32_t type = 0;
    SYNCPROC* proc = nullptr;
    void* user = nullptr;
};

struct FakeEffect {
    uint32_t handle = 0;
    uint32_t type = 0;
    uint32_t priority = 0;
    std::vector<float> params;         // the last parameters set, as floats
};

struct FakeChannel {
    std::string name;
    std::string creator;               // "StreamCreateFile", "MusicLoad", ...
    FakeSource source;
    uint64_t position = 0;             // bytes
    uint32_t state = BASS_ACTIVE_STOPPED;
    std::vector<FakeSync> syncs;
    std::vector<std::pair<uint32_t, DSPPROC*>> dsps;
    std::vector<FakeEffect> effects;
    STREAMPROC* proc = nullptr;        // a user stream's (BASS_StreamCreate): tests pull with it
    void* user = nullptr;
    int pan = 0;                       // the last BASS_ChannelSetAttributes pan
};

struct FakeBassControl {
    uint32_t version = 0x00010002;  // what BASS_GetVersion reports
    bool initResult = true;
    int initError = 3;              // error code after a failing BASS_Init
    uint32_t dsver = 9;             // BASS_GetInfo's effects level
    uint32_t activeState = 0;       // BASS_ChannelIsActive for handles the fake does not know
    bool streamCreateRefused = false; // BASS_StreamCreate (user streams) fails
    // While set, asking a playing user stream its state (BASS_ChannelIsActive) plays
    // userStreamBlock bytes of it, as time passing would.
    bool userStreamsPlay = false;
    uint32_t userStreamBlock = 32768;
    std::vector<uint8_t> pulled;        // every byte user streams have given, in order
    int initCalls = 0;
    int freeCalls = 0;
    int initDevice = -2;
    uint32_t initFreq = 0;
    uint32_t config[16] = {};
    std::vector<std::string> calls; // the recorded calls with their arguments, in order
    std::vector<std::string> cdDrives;  // descriptions, drive 0 first
    std::vector<uint32_t> cdLetters;    // letters (0 = A:) of the drives
    std::map<uint32_t, uint32_t> cdTrackLengths; // drive * 100 + track -> bytes

    // Channels.
    std::map<std::string, FakeSource> sources;
    FakeSource defaultSource;
    bool acceptUnknown = true;
    std::vector<std::string> refuse;    // names every creator refuses
    bool musicRefused = false;          // BASS_MusicLoad refuses everything
    bool urlRefused = false;            // BASS_StreamCreateURL refuses everything
    bool fxRefused = false;             // BASS_ChannelSetFX answers 0
    bool playRefused = false;           // BASS_ChannelPlay fails
    std::map<uint32_t, FakeChannel> channels;
    uint32_t nextHandle = 100;
    std::vector<float> fft;             // BASS_ChannelGetData(FFT512); empty: fails (-1)
    std::vector<float> fft2048;         // FFT2048 (| FFT_INDIVIDUAL): magnitudes, missing ones 0
    std::vector<int16_t> samples;       // sample data, given from the start on every call
    uint32_t buffered = 0;              // BASS_ChannelGetData(handle, NULL, 0)
    int getDataCalls = 0;

    void Reset() { *this = FakeBassControl(); }
    FakeChannel* Find(uint32_t handle)
    {
        auto it = channels.find(handle);
        return it == channels.end() ? nullptr : &it->second;
    }
    // Number of recorded calls that start with prefix.
    int Count(const std::string& prefix) const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.rfind(prefix, 0) == 0;
        return n;
    }
};

extern "C" FakeBassControl* FakeBass_Control();
// Plays bytes of a user stream: calls its STREAMPROC, keeps what it gives in `pulled`, and
// stops the channel when the procedure says the stream has ended. Returns its result.
extern "C" uint32_t FakeBass_PullUserStream(uint32_t handle, uint32_t bytes);
// Creates a channel for name as creator would (shared by the three fakes); 0 when refused.
extern "C" uint32_t FakeBass_CreateChannel(const char* name, const char* creator);
// The channel has been heard to its end: it stops at its length and its end syncs run on
// the calling thread, as the library's sync thread would run them. False when the channel
// is unknown (freed) or has no end sync.
extern "C" bool FakeBass_EndChannel(uint32_t handle);

// A test double of the audio library for the player's shell: libbass.so built from this
// folder keeps streams in memory. Streams are created from any existing file, play, pause
// and stop at once, and end only when a test says so (StreamFake_End runs the channel's
// end sync, as the library's sync thread would). Every call that matters to the shell is
// recorded, so a test sees which files were opened and what happened to each channel.
//
// Tests link this library, so the engine (which loads libbass.so from the test program's
// folder) and the test share one control block. A child process (the built player copied
// beside the library) writes the same records, one per line, to the file named by the
// environment variable STREAM_FAKE_LOG.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct StreamFakeChannel {
    std::string file;
    bool playing = false;
    bool paused = false;
    bool freed = false;
    void* endSync = nullptr;  // SYNCPROC*
    void* endUser = nullptr;
};

struct StreamFakeControl {
    std::vector<std::string> opened;   // files given to BASS_StreamCreateFile, in order
    std::vector<std::string> events;   // "open 1 /x/a.wav", "play 1", "pause 1", "stop 1", "free 1", "bass-free"
    std::vector<StreamFakeChannel> channels;  // handle n is channels[n - 1]
    int frees = 0;                     // BASS_Free calls
};

extern "C" StreamFakeControl* StreamFake_Control();
extern "C" void StreamFake_Reset();
// Runs the end sync of the channel (the track has been heard to its end). False when the
// channel is unknown, freed or has no end sync.
extern "C" bool StreamFake_End(uint32_t handle);

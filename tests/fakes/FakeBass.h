// A test double of the audio library: libbass.so, libbasswma.so and libbasscd.so built from
// this folder export every name of their lists; the calls the engine makes behave as the
// control block says and are recorded there. Tests link the fake libbass.so (and the
// add-ons) so that the engine, which loads them from the test program's folder, and the
// test share one control block.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FakeBassControl {
    uint32_t version = 0x00010002;  // what BASS_GetVersion reports
    bool initResult = true;
    int initError = 3;              // error code after a failing BASS_Init
    uint32_t dsver = 9;             // BASS_GetInfo's effects level
    uint32_t activeState = 0;       // BASS_ChannelIsActive for every handle
    int initCalls = 0;
    int freeCalls = 0;
    int initDevice = -2;
    uint32_t initFreq = 0;
    uint32_t config[16] = {};
    std::vector<std::string> calls; // names of the recorded calls, in order
    std::vector<std::string> cdDrives;  // descriptions, drive 0 first
    std::vector<uint32_t> cdLetters;    // letters (0 = A:) of the drives

    void Reset() { *this = FakeBassControl(); }
};

extern "C" FakeBassControl* FakeBass_Control();

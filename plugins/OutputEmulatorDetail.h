// The output emulator's inner operations, for the manager and for tests. Nothing else uses
// them: plug-ins see only the output-module record.
#pragma once

#include "bass.h"

#include <cstdint>

namespace emulator_detail {

// The ring buffer of size bytes (0 releases it); false when it cannot be allocated.
bool AllocateRing(uint32_t size);
// The output module's Init and Quit (the hidden window and the ready flag).
void Init();
void Quit();
bool Ready();

// The user stream's pull function (runs on the audio library's mixer thread).
DWORD StreamProc(HSTREAM handle, void* buffer, DWORD length, void* user);
// The stream the last Open created (0: none).
HSTREAM Stream();

struct RingState {
    uint32_t size, readPos, writePos, used, block;
    uint64_t written;
    bool startPending, endOfFile, resumeWait, seekPending;
};
RingState State();

// Test hook: called by StreamProc while it holds the ring and reports reader busy.
void SetCopyHook(void (*hook)());

}  // namespace emulator_detail

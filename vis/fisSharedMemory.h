// TfisSharedMemory: one named block of shared memory and its companion named semaphore,
// the channel through which the player and an outside visualization host share the
// visualization block. The component knows nothing of what the block holds.
//
// On this system the block is a POSIX shared memory object and the companion is a named
// POSIX semaphore, both private to the user: ShareName "VisOutSharedMemory" becomes
// "/VisOutSharedMemory-<uid>" and its semaphore "/VisOutSharedMemory_SMMutex-<uid>", made
// with mode 0600. Every process that opens the block holds a shared flock on it; the one
// that closes it last (it can take the lock exclusively) removes the block and the
// semaphore. A block left behind by a process that died is found alone on the next open,
// cleared, and used again; a block under our name that another user owns, or that others
// can read, is refused.
//
// Threads: created, opened, mapped and closed on one thread (the UI thread); the mapped
// memory itself may be used from any thread.
#pragma once

#include <cstdint>
#include <string>

#include <semaphore.h>

class TfisSharedMemory {
public:
    TfisSharedMemory();
    ~TfisSharedMemory();
    TfisSharedMemory(const TfisSharedMemory&) = delete;
    TfisSharedMemory& operator=(const TfisSharedMemory&) = delete;

    // Published properties; set them before OpenMapping.
    std::string ShareName;
    int32_t Size = 0;       // bytes of the block and of every view
    bool ReadOnly = false;  // views are read-only when set

    // Numbers of the messages "WM_SendingData" and "WM_RequestingData" (process-wide).
    uint32_t SendingDataMessage = 0;
    uint32_t RequestingDataMessage = 0;

    // Opens (creating when missing) the block and the semaphore. True only when both are
    // open and no block was open before the call; Size 0 or less fails.
    bool OpenMapping();
    // A view of the whole block, or nullptr when no block is open or mapping fails.
    void* MapView();
    // False when no block is open; otherwise unmaps View (taken from MapView) and is true.
    bool UnmapView(void* View);
    // Closes the block and the semaphore, removing both when no other process holds the
    // block. Always true.
    bool Close();

    bool MappingOpen() const { return FMapping >= 0; }
    bool MutexOpen() const { return FMutex != nullptr; }
    // The system names of the block and the semaphore for ShareName and this user.
    std::string BlockName() const;
    std::string MutexName() const;

private:
    int OpenBlock();

    int FMapping = -1;          // the block's descriptor
    sem_t* FMutex = nullptr;    // the semaphore; the component never waits on it
};

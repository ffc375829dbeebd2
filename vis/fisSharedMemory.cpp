#include "fisSharedMemory.h"

#include "MessageWindow.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A closing peer removes the name between our open and our lock at most a few times in a
// row; after that something else is wrong.
constexpr int kOpenAttempts = 8;

bool SameObject(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

TfisSharedMemory::TfisSharedMemory()
{
    SendingDataMessage = RegisterWindowMessage("WM_SendingData");
    RequestingDataMessage = RegisterWindowMessage("WM_RequestingData");
}

TfisSharedMemory::~TfisSharedMemory()
{
    Close();
}

std::string TfisSharedMemory::BlockName() const
{
    return "/" + ShareName + "-" + std::to_string(::geteuid());
}

std::string TfisSharedMemory::MutexName() const
{
    return "/" + ShareName + "_SMMutex-" + std::to_string(::geteuid());
}

// The block's descriptor, holding a shared lock, or -1.
int TfisSharedMemory::OpenBlock()
{
    const std::string name = BlockName();
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
        int fd = ::shm_open(name.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return -1;
        // Waits while a peer that is closing the block decides whether to remove it.
        while (::flock(fd, LOCK_SH) != 0) {
            if (errno != EINTR) {
                ::close(fd);
                return -1;
            }
        }
        struct stat st {};
        if (::fstat(fd, &st) != 0 || st.st_uid != ::geteuid() || (st.st_mode & 077) != 0) {
            ::close(fd);  // not ours, or readable by others: never share it
            return -1;
        }
        // The name must still lead to this object: a closing peer may have removed it
        // between our open and our lock; then start again with a new block.
        int again = ::shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
        struct stat st2 {};
        bool same = again >= 0 && ::fstat(again, &st2) == 0 && SameObject(st, st2);
        if (again >= 0)
            ::close(again);
        if (!same) {
            ::close(fd);
            continue;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
            // Alone with the block: new, or left behind by a process that died. Start it
            // empty at the right size, with a fresh semaphore (a dead holder may have left
            // the old one taken).
            if (::ftruncate(fd, 0) != 0 || ::ftruncate(fd, Size) != 0) {
                ::close(fd);
                return -1;
            }
            ::sem_unlink(MutexName().c_str());
            ::flock(fd, LOCK_SH);
        } else {
            // The failed upgrade may have dropped our shared lock (flock converts by
            // unlocking first): take it again, and make sure nobody removed the block
            // in that moment.
            ::flock(fd, LOCK_SH);
            again = ::shm_open(name.c_str(), O_RDONLY | O_CLOEXEC, 0);
            same = again >= 0 && ::fstat(again, &st2) == 0 && SameObject(st, st2);
            if (again >= 0)
                ::close(again);
            if (!same) {
                ::close(fd);
                continue;
            }
            if (st.st_size < Size) {
                ::close(fd);  // a peer's block too small for our views
                return -1;
            }
        }
        return fd;
    }
    return -1;
}

bool TfisSharedMemory::OpenMapping()
{
    bool result = FMapping < 0 && FMutex == nullptr;

    // The block; a size of 0 cannot be made.
    if (FMapping < 0) {
        if (Size > 0)
            FMapping = OpenBlock();
        if (FMapping < 0) {
            Close();
            result = false;
        }
    }

    // Whatever the block gave, the semaphore.
    if (FMutex == nullptr) {
        sem_t* mutex = ::sem_open(MutexName().c_str(), O_CREAT, 0600, 1);
        if (mutex == SEM_FAILED) {
            Close();
            result = false;
        } else {
            FMutex = mutex;
        }
    }
    return result;
}

void* TfisSharedMemory::MapView()
{
    if (FMapping < 0 || Size <= 0)
        return nullptr;
    void* view = ::mmap(nullptr, static_cast<size_t>(Size), ReadOnly ? PROT_READ : PROT_READ | PROT_WRITE, MAP_SHARED,
                        FMapping, 0);
    return view == MAP_FAILED ? nullptr : view;
}

bool TfisSharedMemory::UnmapView(void* View)
{
    if (FMapping < 0)
        return false;
    if (View)
        ::munmap(View, static_cast<size_t>(Size));
    return true;
}

bool TfisSharedMemory::Close()
{
    if (FMapping >= 0) {
        // Last one out removes the names; the exclusive lock keeps a newcomer from
        // taking the block while we do.
        if (::flock(FMapping, LOCK_EX | LOCK_NB) == 0) {
            ::shm_unlink(BlockName().c_str());
            ::sem_unlink(MutexName().c_str());
        }
        ::close(FMapping);
        FMapping = -1;
    }
    if (FMutex) {
        ::sem_close(FMutex);
        FMutex = nullptr;
    }
    return true;
}

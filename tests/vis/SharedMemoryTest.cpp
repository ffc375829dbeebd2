// The shared block's channel: the block's layout, opening it new or as it exists, its
// permissions and its semaphore, removal by the last one out, a block left behind by a
// process that died, and blocks that are not ours.
#include "VisDrive.h"
#include "fisSharedMemory.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <semaphore.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The block's table: every field at its offset.
static_assert(offsetof(TVisSharedBlock, Mode) == 0);
static_assert(offsetof(TVisSharedBlock, SampleRate) == 4);
static_assert(offsetof(TVisSharedBlock, BitRate) == 8);
static_assert(offsetof(TVisSharedBlock, Channels) == 12);
static_assert(offsetof(TVisSharedBlock, Duration) == 16);
static_assert(offsetof(TVisSharedBlock, Title) == 20);
static_assert(offsetof(TVisSharedBlock, SyncVisWindow) == 276);
static_assert(offsetof(TVisSharedBlock, DataReady) == 280);
static_assert(offsetof(TVisSharedBlock, DataSampleRate) == 284);
static_assert(offsetof(TVisSharedBlock, DataChannels) == 288);
static_assert(offsetof(TVisSharedBlock, Position) == 292);
static_assert(offsetof(TVisSharedBlock, Data) == 296);
static_assert(sizeof(TVisSharedBlock) == 2600);
static_assert(offsetof(TVisRequest, Period) == 4 && offsetof(TVisRequest, WaveChannels) == 12);

class SharedMemory : public ::testing::Test {
protected:
    std::string name = "AubadineShmTest" + std::to_string(::getpid()) + "_" +
                       ::testing::UnitTest::GetInstance()->current_test_info()->name();

    void TearDown() override
    {
        TfisSharedMemory probe;
        probe.ShareName = name;
        ::shm_unlink(probe.BlockName().c_str());
        ::sem_unlink(probe.MutexName().c_str());
    }
    void Setup(TfisSharedMemory& m, int32_t size = 2600)
    {
        m.ShareName = name;
        m.Size = size;
    }
    bool BlockExists(const TfisSharedMemory& m)
    {
        int fd = ::shm_open(m.BlockName().c_str(), O_RDONLY, 0);
        if (fd >= 0)
            ::close(fd);
        return fd >= 0;
    }
    bool MutexExists(const TfisSharedMemory& m)
    {
        sem_t* s = ::sem_open(m.MutexName().c_str(), 0);
        if (s != SEM_FAILED)
            ::sem_close(s);
        return s != SEM_FAILED;
    }
};

TEST_F(SharedMemory, NamesArePerUserAndMessagesRegistered)
{
    TfisSharedMemory m;
    m.ShareName = "VisOutSharedMemory";
    const std::string uid = std::to_string(::geteuid());
    EXPECT_EQ(m.BlockName(), "/VisOutSharedMemory-" + uid);
    EXPECT_EQ(m.MutexName(), "/VisOutSharedMemory_SMMutex-" + uid);
    TfisSharedMemory other;
    EXPECT_NE(m.SendingDataMessage, 0u);
    EXPECT_EQ(m.SendingDataMessage, other.SendingDataMessage);
    EXPECT_NE(m.SendingDataMessage, m.RequestingDataMessage);
    EXPECT_GE(m.SendingDataMessage, 0xC000u);
}

TEST_F(SharedMemory, SizeZeroFailsAndMapsNothing)
{
    TfisSharedMemory m;
    Setup(m, 0);
    EXPECT_FALSE(m.OpenMapping());
    EXPECT_FALSE(m.MappingOpen());
    EXPECT_EQ(m.MapView(), nullptr);
    EXPECT_FALSE(m.UnmapView(nullptr));
    EXPECT_TRUE(m.MutexOpen());  // the semaphore is still made, as the block's companion
    EXPECT_TRUE(m.Close());
    EXPECT_FALSE(m.MutexOpen());
}

TEST_F(SharedMemory, NewBlockIsPrivateZeroedAndSharedByTheNextOpener)
{
    TfisSharedMemory player;
    Setup(player);
    ASSERT_TRUE(player.OpenMapping());
    EXPECT_FALSE(player.OpenMapping()) << "a second open of the same object reports false";
    auto* a = static_cast<uint8_t*>(player.MapView());
    ASSERT_NE(a, nullptr);
    for (int i = 0; i < 2600; ++i)
        ASSERT_EQ(a[i], 0) << i;

    struct stat st {};
    int fd = ::shm_open(player.BlockName().c_str(), O_RDONLY, 0);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fstat(fd, &st), 0);
    ::close(fd);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_size, 2600);
    ASSERT_EQ(::stat(("/dev/shm/sem." + player.MutexName().substr(1)).c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // The host opens the existing block and sees what the player wrote; its writes come back.
    a[20] = 'T';
    TfisSharedMemory host;
    Setup(host);
    ASSERT_TRUE(host.OpenMapping());
    auto* b = static_cast<uint8_t*>(host.MapView());
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b[20], 'T');
    b[280] = 1;
    EXPECT_EQ(a[280], 1);

    // Read-only views of the same block.
    TfisSharedMemory reader;
    Setup(reader);
    reader.ReadOnly = true;
    ASSERT_TRUE(reader.OpenMapping());
    auto* r = static_cast<uint8_t*>(reader.MapView());
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r[20], 'T');
    EXPECT_TRUE(reader.UnmapView(r));
    reader.Close();

    // The last one out removes block and semaphore, whichever order they close in.
    EXPECT_TRUE(player.UnmapView(a));
    player.Close();
    EXPECT_TRUE(BlockExists(host));
    EXPECT_TRUE(MutexExists(host));
    host.UnmapView(b);
    host.Close();
    EXPECT_FALSE(BlockExists(host));
    EXPECT_FALSE(MutexExists(host));
}

TEST_F(SharedMemory, HostMadeTheBlockFirst)
{
    TfisSharedMemory host;
    Setup(host);
    ASSERT_TRUE(host.OpenMapping());
    auto* h = static_cast<uint8_t*>(host.MapView());
    h[0] = 3;
    TfisSharedMemory player;
    Setup(player);
    ASSERT_TRUE(player.OpenMapping());
    auto* p = static_cast<uint8_t*>(player.MapView());
    EXPECT_EQ(p[0], 3) << "an existing block is shared, not cleared";
    player.UnmapView(p);
    host.UnmapView(h);
}

TEST_F(SharedMemory, BlockOfAProcessKilledIsReusedCleared)
{
    TfisSharedMemory probe;
    Setup(probe);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        TfisSharedMemory m;
        m.ShareName = name;
        m.Size = 2600;
        if (!m.OpenMapping())
            ::_exit(2);
        auto* p = static_cast<uint8_t*>(m.MapView());
        std::memset(p, 0xAB, 2600);
        sem_t* s = ::sem_open(m.MutexName().c_str(), 0);
        ::sem_wait(s);  // dies holding the semaphore
        ::raise(SIGKILL);
        ::_exit(3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    ASSERT_TRUE(BlockExists(probe)) << "a killed process leaves its block behind";

    TfisSharedMemory player;
    Setup(player);
    ASSERT_TRUE(player.OpenMapping());
    auto* p = static_cast<uint8_t*>(player.MapView());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0);
    EXPECT_EQ(p[2599], 0);
    sem_t* s = ::sem_open(player.MutexName().c_str(), 0);
    ASSERT_NE(s, SEM_FAILED);
    EXPECT_EQ(::sem_trywait(s), 0) << "the semaphore the dead process held is fresh again";
    ::sem_post(s);
    ::sem_close(s);
    player.UnmapView(p);
    player.Close();
    EXPECT_FALSE(BlockExists(probe));
}

TEST_F(SharedMemory, BlocksThatAreNotPrivateOrTooSmallAreRefused)
{
    TfisSharedMemory m;
    Setup(m);
    int fd = ::shm_open(m.BlockName().c_str(), O_RDWR | O_CREAT, 0600);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::fchmod(fd, 0644), 0);
    ASSERT_EQ(::ftruncate(fd, 2600), 0);
    EXPECT_FALSE(m.OpenMapping()) << "others could read a 0644 block";
    EXPECT_FALSE(m.MappingOpen());
    m.Close();

    // A peer holds a block of 100 bytes: views of 2600 would fault past its end.
    ASSERT_EQ(::fchmod(fd, 0600), 0);
    ASSERT_EQ(::ftruncate(fd, 100), 0);
    TfisSharedMemory peer;
    Setup(peer, 100);
    ASSERT_TRUE(peer.OpenMapping());
    TfisSharedMemory big;
    Setup(big);
    EXPECT_FALSE(big.OpenMapping());
    ::close(fd);
}

TEST_F(SharedMemory, AnotherUserCannotOpenTheBlock)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run a process as another user";
    TfisSharedMemory m;
    Setup(m);
    ASSERT_TRUE(m.OpenMapping());
    const std::string blockName = m.BlockName();
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(2);
        int fd = ::shm_open(blockName.c_str(), O_RDONLY, 0);
        ::_exit(fd < 0 && errno == EACCES ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

}  // namespace

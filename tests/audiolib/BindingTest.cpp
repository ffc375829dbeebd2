// Loading and binding the three audio libraries: all or nothing, no reloads, one unload.
#include "Dynamic_Bass.h"
#include "RT_BASSWMA.h"
#include "RT_basscd.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <string>

namespace {

const std::string kVariants = std::string(AUBADINE_TEST_BIN_DIR) + "/variants/";
const std::string kPlainBass = kVariants + "bass_plain/libbass.so";
const std::string kFakeDir = std::string(AUBADINE_TEST_BIN_DIR) + "/";

// True while the library at path is mapped into the process.
bool IsMapped(const std::string& path)
{
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (!h)
        return false;
    dlclose(h);
    return true;
}

// Path of the library that holds the code at address.
std::string LibraryOf(const void* address)
{
    Dl_info info{};
    return dladdr(address, &info) && info.dli_fname ? info.dli_fname : "";
}

class BassBinding : public ::testing::Test {
protected:
    void TearDown() override
    {
        Dynamic_Bass::UnloadBassLibrary();
        RT_BASSWMA::UnloadWmaLibrary();
        RT_basscd::UnloadCdLibrary();
    }
};

TEST_F(BassBinding, RefusesMissingFilesAndNonLibrariesThenStillLoadsAGoodOne)
{
    EXPECT_FALSE(Dynamic_Bass::LoadBassLibrary(kVariants + "no_such_folder/libbass.so"));
    EXPECT_FALSE(Dynamic_Bass::LoadBassLibrary(kVariants + "not_a_library/libbass.so"));
    EXPECT_FALSE(Dynamic_Bass::BassLibraryLoaded());

    ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(kPlainBass));
    EXPECT_TRUE(Dynamic_Bass::BassLibraryLoaded());
    EXPECT_EQ(LibraryOf(reinterpret_cast<void*>(Dynamic_Bass::BASS_FXGetParameters)), kPlainBass);
}

TEST_F(BassBinding, ALibraryLackingAnyOneNameIsRefusedAndNotLeftLoaded)
{
    // A name the player never calls, and the last name of the list.
    for (const char* variant : {"bass_no_apply3d", "bass_no_last"}) {
        SCOPED_TRACE(variant);
        std::string path = kVariants + variant + "/libbass.so";
        EXPECT_FALSE(Dynamic_Bass::LoadBassLibrary(path));
        EXPECT_FALSE(Dynamic_Bass::BassLibraryLoaded());
        EXPECT_FALSE(IsMapped(path));
    }
}

TEST_F(BassBinding, ASecondLoadSucceedsWithoutLoadingAgainEvenWithAnotherPath)
{
    ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(kPlainBass));
    auto firstBinding = Dynamic_Bass::BASS_GetVersion;
    EXPECT_TRUE(Dynamic_Bass::LoadBassLibrary(kVariants + "no_such_folder/libbass.so"));
    EXPECT_TRUE(Dynamic_Bass::LoadBassLibrary(kFakeDir + "libbass.so"));
    EXPECT_EQ(Dynamic_Bass::BASS_GetVersion, firstBinding);
    EXPECT_FALSE(IsMapped(kFakeDir + "libbass.so"));
}

TEST_F(BassBinding, OneUnloadUnloadsAfterAnyNumberOfLoads)
{
    ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(kPlainBass));
    ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(kPlainBass));
    Dynamic_Bass::UnloadBassLibrary();
    EXPECT_FALSE(Dynamic_Bass::BassLibraryLoaded());
    EXPECT_FALSE(IsMapped(kPlainBass));
    Dynamic_Bass::UnloadBassLibrary();  // nothing loaded: nothing happens
}

TEST_F(BassBinding, AnEmptyPathSearchesTheSystemLibraryPath)
{
    // CTest runs this with a library path that names the folder of a complete library.
    const char* searchPath = getenv("LD_LIBRARY_PATH");
    if (!searchPath || std::string(searchPath).find(AUBADINE_TEST_BIN_DIR) == std::string::npos)
        GTEST_SKIP() << "needs LD_LIBRARY_PATH=" AUBADINE_TEST_BIN_DIR " (set by ctest)";
    ASSERT_TRUE(Dynamic_Bass::LoadBassLibrary(""));
    EXPECT_EQ(LibraryOf(reinterpret_cast<void*>(Dynamic_Bass::BASS_Init)), kFakeDir + "libbass.so");
}

TEST_F(BassBinding, AddOnsBindTheirOwnListsAndTakeThePathAsGiven)
{
    EXPECT_FALSE(RT_BASSWMA::LoadWmaLibrary(""));
    EXPECT_FALSE(RT_basscd::LoadCdLibrary(""));
    EXPECT_FALSE(RT_BASSWMA::LoadWmaLibrary(kVariants + "wma_no_close/libbasswma.so"));
    EXPECT_FALSE(RT_basscd::LoadCdLibrary(kVariants + "cd_no_first/libbasscd.so"));
    EXPECT_FALSE(IsMapped(kVariants + "wma_no_close/libbasswma.so"));

    RT_basscd::UnloadCdLibrary();  // never loaded: nothing happens
    ASSERT_TRUE(RT_BASSWMA::LoadWmaLibrary(kFakeDir + "libbasswma.so"));
    EXPECT_TRUE(RT_BASSWMA::WmaLibraryLoaded());
    RT_BASSWMA::UnloadWmaLibrary();
    EXPECT_FALSE(RT_BASSWMA::WmaLibraryLoaded());
}

}  // namespace

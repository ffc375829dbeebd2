// The three built libraries load the way the player loads them (dlopen from one folder,
// libbass.so first) and export every name of their lists with C linkage.
#include "ExportedNames.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdint>
#include <span>
#include <string>

namespace {

using namespace aubadine::bass::test;

struct Library {
    const char* file;
    std::span<const char* const> names;
};

const Library kLibraries[] = {
    {"libbass.so", kBassNames},
    {"libbasswma.so", kWmaNames},
    {"libbasscd.so", kCdNames},
};

TEST(Exports, EveryNameResolvesAndAddOnsShareLibbass) {
    const std::string folder = std::string(AUBADINE_BIN_DIR) + "/";
    void* bass = dlopen((folder + "libbass.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(bass, nullptr) << dlerror();
    for (const Library& lib : kLibraries) {
        SCOPED_TRACE(lib.file);
        void* handle = dlopen((folder + lib.file).c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        for (const char* name : lib.names) EXPECT_NE(dlsym(handle, name), nullptr) << name;
        if (handle != bass) {
            // An add-on's failure shows in libbass's error code: both use the same loaded copy.
            using ErrorGetCode = int (*)();
            auto errorCode = reinterpret_cast<ErrorGetCode>(dlsym(bass, "BASS_ErrorGetCode"));
            using CdLetter = uint32_t (*)(uint32_t);
            using WmaCreate = uint32_t (*)(int, const void*, uint32_t, uint32_t, uint32_t);
            if (auto letter = reinterpret_cast<CdLetter>(dlsym(handle, "BASS_CD_GetDriveLetter"))) {
                EXPECT_EQ(letter(1000), 0xFFFFFFFFu);
                EXPECT_EQ(errorCode(), 23);  // BASS_ERROR_DEVICE
            }
            if (auto create = reinterpret_cast<WmaCreate>(dlsym(handle, "BASS_WMA_StreamCreateFile"))) {
                EXPECT_EQ(create(0, "x.wma", 0, 0, 0), 0u);
                EXPECT_EQ(errorCode(), 8);  // BASS_ERROR_INIT: no device in this process
            }
        }
        dlclose(handle);
    }
    dlclose(bass);
}

TEST(Exports, NamesAreDistinct) {
    for (const Library& lib : kLibraries) {
        for (size_t i = 0; i < lib.names.size(); ++i)
            for (size_t j = i + 1; j < lib.names.size(); ++j) EXPECT_STRNE(lib.names[i], lib.names[j]);
    }
}

}  // namespace

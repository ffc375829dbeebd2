// The plug-in manager: load and unload codes, slots, names, lookups and the active plug-in.
#include "PluginTestSupport.h"

#include "System.h"

#include <cstdlib>

#include <dlfcn.h>

namespace {

// True while the library at path is loaded in this process.
bool LibraryLoaded(const std::string& file)
{
    void* h = dlopen((ProgramFolder() + "Plugins/" + file).c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (h)
        dlclose(h);
    return h != nullptr;
}

}  // namespace

TEST_F(PluginHostTest, LoadAnswersEachRefusalWithItsCode)
{
    EXPECT_EQ(LoadPlugin("in_tone.so"), plDone);
    EXPECT_EQ(LoadPlugin("IN_TONE.SO"), plAlreadyLoaded);  // only the letter case differs
    EXPECT_EQ(LoadPlugin("in_missing.so"), plLoadFailed);
    EXPECT_EQ(LoadPlugin("in_notalibrary.so"), plLoadFailed);
    EXPECT_EQ(LoadPlugin("../Plugins/in_noexport.so"), plLoadFailed);  // no folders in the name
    EXPECT_EQ(LoadPlugin(""), plLoadFailed);

    EXPECT_EQ(LoadPlugin("in_noexport.so"), plNotAPlugin);
    EXPECT_FALSE(LibraryLoaded("in_noexport.so"));
    EXPECT_EQ(FindPluginByName("in_noexport.so"), -1);

    // A null record and a record of another version are refused the same way, before Init.
    const std::string other = CopyTone("misbehaving");
    for (const char* how : {"null", "version"}) {
        setenv("IN_TONE_MISBEHAVE", how, 1);
        EXPECT_EQ(LoadPlugin(other), plNotAPlugin) << how;
        EXPECT_FALSE(LibraryLoaded(other)) << how;
    }
    unsetenv("IN_TONE_MISBEHAVE");
    EXPECT_EQ(LoadPlugin(other), plDone);

    // Without the emulator nothing loads.
    ShutdownPluginHost();
    EXPECT_EQ(LoadPlugin("in_tone.so"), plEmulatorNotReady);
}

TEST_F(PluginHostTest, LoadedRecordAndInfo)
{
    ASSERT_EQ(LoadPlugin("In_Tone.so"), plDone);
    const int slot = FindPluginByName("in_tone.SO");
    ASSERT_EQ(slot, 0);
    const TPluginInfo info = GetPluginInfo(slot);
    EXPECT_EQ(info.Name, "In_Tone.so");  // as given
    EXPECT_EQ(info.Version, WINAMP_IN_VERSION);
    EXPECT_EQ(info.Description, "Tone generator 1.0");
    EXPECT_EQ(info.FileExtensions, "TON");  // the text before the first NUL only
    EXPECT_EQ(info.Seekable, 1);
    EXPECT_NE(info.DllHandle, nullptr);

    TInModule* m = GetPluginModule(slot);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->hMainWindow, EmulatorMainWindow());
    EXPECT_EQ(m->hDllInstance, info.DllHandle);
    EXPECT_EQ(m->outMod, EmulatedOutputModule());
    EXPECT_EQ(m->outMod->version, WINAMP_OUT_VERSION);
    EXPECT_EQ(m->outMod->id, 65537);
    EXPECT_STREQ(m->outMod->description, "BASS Winamp output plug-in emulator");
    ASSERT_NE(m->dsp_dosamples, nullptr);
    short samples[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(m->dsp_dosamples(samples, 4, 16, 2, 44100), 4);
    EXPECT_EQ(samples[7], 8);
    EXPECT_EQ(m->dsp_isactive(), 0);
    EXPECT_EQ(m->SAGetMode(), 0);
    EXPECT_EQ(m->VSAGetMode(nullptr, nullptr), 0);

    // Out of range and empty slots.
    for (int i : {-1, 1, 7, 8}) {
        EXPECT_EQ(GetPluginModule(i), nullptr) << i;
        EXPECT_EQ(GetPluginInfo(i).Name, "") << i;
        EXPECT_EQ(GetPluginInfo(i).Version, 0) << i;
    }
}

TEST_F(PluginHostTest, EightSlotsAndTheLowestFreeOneIsReused)
{
    std::vector<std::string> names;
    for (int i = 0; i < 9; ++i)
        names.push_back(CopyTone(std::to_string(i)));
    for (int i = 0; i < 8; ++i)
        ASSERT_EQ(LoadPlugin(names[i]), plDone) << i;
    EXPECT_EQ(LoadPlugin(names[8]), plNoFreeSlot);
    EXPECT_FALSE(LibraryLoaded(names[8]));

    ASSERT_EQ(UnloadPlugin(names[5]), plDone);
    ASSERT_EQ(UnloadPlugin(names[2]), plDone);
    EXPECT_FALSE(LibraryLoaded(names[2]));
    EXPECT_EQ(GetPluginModule(2), nullptr);
    ASSERT_EQ(LoadPlugin(names[8]), plDone);
    EXPECT_EQ(FindPluginByName(names[8]), 2);
}

TEST_F(PluginHostTest, TheActivePluginStaysLoaded)
{
    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    EXPECT_EQ(UnloadPlugin("in_other.so"), plNotLoaded);

    EXPECT_EQ(SelectPlugin(3), -1);  // empty slot: refused, nothing changes
    EXPECT_EQ(SelectPlugin(8), -1);
    EXPECT_EQ(ActivePlugin(), -1);
    EXPECT_EQ(SelectPlugin(0), 0);
    EXPECT_EQ(SelectPlugin(5), -1);
    EXPECT_EQ(ActivePlugin(), 0);

    EXPECT_EQ(UnloadPlugin("IN_TONE.so"), plInUse);
    EXPECT_NE(GetPluginModule(0), nullptr);
    EXPECT_EQ(SelectPlugin(-1), 0);
    EXPECT_EQ(UnloadPlugin("IN_TONE.so"), plDone);
    EXPECT_FALSE(IsPluginLoaded("in_tone.so"));
    EXPECT_EQ(UnloadPlugin("in_tone.so"), plNotLoaded);
}

TEST_F(PluginHostTest, ExtensionLookupIsASubstringSearchWithoutRegardToCase)
{
    EXPECT_EQ(FindPluginForExtension("TON"), -1);
    const std::string second = CopyTone("second");
    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    ASSERT_EQ(LoadPlugin(second), plDone);
    EXPECT_EQ(FindPluginForExtension("ton"), 0);  // the first slot that lists it
    EXPECT_EQ(FindPluginForExtension("TO"), 0);   // a substring is enough
    EXPECT_EQ(FindPluginForExtension("MP3"), -1);
    ASSERT_EQ(UnloadPlugin("in_tone.so"), plDone);
    EXPECT_EQ(FindPluginForExtension("Ton"), 1);
}

TEST_F(PluginHostTest, OutputTimeFromTheEmulatorOrTheActivePlugin)
{
    EXPECT_EQ(GetOutputTime(false), 0);  // no active plug-in
    ASSERT_EQ(Out().Open(44100, 2, 16, -1, -1), 0);
    Out().Flush(1500);
    EXPECT_EQ(GetOutputTime(true), 1500);
    ASSERT_EQ(LoadPlugin("in_tone.so"), plDone);
    ASSERT_EQ(SelectPlugin(0), 0);
    EXPECT_EQ(GetOutputTime(false), 1500);  // in_tone asks the output module
}

// The input plug-in manager: eight slots, loading and unloading with their result codes,
// lookups by name and by extension, and the active plug-in.
#include "PluginCtrl.h"

#include "OutputEmulatorDetail.h"
#include "System.h"

#include <array>
#include <cstring>

#include <dlfcn.h>

namespace {

struct TSlot {
    TInModule* module = nullptr;
    TPluginInfo info;
};
std::array<TSlot, kMaxPlugins> slots;
int activeIndex = -1;

// Only the letters a..z change; every other byte stays as it is.
std::string UpperAZ(std::string s)
{
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return s;
}

bool ValidIndex(int Index)
{
    return Index >= 0 && Index < kMaxPlugins;
}

std::string TextOrEmpty(const char* s)
{
    return s ? std::string(s) : std::string();
}

}  // namespace

bool InitPluginHost()
{
    slots = {};
    if (emulator_detail::AllocateRing(kFirstRingSize))
        EmulatedOutputModule()->Init();
    activeIndex = -1;
    return emulator_detail::Ready();
}

void ShutdownPluginHost()
{
    for (auto& s : slots) {
        if (!s.module)
            continue;
        if (s.module->Quit)
            s.module->Quit();
        dlclose(s.info.DllHandle);
        s = {};
    }
    activeIndex = -1;
    EmulatedOutputModule()->Quit();
    emulator_detail::AllocateRing(0);
}

int LoadPlugin(const std::string& FileName)
{
    if (!emulator_detail::Ready())
        return plEmulatorNotReady;
    if (IsPluginLoaded(FileName))
        return plAlreadyLoaded;
    int slot = -1;
    for (int i = 0; i < kMaxPlugins && slot < 0; ++i)
        if (!slots[i].module)
            slot = i;
    if (slot < 0)
        return plNoFreeSlot;

    // A name with a folder in it must not reach outside the Plugins folder.
    if (FileName.empty() || FileName.find('/') != std::string::npos)
        return plLoadFailed;
    // Names match without regard to letter case, as they did where plug-ins come from.
    const std::string path = ResolveFileNameCase(ProgramFolder() + "Plugins/" + FileName);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return plLoadFailed;
    auto get = reinterpret_cast<WinampGetInModule2Func>(dlsym(handle, "winampGetInModule2"));
    TInModule* module = get ? get() : nullptr;
    // A missing export, a null record and a record of another version are all refused
    // before the plug-in runs any of its own code beyond the export.
    if (!module || module->version != WINAMP_IN_VERSION) {
        dlclose(handle);
        return plNotAPlugin;
    }

    module->hMainWindow = EmulatorMainWindow();
    module->hDllInstance = handle;
    module->outMod = EmulatedOutputModule();
    if (module->Init)
        module->Init();
    SetHostCallbacks(*module);

    TSlot& s = slots[slot];
    s.module = module;
    s.info.Name = FileName;
    s.info.Version = module->version;
    s.info.Description = TextOrEmpty(module->description);
    s.info.FileExtensions = TextOrEmpty(module->FileExtensions);  // up to the first NUL
    s.info.Seekable = module->is_seekable;
    s.info.DllHandle = handle;
    return plDone;
}

int UnloadPlugin(const std::string& FileName)
{
    const int slot = FindPluginByName(FileName);
    if (slot < 0)
        return plNotLoaded;
    if (slot == activeIndex)
        return plInUse;
    TSlot& s = slots[slot];
    if (s.module->Quit)
        s.module->Quit();
    if (dlclose(s.info.DllHandle) != 0)
        return plUnloadFailed;
    s.module = nullptr;  // the info stays until the next load into this slot
    return plDone;
}

bool IsPluginLoaded(const std::string& FileName)
{
    return FindPluginByName(FileName) >= 0;
}

int FindPluginByName(const std::string& FileName)
{
    const std::string key = UpperAZ(FileName);
    for (int i = 0; i < kMaxPlugins; ++i)
        if (slots[i].module && UpperAZ(slots[i].info.Name) == key)
            return i;
    return -1;
}

int FindPluginForExtension(const std::string& Ext)
{
    const std::string key = UpperAZ(Ext);
    for (int i = 0; i < kMaxPlugins; ++i) {
        if (!slots[i].module)
            continue;
        if (UpperAZ(TextOrEmpty(slots[i].module->FileExtensions)).find(key) != std::string::npos)
            return i;
    }
    return -1;
}

TInModule* GetPluginModule(int Index)
{
    return ValidIndex(Index) ? slots[Index].module : nullptr;
}

TPluginInfo GetPluginInfo(int Index)
{
    if (!ValidIndex(Index) || !slots[Index].module)
        return {};
    return slots[Index].info;
}

int SelectPlugin(int Index)
{
    if (Index != -1 && (!ValidIndex(Index) || !slots[Index].module))
        return -1;
    activeIndex = Index;
    return 0;
}

int ActivePlugin()
{
    return activeIndex;
}

int GetOutputTime(bool FromEmulator)
{
    if (FromEmulator)
        return EmulatedOutputModule()->GetOutputTime();
    TInModule* m = GetPluginModule(activeIndex);
    return (m && m->GetOutputTime) ? m->GetOutputTime() : 0;
}

#include "PluginCtrl.h"

#include <array>

// The manager's state. Loading plug-ins and the emulated output come with the plug-in
// dialog; until then the table stays empty and every lookup answers "none".
namespace {
struct TSlot {
    TInModule* module = nullptr;
    TPluginInfo info;
};
std::array<TSlot, kMaxPlugins> slots;
int activeIndex = -1;
bool emulatorReady = false;
HWND engineWindow = 0;
TStreamInfo streamInfo;
}  // namespace

bool InitPluginHost()
{
    slots = {};
    activeIndex = -1;
    emulatorReady = true;
    return emulatorReady;
}

void ShutdownPluginHost()
{
    for (auto& s : slots) {
        if (s.module && s.module->Quit)
            s.module->Quit();
        s = {};
    }
    activeIndex = -1;
    emulatorReady = false;
}

void SetEngineWindow(HWND Window)
{
    engineWindow = Window;
}

HWND EmulatorWindow()
{
    return 0;
}

void SetStreamInfo(const TStreamInfo& Info)
{
    streamInfo = Info;
}

void SetSeekPending() {}

int FindPluginByName(const std::string&)
{
    return -1;
}

int FindPluginForExtension(const std::string&)
{
    return -1;
}

TInModule* GetPluginModule(int Index)
{
    if (Index < 0 || Index >= kMaxPlugins)
        return nullptr;
    return slots[Index].module;
}

TPluginInfo GetPluginInfo(int Index)
{
    if (Index < 0 || Index >= kMaxPlugins || !slots[Index].module)
        return {};
    return slots[Index].info;
}

int SelectPlugin(int Index)
{
    if (Index < 0 || Index >= kMaxPlugins || !slots[Index].module)
        return -1;
    activeIndex = Index;
    return 0;
}

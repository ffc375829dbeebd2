// PluginCtrl: the input plug-in manager and the emulated output module.
//
// Plug-ins are Winamp-2-style input modules: shared objects Plugins/in_*.so exporting
// winampGetInModule2 (C linkage), which returns the module record below. The records keep
// the field order of the Winamp 2 records with natural 64-bit C layout.
//
// The manager's table is empty until a plug-in is loaded through the plug-in dialog; the
// engine asks it who plays a file and calls the chosen module's functions directly.
#pragma once

#include "MessageWindow.h"
#include "PlayerTypes.h"

#include <cstdint>
#include <string>

struct TOutModule;

// The input-module record a plug-in hands to the host (owned by the plug-in).
struct TInModule {
    int version;
    const char* description;
    HWND hMainWindow;     // written by the host: the emulator's message window
    void* hDllInstance;   // written by the host: the library's handle
    const char* FileExtensions;
    int is_seekable;
    int UsesOutputPlug;
    void (*Config)(HWND hwndParent);
    void (*About)(HWND hwndParent);
    void (*Init)();
    void (*Quit)();
    void (*GetFileInfo)(const char* file, char* title, int* length_in_ms);
    int (*InfoBox)(const char* file, HWND hwndParent);
    int (*IsOurFile)(const char* fn);
    int (*Play)(const char* fn);
    void (*Pause)();
    void (*UnPause)();
    int (*IsPaused)();
    void (*Stop)();
    int (*GetLength)();
    int (*GetOutputTime)();
    void (*SetOutputTime)(int time_in_ms);
    void (*SetVolume)(int volume);
    void (*SetPan)(int pan);
    void (*SAVSAInit)(int maxlatency_in_ms, int srate);
    void (*SAVSADeInit)();
    void (*SAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
    int (*SAGetMode)();
    int (*SAAdd)(void* data, int timestamp, int csa);
    void (*VSAAddPCMData)(void* PCMData, int nch, int bps, int timestamp);
    int (*VSAGetMode)(int* specNch, int* waveNch);
    int (*VSAAdd)(void* data, int timestamp);
    void (*VSASetInfo)(int srate, int nch);
    int (*dsp_isactive)();
    int (*dsp_dosamples)(short* samples, int numsamples, int bps, int nch, int srate);
    void (*EQSet)(int on, char data[10], int preamp);
    void (*SetInfo)(int bitrate, int srate, int stereo, int synched);
    TOutModule* outMod;
};

// One loaded input plug-in, copied out by value.
struct TPluginInfo {
    std::string Name;           // file name as given to LoadPlugin, without folder
    int32_t Version = 0;
    std::string Description;
    std::string FileExtensions; // the first entry's extension list ("MP3;MP2")
    int32_t Seekable = 0;
    void* DllHandle = nullptr;
};

constexpr int kMaxPlugins = 8;

// Sets up the manager and the emulated output; true when the emulator is ready.
bool InitPluginHost();
// Every loaded plug-in's Quit and unload, then the emulator's Quit.
void ShutdownPluginHost();

// Where the manager and the emulator post their messages to the engine.
void SetEngineWindow(HWND Window);
HWND EmulatorWindow();
// The engine's current stream description (the emulator reads its Duration).
void SetStreamInfo(const TStreamInfo& Info);
void SetSeekPending();

int FindPluginByName(const std::string& FileName);
// Slot 0..7 of a loaded plug-in whose extension list holds Ext (compared without regard
// to case), or -1.
int FindPluginForExtension(const std::string& Ext);
TInModule* GetPluginModule(int Index);
TPluginInfo GetPluginInfo(int Index);
// Makes Index the active plug-in: 0 accepted, -1 refused.
int SelectPlugin(int Index);

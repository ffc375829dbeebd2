// PluginCtrl: the input plug-in manager and the emulated output module.
//
// Plug-ins are shared objects Plugins/in_*.so beside the program, exporting
// winampGetInModule2 (C linkage), which returns the input-module record of winamp_in.h.
// The manager keeps eight slots, loads and unloads plug-ins on the user's request (the
// plug-in dialog), answers the engine's lookups and remembers the active plug-in. The
// output emulator (OutputEmulator.cpp) is the output module every plug-in writes its PCM
// to: a ring buffer drained by a user stream of the audio library.
//
// Threads: every function here runs on the UI thread, except where a comment says
// otherwise. Plug-ins' decoding threads reach the host only through the output module and
// the callbacks written into their records.
#pragma once

#include "MessageWindow.h"
#include "PlayerTypes.h"
#include "winamp_in.h"

#include <cstdint>
#include <string>

using TInModule = WinampInModule;
using TOutModule = WinampOutModule;

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
// Bytes of the emulator's first ring buffer (0.5 s of 44100 Hz 16-bit stereo).
constexpr uint32_t kFirstRingSize = 88200;

// Result codes of LoadPlugin and UnloadPlugin.
enum : int {
    plDone = 0,
    plEmulatorNotReady = 1,
    plAlreadyLoaded = 2,
    plNoFreeSlot = 3,
    plLoadFailed = 4,
    plNotAPlugin = 5,   // no winampGetInModule2, a null record, or another record version
    plUnloadFailed = 6,
    plNotLoaded = 7,
    plInUse = 8,
};

// Sets up the manager and the emulated output; true when the emulator is ready.
bool InitPluginHost();
// Every loaded plug-in's Quit and unload, then the emulator's Quit.
void ShutdownPluginHost();

// Loads ProgramFolder() + "Plugins/" + FileName into the first free slot; a result code.
int LoadPlugin(const std::string& FileName);
int UnloadPlugin(const std::string& FileName);
bool IsPluginLoaded(const std::string& FileName);
// Names are compared with only the letters a..z folded to upper case.
int FindPluginByName(const std::string& FileName);
// Slot 0..7 of the first loaded plug-in whose extension list contains Ext, or -1.
int FindPluginForExtension(const std::string& Ext);
TInModule* GetPluginModule(int Index);
TPluginInfo GetPluginInfo(int Index);
// Makes Index the active plug-in (-1: none): 0 accepted, -1 refused.
int SelectPlugin(int Index);
int ActivePlugin();
// FromEmulator: the output module's time; otherwise the active plug-in's own.
int GetOutputTime(bool FromEmulator);

// ---- the output emulator (OutputEmulator.cpp) ----

// Where the emulator posts its messages to the engine.
void SetEngineWindow(HWND Window);
// The emulator's own message window (0 before its Init), and the object plug-ins see as
// their main window.
HWND EmulatorWindow();
WinampMainWindow* EmulatorMainWindow();
TOutModule* EmulatedOutputModule();
// The engine's current stream description (the emulator reads its Duration).
void SetStreamInfo(const TStreamInfo& Info);
// Lets the next Flush act while the sound is paused (a seek while paused).
void SetSeekPending();
// Writes the host callbacks into a plug-in's record.
void SetHostCallbacks(TInModule& Module);

// Dynamic_Bass: loads libbass.so at run time and binds its 91 entry points.
//
// Each entry point is a variable named after the function, in this namespace; call them as
// Dynamic_Bass::BASS_Init(...) once LoadBassLibrary has returned true. Load and unload run
// on the UI thread; afterwards the variables are read-only and may be used from any thread.
#pragma once

#include "FunctionLists.h"
#include "bass.h"

#include <string>

namespace Dynamic_Bass {

#define AUBADINE_DECLARE_ENTRY(name) extern decltype(&::name) name;
AUBADINE_BASS_FUNCTIONS(AUBADINE_DECLARE_ENTRY)
#undef AUBADINE_DECLARE_ENTRY

// The library's file name, looked up on the system's library search path when
// LoadBassLibrary is given an empty path.
inline constexpr const char* kBassFileName = "libbass.so";

// Loads and binds the library at Path (empty: search for kBassFileName). True when loaded
// and completely bound, also when it already was (Path is then not looked at).
bool LoadBassLibrary(const std::string& Path);
// BASS_Free, then closes the library; does nothing when it is not loaded.
void UnloadBassLibrary();
bool BassLibraryLoaded();

}  // namespace Dynamic_Bass

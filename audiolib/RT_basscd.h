// RT_basscd: loads libbasscd.so (the audio CD add-on) at run time and binds its 19 entry points.
// Call them as RT_basscd::NAME(...) once LoadCdLibrary has returned true.
#pragma once

#include "FunctionLists.h"
#include "basscd.h"

#include <string>

namespace RT_basscd {

#define AUBADINE_DECLARE_ENTRY(name) extern decltype(&::name) name;
AUBADINE_BASSCD_FUNCTIONS(AUBADINE_DECLARE_ENTRY)
#undef AUBADINE_DECLARE_ENTRY

// Loads and binds the library at Path, which is used as given (no search). True when
// loaded and completely bound, also when it already was.
bool LoadCdLibrary(const std::string& Path);
// Closes the library; does nothing when it is not loaded.
void UnloadCdLibrary();
bool CdLibraryLoaded();

}  // namespace RT_basscd

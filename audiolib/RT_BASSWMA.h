// RT_BASSWMA: loads libbasswma.so (the Windows Media audio add-on) at run time and binds its 14 entry points.
// Call them as RT_BASSWMA::NAME(...) once LoadWmaLibrary has returned true.
#pragma once

#include "FunctionLists.h"
#include "basswma.h"

#include <string>

namespace RT_BASSWMA {

#define AUBADINE_DECLARE_ENTRY(name) extern decltype(&::name) name;
AUBADINE_BASSWMA_FUNCTIONS(AUBADINE_DECLARE_ENTRY)
#undef AUBADINE_DECLARE_ENTRY

// Loads and binds the library at Path, which is used as given (no search). True when
// loaded and completely bound, also when it already was.
bool LoadWmaLibrary(const std::string& Path);
// Closes the library; does nothing when it is not loaded.
void UnloadWmaLibrary();
bool WmaLibraryLoaded();

}  // namespace RT_BASSWMA

#include "Dynamic_Bass.h"

#include "LibraryBinding.h"

namespace Dynamic_Bass {

#define AUBADINE_DEFINE_ENTRY(name) decltype(&::name) name = nullptr;
AUBADINE_BASS_FUNCTIONS(AUBADINE_DEFINE_ENTRY)
#undef AUBADINE_DEFINE_ENTRY

namespace {
TLibraryBinding binding;

#define AUBADINE_BINDING_ENTRY(name) {#name, reinterpret_cast<void**>(&name)},
const TBindingEntry entries[] = {AUBADINE_BASS_FUNCTIONS(AUBADINE_BINDING_ENTRY)};
#undef AUBADINE_BINDING_ENTRY
static_assert(sizeof(entries) / sizeof(entries[0]) == 91);
}  // namespace

bool LoadBassLibrary(const std::string& Path)
{
    if (binding.Loaded())
        return true;
    return binding.Load(Path.empty() ? std::string(kBassFileName) : Path, entries, 91);
}

void UnloadBassLibrary()
{
    if (binding.Loaded() && BASS_Free)
        BASS_Free();
    binding.Unload();
}

bool BassLibraryLoaded()
{
    return binding.Loaded();
}

}  // namespace Dynamic_Bass

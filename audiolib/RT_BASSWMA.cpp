#include "RT_BASSWMA.h"

#include "LibraryBinding.h"

namespace RT_BASSWMA {

#define AUBADINE_DEFINE_ENTRY(name) decltype(&::name) name = nullptr;
AUBADINE_BASSWMA_FUNCTIONS(AUBADINE_DEFINE_ENTRY)
#undef AUBADINE_DEFINE_ENTRY

namespace {
TLibraryBinding binding;

#define AUBADINE_BINDING_ENTRY(name) {#name, reinterpret_cast<void**>(&name)},
const TBindingEntry entries[] = {AUBADINE_BASSWMA_FUNCTIONS(AUBADINE_BINDING_ENTRY)};
#undef AUBADINE_BINDING_ENTRY
static_assert(sizeof(entries) / sizeof(entries[0]) == 14);
}  // namespace

bool LoadWmaLibrary(const std::string& Path)
{
    return binding.Load(Path, entries, 14);
}

void UnloadWmaLibrary()
{
    binding.Unload();
}

bool WmaLibraryLoaded()
{
    return binding.Loaded();
}

}  // namespace RT_BASSWMA

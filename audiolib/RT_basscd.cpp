#include "RT_basscd.h"

#include "LibraryBinding.h"

namespace RT_basscd {

#define AUBADINE_DEFINE_ENTRY(name) decltype(&::name) name = nullptr;
AUBADINE_BASSCD_FUNCTIONS(AUBADINE_DEFINE_ENTRY)
#undef AUBADINE_DEFINE_ENTRY

namespace {
TLibraryBinding binding;

#define AUBADINE_BINDING_ENTRY(name) {#name, reinterpret_cast<void**>(&name)},
const TBindingEntry entries[] = {AUBADINE_BASSCD_FUNCTIONS(AUBADINE_BINDING_ENTRY)};
#undef AUBADINE_BINDING_ENTRY
static_assert(sizeof(entries) / sizeof(entries[0]) == 19);
}  // namespace

bool LoadCdLibrary(const std::string& Path)
{
    return binding.Load(Path, entries, 19);
}

void UnloadCdLibrary()
{
    binding.Unload();
}

bool CdLibraryLoaded()
{
    return binding.Loaded();
}

}  // namespace RT_basscd

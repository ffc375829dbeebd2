#include "LibraryBinding.h"

#include <dlfcn.h>

bool TLibraryBinding::Load(const std::string& path, const TBindingEntry* entries, int count)
{
    if (handle_)
        return true;
    // dlopen shows no dialog for a missing or broken file, so nothing needs to be
    // switched off around it; an empty path would name the main program, so refuse it.
    if (path.empty())
        return false;
    void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!h)
        return false;
    bool complete = true;
    for (int i = 0; i < count; ++i) {
        *entries[i].slot = dlsym(h, entries[i].name);
        if (!*entries[i].slot)
            complete = false;
    }
    if (!complete) {
        dlclose(h);
        return false;
    }
    handle_ = h;
    return true;
}

void TLibraryBinding::Unload()
{
    if (handle_)
        dlclose(handle_);
    handle_ = nullptr;
}

// All-or-nothing binding of a shared library's entry points by name; the common core of
// Dynamic_Bass, RT_BASSWMA and RT_basscd.
#pragma once

#include <string>

struct TBindingEntry {
    const char* name;
    void** slot;  // the entry-point variable to fill
};

class TLibraryBinding {
public:
    bool Loaded() const { return handle_ != nullptr; }

    // Loads the library at path (dlopen, no dialogs ever) and binds every entry, in order.
    // Already loaded: true at once, path not looked at. Any name missing: the library is
    // closed again and false returned.
    bool Load(const std::string& path, const TBindingEntry* entries, int count);
    // Closes the library if it is loaded; the entry-point variables keep their values.
    void Unload();

private:
    void* handle_ = nullptr;
};

#include "MetadataFuzzEntry.h"

#include "BASSPlayer.h"

#include <string>

void FuzzStreamMetadata(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string title;
    FindStreamTitle(text, title);
    URLFileTitle(text);
    // As the library hands it to the metadata sync: the bytes, ended by two NULs (a
    // comment list ends with an empty entry). No window: the post fails quietly.
    std::string list = text;
    list.push_back('\0');
    list.push_back('\0');
    MetaSync(0, 0, reinterpret_cast<uintptr_t>(list.c_str()), nullptr);
}

#include "FakeBass.h"

#include "basswma.h"

#include <string>

extern "C" {

HSTREAM BASS_WMA_StreamCreateFile(BOOL, const void* file, DWORD offset, DWORD length, DWORD flags)
{
    const char* name = static_cast<const char*>(file);
    FakeBass_Control()->calls.push_back("BASS_WMA_StreamCreateFile(" + std::string(name ? name : "") + "," +
                                        std::to_string(offset) + "," + std::to_string(length) + "," +
                                        std::to_string(flags) + ")");
    return FakeBass_CreateChannel(name, "WMA_StreamCreateFile");
}

}  // extern "C"

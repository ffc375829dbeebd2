// Small operating-system services: the program's folder, the millisecond clock, starting
// programs, opening addresses, and file names matched without regard to letter case.
#pragma once

#include <cstdint>
#include <string>

// Folder of the running program's own file (/proc/self/exe), with a trailing '/'.
std::string ProgramFolder();

// 32-bit millisecond clock (steady), wrapping after about 49.7 days like timeGetTime.
uint32_t timeGetTime();

// Starts program with the given working folder, detached (ShellExecute "open" of a
// program). False when it could not be started.
bool ShellExecuteOpen(const std::string& program, const std::string& parameters,
                      const std::string& workingFolder);

// Hands an address to the desktop (ShellExecute "open" of a web address).
bool ShellOpenUrl(const std::string& url);

// The file as the player means it: path itself when it exists; otherwise a file in the
// same folder whose name differs only in letter case (the installer writes "PlayList.ini",
// the player reads "Playlist.ini"); otherwise path unchanged.
std::string ResolveFileNameCase(const std::string& path);

bool DirectoryExists(const std::string& path);
std::string CurrentDirectory();

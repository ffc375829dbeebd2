// mkpackage: builds the installer's package file "data.dat" from a list of files.
//
//   mkpackage -o OUTPUT [ENTRY]...
//   ENTRY   FILE                stored under its own file name
//           NAME=PATH           PATH stored under NAME; a folder PATH is stored as a folder
//                               entry NAME/ followed by everything below it (sorted)
//           --optional NAME=PATH  the same, skipped when PATH does not exist
//
// The format: Count (1 byte), then per entry NameLength (1 byte), Name, DataSize (3 bytes,
// big-endian), Data. A package holds at most 255 entries, names of at most 255 bytes and
// files of at most 16,777,215 bytes; anything beyond is refused with a message and no
// output file is left behind.
#include "EntryName.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <system_error>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kMaxEntries = 255;
constexpr std::size_t kMaxNameLength = 255;
constexpr std::uintmax_t kMaxDataSize = 0xFFFFFF;

struct Entry {
  std::string name;  // '/'-separated; ends with '/' for a folder entry
  fs::path source;   // empty for a folder entry
  std::uintmax_t size = 0;
};

struct Failure {
  std::string message;
};

[[noreturn]] void Fail(const std::string& message) { throw Failure{message}; }

// Refuses what the installer would refuse, by the installer's own rule, and names longer
// than the format holds.
void CheckEntry(const std::string& name, std::uintmax_t size, bool isFile) {
  if (name.size() > kMaxNameLength)
    Fail("name too long (" + std::to_string(name.size()) + " bytes, at most 255): " + name);
  if (isFile && setup_format::IsFolderName(name))
    Fail("a file cannot be stored under a folder's name (ending in a separator): " + name);
  switch (setup_format::EntryFault(name, static_cast<std::uint32_t>(std::min<std::uintmax_t>(size, kMaxDataSize)))) {
    case setup_format::TEntryFault::None: return;
    case setup_format::TEntryFault::Empty:
    case setup_format::TEntryFault::NoName: Fail("an entry needs a name: \"" + name + "\"");
    case setup_format::TEntryFault::NulByte: Fail("a name cannot hold a NUL byte");
    case setup_format::TEntryFault::Absolute:
    case setup_format::TEntryFault::Climbs: Fail("name would install outside the target folder: " + name);
    case setup_format::TEntryFault::FolderWithData: Fail("a folder entry cannot hold data: " + name);
  }
}

void AddFile(std::vector<Entry>& entries, const std::string& name, const fs::path& path) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) Fail("cannot read " + path.string() + ": " + ec.message());
  if (size > kMaxDataSize)
    Fail(path.string() + " is " + std::to_string(size) +
         " bytes; a package entry holds at most 16,777,215 bytes");
  CheckEntry(name, size, true);
  entries.push_back({name, path, size});
}

void AddFolder(std::vector<Entry>& entries, const std::string& name, const fs::path& path) {
  const std::string folder = !name.empty() && setup_format::IsFolderName(name) ? name : name + "/";
  CheckEntry(folder, 0, false);
  entries.push_back({folder, {}, 0});
  std::vector<fs::directory_entry> children;
  std::error_code ec;
  for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec)) children.push_back(*it);
  if (ec) Fail("cannot list " + path.string() + ": " + ec.message());
  std::sort(children.begin(), children.end(),
            [](const fs::directory_entry& a, const fs::directory_entry& b) { return a.path() < b.path(); });
  for (const fs::directory_entry& child : children) {
    const std::string childName = folder + child.path().filename().string();
    if (child.is_directory())
      AddFolder(entries, childName, child.path());
    else if (child.is_regular_file())
      AddFile(entries, childName, child.path());
  }
}

void AddArgument(std::vector<Entry>& entries, const std::string& argument, bool optional) {
  std::string name;
  fs::path path;
  const std::size_t eq = argument.find('=');
  if (eq == std::string::npos) {
    path = argument;
    name = path.filename().string();
  } else {
    name = argument.substr(0, eq);
    path = argument.substr(eq + 1);
  }
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  if (!fs::exists(status)) {
    if (optional) return;
    Fail("cannot read " + path.string() + ": no such file or folder");
  }
  if (fs::is_directory(status))
    AddFolder(entries, name, path);
  else
    AddFile(entries, name, path);
}

void WritePackage(const std::vector<Entry>& entries, const fs::path& output) {
  if (entries.size() > kMaxEntries)
    Fail("too many entries: " + std::to_string(entries.size()) + " (a package holds at most 255)");
  const fs::path temporary = output.string() + ".part";
  std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
  if (!out) Fail("cannot create " + temporary.string() + ": " + std::strerror(errno));
  try {
    out.put(static_cast<char>(entries.size()));
    std::vector<char> buffer(1 << 16);
    for (const Entry& entry : entries) {
      out.put(static_cast<char>(entry.name.size()));
      out.write(entry.name.data(), static_cast<std::streamsize>(entry.name.size()));
      std::uintmax_t size = entry.size;
      std::ifstream in;
      if (!entry.source.empty()) {
        in.open(entry.source, std::ios::binary);
        if (!in) Fail("cannot read " + entry.source.string() + ": " + std::strerror(errno));
        // The size was taken when listing; a file that grew since is checked again here.
        size = fs::file_size(entry.source);
        if (size > kMaxDataSize)
          Fail(entry.source.string() + " is " + std::to_string(size) +
               " bytes; a package entry holds at most 16,777,215 bytes");
      }
      out.put(static_cast<char>((size >> 16) & 0xFF));
      out.put(static_cast<char>((size >> 8) & 0xFF));
      out.put(static_cast<char>(size & 0xFF));
      std::uintmax_t left = size;
      while (left > 0) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uintmax_t>(left, buffer.size()));
        in.read(buffer.data(), static_cast<std::streamsize>(want));
        if (static_cast<std::size_t>(in.gcount()) != want)
          Fail("cannot read " + entry.source.string() + ": it ended early");
        out.write(buffer.data(), static_cast<std::streamsize>(want));
        left -= want;
      }
    }
    out.close();
    if (!out) Fail("cannot write " + temporary.string() + ": " + std::strerror(errno));
    std::error_code ec;
    fs::rename(temporary, output, ec);
    if (ec) Fail("cannot write " + output.string() + ": " + ec.message());
  } catch (...) {
    out.close();
    std::error_code ignored;
    fs::remove(temporary, ignored);
    throw;
  }
}

void Usage(std::ostream& os) {
  os << "usage: mkpackage -o OUTPUT [FILE | NAME=PATH | --optional NAME=PATH]...\n"
        "Builds the installer's package file from files and folders.\n";
}

}  // namespace

int main(int argc, char** argv) {
  std::string output;
  std::vector<Entry> entries;
  try {
    for (int i = 1; i < argc; ++i) {
      const std::string argument = argv[i];
      if (argument == "-h" || argument == "--help") {
        Usage(std::cout);
        return 0;
      }
      if (argument == "-o" || argument == "--optional") {
        if (i + 1 >= argc) {
          Usage(std::cerr);
          return 2;
        }
        if (argument == "-o")
          output = argv[++i];
        else
          AddArgument(entries, argv[++i], true);
        continue;
      }
      AddArgument(entries, argument, false);
    }
    if (output.empty()) {
      Usage(std::cerr);
      return 2;
    }
    WritePackage(entries, output);
  } catch (const Failure& failure) {
    std::cerr << "mkpackage: " << failure.message << '\n';
    return 1;
  } catch (const std::exception& e) {
    std::cerr << "mkpackage: " << e.what() << '\n';
    return 1;
  }
  return 0;
}

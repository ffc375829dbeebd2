// fileinfo FILE...
// Prints, for each file in argument order, one JSON line with what the player's file
// information readers see in it. Exit status 0 when every argument was processed.
#include "FileInfoReport.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
  if (argc < 2) {
    std::fputs("usage: fileinfo FILE...\n", stderr);
    return 2;
  }
  for (int I = 1; I < argc; ++I) {
    const std::string Line = fileinfo_tool::DescribeFile(argv[I]) + "\n";
    if (std::fwrite(Line.data(), 1, Line.size(), stdout) != Line.size())
      return 1;
  }
  return std::fflush(stdout) == 0 ? 0 : 1;
}

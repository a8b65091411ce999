// dunmore: the report converter. With arguments it converts on the command line.
#include <cstdio>

#include "dunmore/command_line.h"

int main(int argc, char** argv) {
  if (argc > 1) return dunmore::runCommandLine(argc, argv);
  // Without arguments the converter is a window, which this build does not include.
  std::fputs("dunmore: no window in this build\n", stderr);
  std::fputs(dunmore::kUsage, stderr);
  return dunmore::kExitUsage;
}

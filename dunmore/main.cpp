// dunmore: the report converter. Without arguments it is a window; with arguments it converts on
// the command line.
#include "dunmore/command_line.h"
#include "dunmore/window_program.h"

int main(int argc, char** argv) {
  if (argc > 1) return dunmore::runCommandLine(argc, argv);
  return dunmore::runConverterWindow();
}

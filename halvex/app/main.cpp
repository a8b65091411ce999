// The tracker's entry point.
#include <cstdio>
#include <cstring>

#include "halvex/app/headless.h"

int main(int argc, char** argv) {
  if (argc >= 2 && std::strcmp(argv[1], "--headless") == 0) {
    return runHeadless(argc - 2, argv + 2);
  }
  std::fputs("halvex: this build runs without a window only: halvex --headless MASTER.cfg\n",
             stderr);
  return 2;
}

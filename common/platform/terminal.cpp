#include "common/platform/terminal.h"

#include <unistd.h>

bool isTerminal(std::FILE* stream) {
  const int fd = stream != nullptr ? fileno(stream) : -1;
  return fd >= 0 && isatty(fd) == 1;
}

#include "common/version.h"

// The build passes the project's version to this file alone (common/CMakeLists.txt).
#ifndef HALVEX_VERSION
#error "HALVEX_VERSION must be defined by the build"
#endif

const char* buildVersion() {
  return HALVEX_VERSION;
}

void printVersion(std::FILE* out, const char* program) {
  std::fprintf(out, "%s %s\n", program, buildVersion());
}

// Running a benchmark under its own virtual X server or inside a private network namespace, so
// that it never draws on the user's display, sends to the host's network or meets another run.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <vector>

namespace bench {

/// Starts this program again under `wrappers` (scripts that each run their arguments as a
/// command, outermost first) unless the environment variable `marker` says it runs under them
/// already; returns only then. Exits with status 1 when the wrappers cannot be started.
inline void runUnder(const char* marker, std::initializer_list<const char*> wrappers, int argc,
                     char** argv) {
  if (std::getenv(marker) != nullptr) return;
  setenv(marker, "1", 1);
  std::vector<char*> args;
  for (const char* wrapper : wrappers) args.push_back(const_cast<char*>(wrapper));
  for (int k = 0; k < argc; ++k) args.push_back(argv[k]);
  args.push_back(nullptr);
  execv(args[0], args.data());
  std::fprintf(stderr, "%s: cannot start %s: ", argv[0], args[0]);
  std::perror(nullptr);
  std::exit(1);
}

}  // namespace bench

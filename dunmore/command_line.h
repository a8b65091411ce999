// The converter's command line: converts cast files into a CSV file without a window.
#pragma once

#include "dunmore/converter.h"

namespace dunmore {

/// Exit statuses of the command line.
enum ExitStatus {
  kExitConverted = 0,  ///< every file parsed and the CSV file was written
  kExitFailed = 1,     ///< a file failed, or the CSV file could not be written
  kExitUsage = 2,      ///< the arguments were not understood
};

/// The usage text printed by --help.
extern const char kUsage[];

/// Runs "dunmore --csv OUT.csv [--listing] FILE..." on the process's report set. Help, the
/// version and the listing go to output.out, usage errors to output.err. Returns an ExitStatus.
int runCommandLine(int argc, const char* const* argv,
                   const ConvertOutput& output = ConvertOutput());

}  // namespace dunmore

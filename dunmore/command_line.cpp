#include "dunmore/command_line.h"

#include <cstring>
#include <string>
#include <vector>

#include "common/version.h"
#include "dunmore/progress_line.h"

namespace dunmore {

const char kUsage[] =
    "Usage: dunmore --csv OUT.csv [--listing] FILE...\n"
    "  or:  dunmore --help | --version\n"
    "  or:  dunmore\n"
    "\n"
    "Without arguments, opens the window with its list of report files. With arguments,\n"
    "converts cast report files into one CSV file, as the window's \"convert reports\" does:\n"
    "the files are parsed in the order given and every report built goes into OUT.csv, which\n"
    "is replaced. Scanner and parser errors go to standard error with the file name and line.\n"
    "\n"
    "  --csv OUT.csv  the CSV file to write (required)\n"
    "  --listing      also print the listing of every report and each file's summary\n"
    "  --help         this text\n"
    "  --version      the program's name and version\n"
    "\n"
    "Exit status: 0 when every file parsed, 1 when a file could not be opened or parsed (the\n"
    "CSV file still holds every report built) or the CSV file could not be written, 2 when the\n"
    "arguments are not understood.\n";

namespace {

int usageError(const ConvertOutput& output, const char* what, const char* arg) {
  std::fprintf(output.err, "dunmore: %s%s\nTry 'dunmore --help'.\n", what, arg);
  return kExitUsage;
}

}  // namespace

int runCommandLine(int argc, const char* const* argv, const ConvertOutput& output) {
  std::string csvName;
  bool csvGiven = false, listing = false, optionsDone = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (optionsDone || arg[0] != '-' || arg[1] == '\0') {
      files.emplace_back(arg);
    } else if (!std::strcmp(arg, "--")) {
      optionsDone = true;
    } else if (!std::strcmp(arg, "--help") || !std::strcmp(arg, "-h")) {
      std::fputs(kUsage, output.out);
      return kExitConverted;
    } else if (!std::strcmp(arg, "--version")) {
      printVersion(output.out, "dunmore");
      return kExitConverted;
    } else if (!std::strcmp(arg, "--listing")) {
      listing = true;
    } else if (!std::strcmp(arg, "--csv")) {
      if (csvGiven) return usageError(output, "--csv given twice", "");
      if (i + 1 >= argc || argv[i + 1][0] == '\0')
        return usageError(output, "--csv needs a file name", "");
      csvName = argv[++i];
      csvGiven = true;
    } else {
      return usageError(output, "unknown option ", arg);
    }
  }
  if (!csvGiven) return usageError(output, "no CSV file named (--csv OUT.csv)", "");

  ConvertOutput run = output;
  run.listing = listing ? output.out : nullptr;
  const ProgressLine progressLine(run);  // on a terminal only
  const ConvertResult result = convertReports(processReportSet(), csvName, files, run);
  std::fflush(output.out);
  if (!result.csvWritten) {
    std::fprintf(output.err, "dunmore: could not write %s\n", csvName.c_str());
    return kExitFailed;
  }
  return result.failed == 0 ? kExitConverted : kExitFailed;
}

}  // namespace dunmore

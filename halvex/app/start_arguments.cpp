#include "halvex/app/start_arguments.h"

#include <cctype>
#include <cstring>

#include "halvex/splash/splash_link.h"

const char kStartUsage[] =
    "Usage: halvex [history options] [MASTER.cfg [PROJECT.mpr] | PROJECT.mpr]\n"
    "  or:  halvex --headless [options] MASTER.cfg\n"
    "  or:  halvex --help | --version\n"
    "\n"
    "Runs the real-time tracking display in a window. MASTER.cfg is the master configuration\n"
    "file: the tracker changes to its folder and reads the files it names from there. A first\n"
    "argument ending in .mpr opens that project instead, in its folder, without a\n"
    "configuration; a project after MASTER.cfg is opened once the configuration is read, its\n"
    "files named relative to the configuration's folder. Without an argument, or with a first\n"
    "argument beginning with \"-\", no configuration is read and the project named by the\n"
    "auto-start file is opened; with neither a configuration nor a project the view opens on\n"
    "the world map.\n"
    "\n"
    "  --headless  runs the tracker without a window (halvex --headless --help lists its\n"
    "              options)\n"
    "  --help      shows this text\n"
    "  --version   shows the program's name and version\n"
    "\n"
    "history options (also after --headless):\n";

namespace {

/// Whether `path` ends in ".mpr", in any case.
bool isProjectPath(const char* path) {
  const size_t length = std::strlen(path);
  if (length < 4) return false;
  const char* suffix = path + length - 4;
  return suffix[0] == '.' && std::tolower(static_cast<unsigned char>(suffix[1])) == 'm' &&
         std::tolower(static_cast<unsigned char>(suffix[2])) == 'p' &&
         std::tolower(static_cast<unsigned char>(suffix[3])) == 'r';
}

/// The windowed tracker's arguments: history options, then the configuration or project.
void classifyWindowArguments(int argc, const char* const* argv, StartArguments& start) {
  int k = 1;
  for (; k < argc && argv[k] != nullptr; ++k) {
    const int taken = takeHistoryOption(argc, argv, k, start.history, &start.error);
    if (taken < 0) {
      start.action = StartAction::kUsageError;
      return;
    }
    if (taken == 0) break;
  }
  if (!checkHistoryOptions(start.history, &start.error)) {
    start.action = StartAction::kUsageError;
    return;
  }
  if (k >= argc || argv[k] == nullptr) return;
  const char* named = argv[k];
  if (named[0] == '-') {
    // Any other option: the windowed tracker without a configuration.
  } else if (isProjectPath(named)) {
    start.projectPath = named;
  } else {
    start.configPath = named;
    // A project may follow the configuration: both are opened.
    if (k + 1 < argc && argv[k + 1] != nullptr && isProjectPath(argv[k + 1])) {
      start.projectPath = argv[k + 1];
    }
  }
}

}  // namespace

StartArguments classifyStartArguments(int argc, const char* const* argv) {
  StartArguments start;
  if (argc < 2 || argv[1] == nullptr) return start;
  const char* first = argv[1];
  if (std::strcmp(first, "--help") == 0) {
    start.action = StartAction::kHelp;
  } else if (std::strcmp(first, "--version") == 0) {
    start.action = StartAction::kVersion;
  } else if (std::strcmp(first, "--headless") == 0) {
    start.action = StartAction::kHeadless;
  } else if (std::strncmp(first, SplashLink::kSplashArgument,
                          std::strlen(SplashLink::kSplashArgument)) == 0) {
    start.action = StartAction::kSplash;
    if (argc > 2 && argv[2] != nullptr) start.splashTag = argv[2];
  } else {
    classifyWindowArguments(argc, argv, start);
  }
  return start;
}

// The tracker's entry point: help, version, the splash process, the headless tracker, or the
// windowed tracker.
#include <cstdio>
#include <memory>
#include <string>

#include "common/gl/mesh_shape.h"
#include "common/name_registry.h"
#include "common/platform/paths.h"
#include "common/version.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/app/start_arguments.h"
#include "halvex/engine/headless.h"
#include "halvex/splash/splash_channel.h"
#include "halvex/splash/splash_link.h"
#include "halvex/splash/splash_window.h"
#include "halvex/view/gl_draw_surface.h"

namespace {

/// This program's full path, whole however long: the running file itself, or where argv[0]
/// leads when /proc cannot tell.
std::string ownPath(const char* argv0) {
  const std::string exe = executablePath();
  return !exe.empty() ? exe : fullPath(argv0 != nullptr ? argv0 : "");
}

}  // namespace

int main(int argc, char** argv) {
  // Decided before anything graphical is created: help, version and the headless tracker need
  // no display.
  const StartArguments start = classifyStartArguments(argc, argv);
  switch (start.action) {
    case StartAction::kHelp:
      std::fputs(kStartUsage, stdout);
      std::fputs(kHistoryOptionsHelp, stdout);
      return 0;
    case StartAction::kUsageError:
      std::fprintf(stderr, "halvex: %s\n%s%s", start.error.c_str(), kStartUsage,
                   kHistoryOptionsHelp);
      return 2;
    case StartAction::kVersion:
      printVersion(stdout, "halvex");
      return 0;
    case StartAction::kHeadless:
      return runHeadless(argc - 2, argv + 2);
    case StartAction::kSplash:
      createSharedShapes();
      std::printf("Creating splash screen\n");
      std::fflush(stdout);
      return runSplashScreen(start.splashTag);
    case StartAction::kWindow:
      break;
  }
  createSharedShapes();

  std::printf("Creating splash Utility\n");
  static std::string exePath = ownPath(argv[0]);
  auto splash = std::make_unique<SplashLink>(exePath);
  setSplashChannel(splash.get());
  NameRegistry::instance().add("full exe name", const_cast<char*>(exePath.c_str()));
  std::printf("Finished with splash utility stuff\n");
  std::fflush(stdout);

  // A configuration's files are read from its folder, and a project's from its own: maps and
  // state files are named relative to the folder the tracker ran in when they were saved.
  const bool project = !start.projectPath.empty() && start.configPath.empty();
  const std::string& named = project ? start.projectPath : start.configPath;
  // A project after the configuration is named from the folder the tracker was started in.
  const std::string laterProject =
      !project && !start.projectPath.empty() ? fullPath(start.projectPath) : std::string();
  std::string directory, baseName, openedPath;
  if (!named.empty()) {
    const PathParts parts = splitPath(named);
    directory = parts.drive + parts.dir;
    openedPath = parts.name + parts.ext;
    if (!project) baseName = parts.name;
    // A folder that cannot be entered keeps the path as given, so no other file of the same
    // name is read in its place.
    if (!directory.empty() && !setCurrentDirectory(directory)) {
      std::fprintf(stderr, "halvex: cannot change to the folder %s\n", directory.c_str());
      openedPath = named;
    }
  }
  if (project) directory.clear();

  auto window = std::make_unique<KT_mapWindow>(directory, baseName);
  window->loadConfiguration(project ? std::string() : openedPath);
  window->openStartProject(project ? openedPath : laterProject);
  std::string problem;
  if (!startHistory(start.history, window->history(), &problem)) {
    // Asked for on the command line, so the operator relies on it: no window without it.
    std::fprintf(stderr, "halvex: %s\n", problem.c_str());
    window.reset();
    setSplashChannel(nullptr);
    return 1;
  }
  window->buildToolPalette();
  window->runLoop();
  window.reset();
  setSplashChannel(nullptr);
  splash.reset();
  return 0;
}

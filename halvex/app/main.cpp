// The tracker's entry point: the splash process, the headless tracker, or the windowed tracker.
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "common/gl/mesh_shape.h"
#include "common/name_registry.h"
#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
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
  if (argc >= 2 && std::strcmp(argv[1], "--headless") == 0) {
    return runHeadless(argc - 2, argv + 2);
  }
  createSharedShapes();
  if (argc >= 2 && std::strncmp(argv[1], SplashLink::kSplashArgument, 4) == 0) {
    std::printf("Creating splash screen\n");
    std::fflush(stdout);
    return runSplashScreen(argc > 2 ? argv[2] : "");
  }

  std::printf("Creating splash Utility\n");
  static std::string exePath = ownPath(argv[0]);
  auto splash = std::make_unique<SplashLink>(exePath);
  setSplashChannel(splash.get());
  NameRegistry::instance().add("full exe name", const_cast<char*>(exePath.c_str()));
  std::printf("Finished with splash utility stuff\n");
  std::fflush(stdout);

  // A first argument beginning with "-" is no configuration path.
  std::string directory, baseName, configPath;
  if (argc >= 2 && argv[1][0] != '-') {
    const PathParts parts = splitPath(argv[1]);
    directory = parts.drive + parts.dir;
    baseName = parts.name;
    configPath = parts.name + parts.ext;
    // A folder that cannot be entered keeps the path as given, so no other file of the same
    // name is read in its place.
    if (!directory.empty() && !setCurrentDirectory(directory)) {
      std::fprintf(stderr, "halvex: cannot change to the folder %s\n", directory.c_str());
      configPath = argv[1];
    }
  }

  auto window = std::make_unique<KT_mapWindow>(directory, baseName);
  window->loadConfiguration(configPath);
  window->buildToolPalette();
  window->runLoop();
  window.reset();
  setSplashChannel(nullptr);
  splash.reset();
  return 0;
}

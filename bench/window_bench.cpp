// The windowed tracker's start and its idle cost: time from start to the first drawn frame with
// the demo configuration, and the processor time of a running tracker with multicast input, no
// traffic and the display at 30 frames per second. Runs itself under a private virtual X server
// inside a private network namespace (the multicast port is joined there only).
//
//   window_bench           prints the figures
//   window_bench --check   fails unless the first frame comes within 1 s
//
// The running tracker's processor time is printed beside its goal (under 5% of one core) and
// beside the same tracker at 1 frame per second, which separates the loop's own cost from the
// drawing's: under a virtual X server every frame is drawn by the software renderer and copied
// to the server, which a display with a graphics processor does not do.
#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "bench/frame_times.h"
#include "bench/private_display.h"
#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/splash/splash_link.h"
#include "halvex/view/gl_draw_surface.h"

namespace {

constexpr double kFirstFrameGoalSeconds = 1.0;  ///< Start to first drawn frame.
constexpr double kIdleGoalPercent = 5.0;        ///< Running tracker, % of one core.
constexpr double kSettleSeconds = 1.0;          ///< Before the processor time is measured.
constexpr double kMeasureSeconds = 4.0;         ///< Length of the measurement.
constexpr int kRate30Fps = 1;                   ///< Display rate choice entry "30 fps".
constexpr int kRate1Fps = 6;                    ///< Display rate choice entry "1 fps".

using bench::Clock;
using bench::processSeconds;

/// Start to first frame with the demo configuration, s, as the tracker's main starts.
double firstFrameSeconds(const std::string& folder) {
  // A copy of the demo setup, since the tracker writes the state file it names.
  const std::string demo = folder + "/demo";
  std::filesystem::copy(DEMO_DIR, demo, std::filesystem::copy_options::recursive);
  const auto start = Clock::now();
  auto splash = std::make_unique<SplashLink>(HALVEX_PATH);
  setCurrentDirectory(demo);
  auto window = std::make_unique<KT_mapWindow>("", "demo");
  static double firstFrame = -1;
  static KT_mapWindow* running = nullptr;
  running = window.get();
  window->surface()->setFrameDrawn([start, &window, &splash] {
    window->engine().frameDrawn();
    splash->hide();
    if (firstFrame < 0) {
      firstFrame = std::chrono::duration<double>(Clock::now() - start).count();
      Fl::add_timeout(0.2, [](void*) { running->close_(); });
    }
  });
  window->loadConfiguration("demo.cfg");
  window->buildToolPalette();
  window->runLoop();
  window.reset();
  splash.reset();
  return firstFrame;
}

/// Processor use of a tracker on multicast input without traffic, display at the rate of
/// display rate choice entry `rateIndex` (1: 30 fps, 6: 1 fps), %.
double runningPercent(const std::string& folder, int rateIndex) {
  setCurrentDirectory(folder);
  std::ofstream("nodes.txt") << "1 a\n2 b\n3 c\n";
  std::ofstream("ports.mcp") << "bench 239.255.42.7 5630\n";
  std::ofstream("io.txt") << "Active Input MULTICAST\n";
  std::ofstream("master.cfg") << "NodeFile nodes.txt\nPortFile ports.mcp\nWWWFile io.txt\n";
  auto window = std::make_unique<KT_mapWindow>("", "master");
  static KT_mapWindow* running = nullptr;
  static double before = 0, after = 0;
  static Clock::time_point from, to;
  running = window.get();
  window->loadConfiguration("master.cfg");
  window->toolWindow().frameRateChoice->value(rateIndex);
  window->updateRates();
  Fl::add_timeout(kSettleSeconds, [](void*) {
    before = processSeconds();
    from = Clock::now();
    Fl::add_timeout(kMeasureSeconds, [](void*) {
      after = processSeconds();
      to = Clock::now();
      running->close_();
    });
  });
  window->runLoop();
  window.reset();
  const double wall = std::chrono::duration<double>(to - from).count();
  return 100.0 * (after - before) / wall;
}

}  // namespace

int main(int argc, char** argv) {
  // Into a private network namespace with a private X server, once.
  bench::runUnder("WINDOW_BENCH_INSIDE", {NETNS_RUN, XVFB_RUN}, argc, argv);
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;
  char pattern[] = "/tmp/window_bench_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  const double first = firstFrameSeconds(folder);
  const double percent = runningPercent(folder, kRate30Fps);
  const double loopPercent = runningPercent(folder, kRate1Fps);
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);
  std::printf(
      "windowed tracker: first frame %.3f s after start with the demo configuration "
      "(goal < %.1f s); running with multicast input, no traffic, display at 30 fps: "
      "%.2f%% of one core (goal < %.0f%%; %.2f%% at 1 fps)\n",
      first, kFirstFrameGoalSeconds, percent, kIdleGoalPercent, loopPercent);
  if (check && (first < 0 || first >= kFirstFrameGoalSeconds)) return 1;
  return 0;
}

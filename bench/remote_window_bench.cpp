// The windowed tracker's frame rate while its remote state server trickles the response, one
// byte every 4.9 s (just under the fetch's stall limit, so one fetch runs to its whole-fetch
// limit), beside the same window without remote input; the display at 30 frames per second, the
// remote rate at its fastest. Frames are counted as the view draws them, which the toolkit
// follows with the buffer swap, over a fixed stretch of wall-clock time from the loop's start, so
// that a loop held by a fetch shows as frames missing. Runs itself under a private virtual X
// server; the state server is a thread of this process on 127.0.0.1.
//
//   remote_window_bench           prints both frame rates and their ratio
//   remote_window_bench --check   fails when the ratio is below 0.9 (or no fetch was in flight)
#include <FL/Fl.H>
#include <unistd.h>

#include <algorithm>
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
#include "halvex/view/gl_draw_surface.h"
#include "tests/support/loopback_byte_server.h"

namespace {

constexpr double kGoalRatio = 0.9;       ///< Frame rate with the remote server / without.
constexpr double kSettleSeconds = 1.5;   ///< Before counting: the first fetch starts at 1 s.
constexpr double kMeasureSeconds = 5.0;  ///< Frames counted over this long.
constexpr int kRounds = 2;               ///< Alternating runs; the best of each counts.
constexpr int kRate30Fps = 1;            ///< Display rate choice entry "30 fps".
constexpr int kRemoteRate1s = 0;         ///< Remote rate choice entry "1 pps".
constexpr auto kTrickle = std::chrono::milliseconds(4900);  ///< Between the trickled bytes.

using bench::Clock;

/// What one run of the window saw.
struct Run {
  double framesPerSecond = 0;
  long fetchesEnded = 0;  ///< Remote fetches that ended while the window ran.
};

/// Runs the window in `folder` with the input definitions `io` and counts its frames from
/// kSettleSeconds after the loop's start for kMeasureSeconds.
Run runWindow(const std::string& folder, const std::string& io) {
  setCurrentDirectory(folder);
  std::ofstream("io.txt") << io;
  auto window = std::make_unique<KT_mapWindow>("", "master");
  static KT_mapWindow* running = nullptr;
  running = window.get();
  bench::FrameTimes frames;
  window->surface()->setFrameDrawn([&window, &frames] {
    window->engine().frameDrawn();
    frames.add();
  });
  window->loadConfiguration("master.cfg");
  window->toolWindow().frameRateChoice->value(kRate30Fps);
  window->inputsDialog().remoteRateChoice->value(kRemoteRate1s);
  window->updateRates();
  Fl::add_timeout(kSettleSeconds + kMeasureSeconds, [](void*) { running->close_(); });
  const auto from = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                       std::chrono::duration<double>(kSettleSeconds));
  const auto to = from + std::chrono::duration_cast<Clock::duration>(
                             std::chrono::duration<double>(kMeasureSeconds));
  window->runLoop();
  Run run;
  run.fetchesEnded = window->engine().remoteFetches();
  window.reset();
  run.framesPerSecond = frames.rateBetween(from, to);
  return run;
}

}  // namespace

int main(int argc, char** argv) {
  // Under a private X server, once.
  bench::runUnder("REMOTE_WINDOW_BENCH_INSIDE", {XVFB_RUN}, argc, argv);
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;

  // The response's head comes at once; its first record then trickles in.
  const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n<dgc>\n";
  const std::string record = "$001,32.712345,-117.160000,1126531205,250,0,0.125,a,b,Truck 1*\n";
  testserver::LoopbackByteServer server({head + record + "</dgc>\n", head.size(), kTrickle, true});
  if (server.port() == 0) {
    std::printf("FAILED: the trickling state server did not start\n");
    return 1;
  }

  char pattern[] = "/tmp/remote_window_bench_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  {
    // No multicast ports: nothing is joined and the window has no input but the remote one.
    std::ofstream(folder + "/nodes.txt") << "1 a\n2 b\n3 c\n";
    std::ofstream(folder + "/ports.mcp") << "";
    std::ofstream(folder + "/master.cfg")
        << "NodeFile nodes.txt\nPortFile ports.mcp\nWWWFile io.txt\n";
  }
  const std::string plain = "Active Input MULTICAST\n";
  const std::string remote =
      "Active Input REMOTE_STATE\nInput RemoteIp 127.0.0.1\nInput RemotePort " +
      std::to_string(server.port()) + "\nInput RemoteStateFile /state.txt\n";

  double plainFps = 0, remoteFps = 0;
  int connections = 0;
  long fetchesEnded = 0;
  for (int round = 0; round < kRounds; ++round) {
    plainFps = std::max(plainFps, runWindow(folder, plain).framesPerSecond);
    const int before = server.connections();
    const Run run = runWindow(folder, remote);
    remoteFps = std::max(remoteFps, run.framesPerSecond);
    connections += server.connections() - before;
    fetchesEnded += run.fetchesEnded;
  }
  std::filesystem::remove_all(folder);

  const double ratio = plainFps > 0 ? remoteFps / plainFps : 0;
  // Each fetch outlasts the window's run, so the fetches counted have all ended by the stop.
  const bool fetchInFlight = connections >= kRounds;
  std::printf(
      "windowed tracker, display at 30 fps: %.1f frames/s without remote input, %.1f frames/s "
      "while the remote state server trickles a byte every %.1f s (%d fetches in flight, %ld "
      "ended by the window's stop); ratio %.3f (goal >= %.2f)\n",
      plainFps, remoteFps, std::chrono::duration<double>(kTrickle).count(), connections,
      fetchesEnded, ratio, kGoalRatio);
  if (!fetchInFlight)
    std::printf("FAILED: no remote fetch was in flight while frames were counted\n");
  if (check && (!fetchInFlight || ratio < kGoalRatio)) return 1;
  return 0;
}

// The view at fleet scale: the windowed tracker's frame rate with 0, 100 and 1001 alive nodes
// packed within 0.05 degrees of one point, every label on (the number on the icon and the four
// text lines), target, chase and nine close vehicles marked, over the world map, with the
// display at "30 fps" and at "60 fps"; the time from building the window to its first frame
// with 0 and with 1001 nodes; the frame rates with 1001 nodes each trailing 600 points of the
// last ten minutes; the frame rates with 1001 nodes and a CSV data set of 100,000 field reports
// all in view (six filter values, each row labelled with its "Action"); and the processor share
// of the tracker at "30 fps" with 1001 nodes. Frames
// are counted as the view hands them to the buffer swap, over a fixed stretch of wall-clock time
// after the first frame. Runs itself under a private virtual X server.
//
// The nodes come from a local state file of records of age 0 and status alive; the file is
// read into the node table before the window is shown, as the local state input would read it,
// so that the first frame already draws the fleet. The camera starts over the fleet at the
// extent framing it, so that the runs without nodes draw the same piece of the map. The trails
// are put into the tracker's trail store before the window is shown: a point a second along
// gently curving roads at the node's speed, ending where the node is. The reports are built in
// memory and handed to the tracker's data set before the window is shown, spread over the
// fleet's disc, so that every one of them lies in the view. A warm-up
// run writes the texture caches (the world map's into a scratch XDG_CACHE_HOME) before any
// figure is taken: every first frame is timed with warm caches.
//
//   fleet_view_bench           prints the figures and whether the goals are met
//   fleet_view_bench --check   fails when a goal is missed
#include <FL/Fl.H>
#include <FL/gl.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "bench/frame_times.h"
#include "bench/private_display.h"
#include "common/platform/paths.h"
#include "halvex/app/kt_map_window.h"
#include "halvex/engine/data_set_model.h"
#include "halvex/maps/map_texture.h"
#include "halvex/streams/csv_data_set.h"
#include "halvex/streams/local_state_file.h"
#include "halvex/tracking/node_trail.h"
#include "halvex/view/follow_frame.h"
#include "halvex/view/gl_draw_surface.h"
#include "halvex/view/node_icon.h"

namespace {

using bench::Clock;

/// fps with 1001 nodes (also with their trails, also with the reports) / without, at "30 fps".
constexpr double kGoalRateRatio = 0.95;
constexpr double kGoalFirstRatio = 1.2;  ///< First frame with 1001 nodes / without, at most.
constexpr double kSettleSeconds = 0.5;   ///< After the first frame, before counting.
constexpr double kMeasureSeconds = 4.0;  ///< Frames counted over this long.
constexpr double kWarmUpSeconds = 1.0;   ///< Counting stretch of the warm-up run.
constexpr double kGiveUpSeconds = 30.0;  ///< A window without a first frame by then fails.
constexpr int kRounds = 2;               ///< The best of this many runs counts.
/// A first frame is one sample, easily held back by other load: short extra runs give more.
constexpr int kFirstFrameRounds = 4;
constexpr double kFirstFrameSeconds = 0.3;
constexpr int kFleetSizes[] = {0, 100, 1001};
constexpr int kFleet = 1001;            ///< The fleet the goals are about.
constexpr int kRateChoices[] = {1, 0};  ///< Display rate entries "30 fps" and "60 fps".
constexpr const char* kRateNames[] = {"30 fps", "60 fps"};
constexpr double kCentreLatitude = 32.78;
constexpr double kCentreLongitude = -116.98;
constexpr double kSpread = 0.05;  ///< Nodes lie within this many degrees of the centre.
constexpr double kGoldenAngle = 2.399963229728653;
constexpr int kReportRows = 100000;  ///< Field reports of the data set, all in view.
const char* const kReportActions[] = {"ambush", "raid",   "patrol",
                                      "mine",   "sniper", "checkpoint"};  ///< Filter values.
constexpr long kReportFirstTime = 1133958600;  ///< Seconds since 1970 of the first report.
constexpr int kTrailMinutes = 10;
constexpr int kTrailPoints = 600;            ///< Per node: one a second over the trail span.
constexpr int64_t kTrailStepMs = 1000;       ///< Between two trail points.
constexpr double kMetresPerDegree = 111320;  ///< Of latitude, and of longitude at the equator.
constexpr double kKmhToMs = 1 / 3.6;
constexpr double kPi = 3.14159265358979323846;
constexpr int kSurfaceWidth = 835;  ///< The main window's drawing surface, px.
constexpr int kSurfaceHeight = 850;

const char* const kKinds[] = {"Supply truck", "Patrol",        "Recon team",       "Ambulance",
                              "Fuel tanker",  "Engineer team", "Recovery vehicle", "Signals van",
                              "Water tanker", "Command post"};
const char* const kRoutes[] = {"route Kestrel north loop", "depot to ridge road",
                               "river crossing patrol",    "checkpoint 4 relay",
                               "supply run east",          "convoy B escort"};

/// Longitude and latitude of node `id` of `count`: a sunflower spiral of radius kSpread with
/// node 1, the target, at its centre.
void positionOf(int id, int count, double& longitude, double& latitude) {
  const int k = id == 1 ? 0 : id == 0 ? 1 : id;
  const double r = count > 0 ? kSpread * std::sqrt(static_cast<double>(k) / count) : 0;
  longitude = kCentreLongitude + r * std::cos(k * kGoldenAngle);
  latitude = kCentreLatitude + r * std::sin(k * kGoldenAngle);
}

std::string name(const std::string& stem, int count, const char* extension) {
  return stem + "-" + std::to_string(count) + extension;
}

/// Node `id`'s speed, km/h, as its activity line reads.
int speedOf(int id) {
  return 30 + id % 65;
}

/// Gives every node of a fleet of `count` kTrailPoints trail points, a second apart and ending
/// now where the node is: driven backwards at the node's speed along a road that turns slowly
/// one way or the other and winds a little.
void fillTrails(TrailStore& trails, int count) {
  const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  const double metresPerLongitude = kMetresPerDegree * std::cos(kCentreLatitude * kPi / 180);
  std::vector<TrailPoint> track(kTrailPoints);
  for (int id = 0; id < count; ++id) {
    double longitude = 0, latitude = 0;
    positionOf(id, count, longitude, latitude);
    const double step = speedOf(id) * kKmhToMs * kTrailStepMs / 1000.0;  // metres
    const double turn = ((id % 7) - 3) * 0.001;                          // rad per step
    double heading = id * kGoldenAngle;
    for (int k = kTrailPoints - 1; k >= 0; --k) {
      track[static_cast<size_t>(k)] = {nowMs - (kTrailPoints - 1 - k) * kTrailStepMs, latitude,
                                       longitude};
      const double wind = 0.3 * std::sin(k * 0.05 + id);
      longitude -= step * std::sin(heading + wind) / metresPerLongitude;
      latitude -= step * std::cos(heading + wind) / kMetresPerDegree;
      heading -= turn;
    }
    for (const TrailPoint& point : track) {
      trails.add(id, point.ms, point.latitude, point.longitude);
    }
  }
}

/// The field reports: kReportRows rows on a sunflower spiral over the fleet's disc (turned
/// against the nodes' so that few lie under an icon), their Action one of kReportActions in
/// turn, a minute apart, as the converter's columns name them.
std::shared_ptr<const CsvDataSet> reportDataSet() {
  auto set = std::make_shared<CsvDataSet>();
  set->types = {"user", "user", "user", "field list"};
  set->names = {"lat", "lon", "time", "Action"};
  set->rows.resize(kReportRows);
  for (int k = 0; k < kReportRows; ++k) {
    CsvDataRow& row = set->rows[static_cast<size_t>(k)];
    const double r = kSpread * std::sqrt((k + 0.5) / kReportRows);
    const double angle = k * kGoldenAngle + 1.0;
    row.latitude = kCentreLatitude + r * std::sin(angle);
    row.longitude = kCentreLongitude + r * std::cos(angle);
    row.hasPosition = true;
    row.time = static_cast<double>(kReportFirstTime + 60L * k);
    row.hasTime = true;
    row.line = k + 3;
    char lat[32], lon[32];
    std::snprintf(lat, sizeof lat, "%.6f", row.latitude);
    std::snprintf(lon, sizeof lon, "%.6f", row.longitude);
    row.fields = {lat, lon, std::to_string(kReportFirstTime + 60L * k),
                  kReportActions[k % std::size(kReportActions)]};
  }
  return set;
}

/// Writes the node list, state file, input definitions and master file of a fleet of `count`.
void writeFleet(int count) {
  std::ofstream nodes(name("nodes", count, ".txt"));
  std::ofstream state(name("state", count, ".txt"));
  state << "<dgc>\n";
  const long now = static_cast<long>(std::time(nullptr));
  for (int id = 0; id < count; ++id) {
    char nodeName[64], activity[64], record[512];
    std::snprintf(nodeName, sizeof nodeName, "%s %d", kKinds[id % 10], id);
    if (id % 3 == 0) {
      std::snprintf(activity, sizeof activity, "moving %d km/h", speedOf(id));
    } else {
      std::snprintf(activity, sizeof activity, id % 3 == 1 ? "halted" : "holding at post %d",
                    id % 40);
    }
    double longitude = 0, latitude = 0;
    positionOf(id, count, longitude, latitude);
    std::snprintf(record, sizeof record, "$%03d,%.6f,%.6f,%ld,0,0,0.000,%s,%s,%s*\n", id, latitude,
                  longitude, now, kRoutes[id % 6], activity, nodeName);
    nodes << id << " " << nodeName << "\n";
    state << record;
  }
  state << "</dgc>\n";
  std::ofstream(name("io", count, ".txt"))
      << "Active Input LOCAL_STATE\nInput LocalStateFile " << name("state", count, ".txt") << "\n";
  std::ofstream(name("master", count, ".cfg"))
      << "NodeFile " << name("nodes", count, ".txt") << "\nNodeDefFile icons.txt\nWWWFile "
      << name("io", count, ".txt") << "\nMapFile maps.txt\nPreferenceFile preferences.txt\n";
}

/// Writes the setup every fleet shares into the current folder: icons with the number label on,
/// the world map, and preferences with every label and role on.
void writeSharedSetup() {
  std::filesystem::copy(ICONS_DIR, "icons", std::filesystem::copy_options::recursive);
  std::ofstream icons("icons.txt");
  icons << "D icons/vehicle.sgi 2.0 2.6 2.6 0.55 0.80 1.00 1.00 0.78 0.15 1.00 0.22 0.18 on\n"
           "T icons/target.sgi 5.5 5.5 5.5 1.00 0.92 0.20 1.00 0.92 0.20 1.00 0.22 0.18 on\n"
           "C icons/chase.sgi 4.5 4.5 4.5 0.35 1.00 0.45 0.35 1.00 0.45 1.00 0.22 0.18 on\n";
  for (int rank = 1; rank <= TrackingSettings::kMaxCloseCount; ++rank) {
    const double size = 3.8 - 0.2 * rank;
    icons << "PROX" << rank << " icons/near.sgi " << size << " " << size << " " << size
          << " 0.90 0.90 1.00 0.90 0.90 1.00 0.90 0.90 1.00 on\n";
  }
  std::ofstream("maps.txt") << WORLD_MAP << " -180 180 -90 90 0 100000\n";
  // The declutter line comes before lines whose values differ from the defaults, so that a
  // reader stopping at it shows in the settings check.
  std::ofstream("preferences.txt") << "target id 1\ntarget icon on\nchase id 2\nchase icon on\n"
                                      "label declutter off\nprox number 9\nprox icon on\n"
                                      "track mode all\ndisplay mode all\ncomment node on\n"
                                      "comment mcPacket1 on\ncomment mcPacket2 on\ncomment gps on\n"
                                      "alert mediumIdle 5\nalert badIdle 10\n"
                                   << "trail minutes " << kTrailMinutes << "\n";
}

/// Whether the preferences file was taken whole.
bool settingsTaken(const TrackingSettings& s) {
  bool labels = true;
  for (bool on : s.showComment) labels = labels && on;
  return labels && s.targetIcon && s.chaseIcon && s.closeIcon && s.targetId == 1 &&
         s.chaseId == 2 && s.closeCount == TrackingSettings::kMaxCloseCount &&
         s.navigationMode == 0 && s.mediumIdle == 5 && s.badIdle == 10 &&
         s.trailMinutes == kTrailMinutes;
}

/// What one window run saw.
struct WindowRun {
  double firstFrameSeconds = -1;  ///< From building the window to its first frame; -1: none.
  double framesPerSecond = 0;
  double processorPercent = 0;  ///< Of one core, over the counting stretch.
  bool setupTaken = false;      ///< Preferences taken, rate chosen and surface at its size.
};

/// The counting stretch, driven by timeouts.
struct Stretch {
  KT_mapWindow* window = nullptr;
  double seconds = 0;
  Clock::time_point from, to;
  double processFrom = 0, processTo = 0;
};

void stretchEnds(void* data) {
  auto* stretch = static_cast<Stretch*>(data);
  stretch->processTo = bench::processSeconds();
  stretch->to = Clock::now();
  stretch->window->close_();
}

void stretchStarts(void* data) {
  auto* stretch = static_cast<Stretch*>(data);
  stretch->processFrom = bench::processSeconds();
  stretch->from = Clock::now();
  Fl::add_timeout(stretch->seconds, stretchEnds, stretch);
}

void giveUp(void* data) {
  static_cast<Stretch*>(data)->window->close_();
}

/// Runs the window on the fleet of `count` (with their trails when `trails`) with display rate
/// entry `rate` and counts its frames for `seconds` from kSettleSeconds after the first frame;
/// with `reports` shown as the tracker's data set.
WindowRun runWindow(const std::string& folder, int count, int rate, double seconds,
                    bool trails = false, std::shared_ptr<const CsvDataSet> reports = nullptr) {
  setCurrentDirectory(folder);
  // The lazy loads' countdowns outlive a window; a fresh process starts them at zero.
  gMapLoadCountdown = 0;
  gNodeIconLoadCountdown = 0;
  WindowRun run;
  bench::FrameTimes frames;
  Stretch stretch;
  stretch.seconds = seconds;
  const auto start = Clock::now();
  auto window = std::make_unique<KT_mapWindow>("", "master");
  stretch.window = window.get();
  window->surface()->setFrameDrawn([&] {
    if (frames.count() == 0) {
      // The software renderer draws at the swap: make the first frame's figure include it.
      glFinish();
      run.firstFrameSeconds = std::chrono::duration<double>(Clock::now() - start).count();
      Fl::add_timeout(kSettleSeconds, stretchStarts, &stretch);
    }
    window->engine().frameDrawn();
    frames.add();
  });
  window->loadConfiguration(name("master", count, ".cfg"));
  if (trails) fillTrails(window->model().trails(), count);
  if (reports) window->model().dataSet().setDataSet(std::move(reports));
  readLocalStateFile(window->model().nodes(), name("state", count, ".txt").c_str());
  window->engine().setNewStateData(true);
  window->camera().setCenter(kCentreLongitude, kCentreLatitude);
  window->camera().setExtent(framingExtent(kSpread, kSpread, kSurfaceWidth, kSurfaceHeight));
  Fl_Choice* rateChoice = window->toolWindow().frameRateChoice;
  rateChoice->value(kRateChoices[rate]);
  window->updateRates();
  run.setupTaken = settingsTaken(window->model().settings()) && rateChoice->text() != nullptr &&
                   std::strcmp(rateChoice->text(), kRateNames[rate]) == 0 &&
                   window->surface()->w() == kSurfaceWidth &&
                   window->surface()->h() == kSurfaceHeight;
  Fl::add_timeout(kGiveUpSeconds, giveUp, &stretch);
  window->runLoop();
  Fl::remove_timeout(giveUp, &stretch);
  Fl::remove_timeout(stretchStarts, &stretch);
  Fl::remove_timeout(stretchEnds, &stretch);
  window.reset();
  const double wall = std::chrono::duration<double>(stretch.to - stretch.from).count();
  if (wall > 0) {
    run.framesPerSecond = frames.rateBetween(stretch.from, stretch.to);
    run.processorPercent = 100.0 * (stretch.processTo - stretch.processFrom) / wall;
  }
  return run;
}

int indexOf(int count) {
  return static_cast<int>(std::find(std::begin(kFleetSizes), std::end(kFleetSizes), count) -
                          std::begin(kFleetSizes));
}

}  // namespace

int main(int argc, char** argv) {
  bench::runUnder("FLEET_VIEW_BENCH_INSIDE", {XVFB_RUN}, argc, argv);
  const auto begun = Clock::now();
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;

  char pattern[] = "/tmp/fleet_view_bench_XXXXXX";
  const std::string folder = mkdtemp(pattern);
  setenv("XDG_CACHE_HOME", (folder + "/cache").c_str(), 1);
  setCurrentDirectory(folder);
  writeSharedSetup();
  for (int count : kFleetSizes) writeFleet(count);

  // Writes the texture caches and checks the setup; its figures are not kept.
  bool setupTaken = runWindow(folder, kFleet, 0, kWarmUpSeconds).setupTaken;
  double fps[2][3] = {};
  double first[3] = {1e300, 1e300, 1e300};
  double processor = 1e300;
  double trailFps[2] = {};   ///< 1001 nodes with trails, by display rate.
  double reportFps[2] = {};  ///< 1001 nodes with the reports, by display rate.
  const std::shared_ptr<const CsvDataSet> reports = reportDataSet();
  for (int round = 0; round < kRounds; ++round) {
    for (int rate = 0; rate < 2; ++rate) {
      for (int count : kFleetSizes) {
        const WindowRun run = runWindow(folder, count, rate, kMeasureSeconds);
        const int k = indexOf(count);
        setupTaken = setupTaken && run.setupTaken;
        fps[rate][k] = std::max(fps[rate][k], run.framesPerSecond);
        first[k] = std::min(first[k], run.firstFrameSeconds < 0 ? 1e300 : run.firstFrameSeconds);
        if (rate == 0 && count == kFleet) processor = std::min(processor, run.processorPercent);
      }
      const WindowRun run = runWindow(folder, kFleet, rate, kMeasureSeconds, true);
      setupTaken = setupTaken && run.setupTaken;
      trailFps[rate] = std::max(trailFps[rate], run.framesPerSecond);
      const WindowRun withReports =
          runWindow(folder, kFleet, rate, kMeasureSeconds, false, reports);
      setupTaken = setupTaken && withReports.setupTaken;
      reportFps[rate] = std::max(reportFps[rate], withReports.framesPerSecond);
    }
  }
  for (int round = 0; round < kFirstFrameRounds; ++round) {
    for (int count : {0, kFleet}) {
      const WindowRun run = runWindow(folder, count, 0, kFirstFrameSeconds);
      if (run.firstFrameSeconds >= 0) {
        first[indexOf(count)] = std::min(first[indexOf(count)], run.firstFrameSeconds);
      }
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(folder, ignored);

  const int fleet = indexOf(kFleet);
  const bool framesSeen = fps[0][0] > 0 && first[0] < 1e300 && first[fleet] < 1e300;
  const double rateRatio = fps[0][0] > 0 ? fps[0][fleet] / fps[0][0] : 0;
  const double trailRatio = fps[0][0] > 0 ? trailFps[0] / fps[0][0] : 0;
  const double reportRatio = fps[0][0] > 0 ? reportFps[0] / fps[0][0] : 0;
  const double firstRatio = framesSeen ? first[fleet] / first[0] : 0;
  const bool rateMet = framesSeen && rateRatio >= kGoalRateRatio;
  const bool trailMet = framesSeen && trailRatio >= kGoalRateRatio;
  const bool reportMet = framesSeen && reportRatio >= kGoalRateRatio;
  const bool firstMet = framesSeen && firstRatio <= kGoalFirstRatio;
  std::printf(
      "fleet view (%d x %d px, world map, nodes within %.2f deg, number and four label lines on, "
      "target, chase and 9 close vehicles; best of %d runs of %.1f s): frames/s at \"30 fps\" "
      "%.1f with 0 nodes, %.1f with 100, %.1f with 1001; at \"60 fps\" %.1f, %.1f, %.1f\n",
      kSurfaceWidth, kSurfaceHeight, kSpread, kRounds, kMeasureSeconds, fps[0][0], fps[0][1],
      fps[0][2], fps[1][0], fps[1][1], fps[1][2]);
  std::printf(
      "fleet view with trails (1001 nodes each trailing %d points of the last %d minutes): "
      "frames/s at \"30 fps\" %.1f, at \"60 fps\" %.1f\n",
      kTrailPoints, kTrailMinutes, trailFps[0], trailFps[1]);
  std::printf(
      "fleet view with field reports (1001 nodes and %d data set rows all in view, %zu filter "
      "values, labels on): frames/s at \"30 fps\" %.1f, at \"60 fps\" %.1f\n",
      kReportRows, std::size(kReportActions), reportFps[0], reportFps[1]);
  std::printf(
      "fleet view: first frame %.3f s after building the window with 0 nodes, %.3f s with 1001 "
      "(texture caches warm); processor at \"30 fps\" with 1001 nodes %.1f%% of one core\n",
      first[0] < 1e300 ? first[0] : -1.0, first[fleet] < 1e300 ? first[fleet] : -1.0,
      processor < 1e300 ? processor : -1.0);
  std::printf(
      "fleet view goals: frames/s 1001 / 0 nodes at \"30 fps\" %.3f (goal >= %.2f) %s; with "
      "trails %.3f (goal >= %.2f) %s; with 100,000 reports %.3f (goal >= %.2f) %s; first frame "
      "1001 / 0 nodes %.2f (goal <= %.2f) %s\n",
      rateRatio, kGoalRateRatio, rateMet ? "met" : "MISSED", trailRatio, kGoalRateRatio,
      trailMet ? "met" : "MISSED", reportRatio, kGoalRateRatio, reportMet ? "met" : "MISSED",
      firstRatio, kGoalFirstRatio, firstMet ? "met" : "MISSED");
  bool failed = false;
  if (!setupTaken || !framesSeen) {
    std::printf("FAILED: %s\n", !setupTaken ? "the setup was not taken as written (preferences, "
                                              "display rate or window size)"
                                            : "a window drew no frame");
    failed = true;
  } else if (!rateMet || !trailMet || !reportMet || !firstMet) {
    std::printf("FAILED: the view at fleet scale missed its goal\n");
    failed = true;
  }
  std::printf("fleet view: run time %.1f s\n",
              std::chrono::duration<double>(Clock::now() - begun).count());
  return check && failed ? 1 : 0;
}

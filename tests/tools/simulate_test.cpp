// The fleet simulator as a program, read back the way the tracker reads it; the live demo's
// setup files and the icons its script draws.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "common/angles.h"
#include "gtest/gtest.h"
#include "halvex/config/node_graphics.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/maps/sgi_image.h"
#include "halvex/streams/local_state_file.h"
#include "halvex/tracking/node_record.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"

namespace {

const std::string kSimulate = SIMULATE_PATH;
const std::string kIconScript = ICON_SCRIPT;
const std::string kDemoDir = DEMO_DIR;
constexpr double kCentreLat = 32.78;  // the simulator's default region
constexpr double kCentreLon = -116.98;
constexpr double kRadius = 5000;
constexpr double kMetresPerDegree = 111320.0;

using Clock = std::chrono::steady_clock;

/// A program run as a child process, its standard output and error kept in files of its own.
class Process : public testsupport::ChildProcess {
 public:
  explicit Process(const std::vector<std::string>& argv)
      : ChildProcess(argv, testsupport::ChildOutput::kFiles) {}
};

std::vector<std::string> simulateArgs(std::vector<std::string> args) {
  args.insert(args.begin(), kSimulate);
  return args;
}

/// Waits until `path` exists; false after `seconds`.
bool waitForFile(const std::string& path, double seconds = 10) {
  const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
  while (!std::filesystem::exists(path)) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

/// A node as a state file left it.
struct Seen {
  double latitude = 0, longitude = 0, age = 0;
  int status = -1;
  std::string name, comment1, comment2;
};

/// Reads a state file the way the tracker does, into a table of the given ids with empty names,
/// so that the names come from the records. Ids without a record are left out.
std::map<int, Seen> readAsTracker(const ScratchDir& dir, const std::string& stateFile,
                                  const std::vector<int>& ids) {
  std::string list;
  for (int id : ids) list += std::to_string(id) + "\n";
  NodeTable table;
  table.readNodeFile(dir.write("ids.txt", list).c_str());
  std::map<int, Seen> seen;
  if (!readLocalStateFile(table, stateFile.c_str())) return seen;
  for (int k = 0; k < table.count(); ++k) {
    const NodeRecord* n = table.nodeAt(k);
    if (n->name[0] == '\0') continue;  // no record for it
    seen[n->id] = {n->latitude, n->longitude, n->age, n->status, n->name, n->comment1, n->comment2};
  }
  return seen;
}

/// The demo fleet's ids and names, from its node list.
std::map<int, std::string> demoFleet() {
  NodeTable table;
  table.readNodeFile((kDemoDir + "/fleet-nodes.txt").c_str());
  std::map<int, std::string> fleet;
  for (int k = 0; k < table.count(); ++k) fleet[table.nodeAt(k)->id] = table.nodeAt(k)->name;
  return fleet;
}

std::vector<int> idsOf(const std::map<int, std::string>& fleet) {
  std::vector<int> ids;
  for (const auto& [id, name] : fleet) ids.push_back(id);
  return ids;
}

/// Ground distance in metres between two nearby positions.
double metresBetween(double lat1, double lon1, double lat2, double lon2) {
  const double north = (lat2 - lat1) * kMetresPerDegree;
  const double east = (lon2 - lon1) * kMetresPerDegree * std::cos(lat1 * kPi / 180);
  return std::hypot(north, east);
}

double wallSeconds() {
  timespec t{};
  clock_gettime(CLOCK_REALTIME, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Every vehicle of the demo fleet is in the file with its name, inside the region; the moving
// ones move between two writes, holding posts and convoys keep their shape, and each record's
// time is its report's time.
TEST(Simulate, DrivesTheDemoFleet) {
  ScratchDir dir;
  const std::string file = dir.path("fleet.txt");
  const std::map<int, std::string> fleet = demoFleet();
  ASSERT_GE(fleet.size(), 35u);
  Process sim(simulateArgs({"--file", file, "--rate", "20", "--quiet"}));
  ASSERT_TRUE(waitForFile(file));
  const auto first = readAsTracker(dir, file, idsOf(fleet));
  const std::string firstText = dir.read("fleet.txt");
  const double firstRead = wallSeconds();
  const auto firstAt = Clock::now();
  // At least 0.6 s later, and a newer file (a loaded machine may delay the writer).
  do {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  } while ((Clock::now() - firstAt < std::chrono::milliseconds(600) ||
            dir.read("fleet.txt") == firstText) &&
           Clock::now() - firstAt < std::chrono::seconds(10));
  const auto second = readAsTracker(dir, file, idsOf(fleet));
  const double between = std::chrono::duration<double>(Clock::now() - firstAt).count();
  sim.signal(SIGTERM);
  EXPECT_EQ(sim.wait(), 0) << sim.errors;

  ASSERT_EQ(first.size(), fleet.size());
  ASSERT_EQ(second.size(), fleet.size());
  int moved = 0;
  for (const auto& [id, name] : fleet) {
    const Seen& a = first.at(id);
    const Seen& b = second.at(id);
    EXPECT_EQ(a.name, name) << id;
    EXPECT_LE(metresBetween(kCentreLat, kCentreLon, a.latitude, a.longitude), kRadius * 1.01) << id;
    if (metresBetween(a.latitude, a.longitude, b.latitude, b.longitude) > 1) ++moved;
    // Road speeds: at most 27 m/s (about 100 km/h), with some leeway for the write times.
    EXPECT_LT(metresBetween(a.latitude, a.longitude, b.latitude, b.longitude), 27 * (between + 0.5))
        << id;
    EXPECT_EQ(a.comment1.find(','), std::string::npos);
    EXPECT_EQ(a.comment2.find(','), std::string::npos);
  }
  EXPECT_GE(moved, static_cast<int>(fleet.size()) / 2);

  // The first vehicle (the demo's target) holds the region's centre.
  const Seen& post = second.at(fleet.begin()->first);
  EXPECT_NEAR(post.latitude, kCentreLat, 1e-6);
  EXPECT_NEAR(post.longitude, kCentreLon, 1e-6);
  EXPECT_EQ(post.comment2, "holding");

  // A convoy drives one route a few hundred metres long, with equal speeds.
  int lead = 0, tail = 0;
  for (const auto& [id, name] : fleet) {
    if (name == "Convoy A, lead") lead = id;
    if (name == "Convoy A, tail") tail = id;
  }
  ASSERT_NE(lead, 0);
  ASSERT_NE(tail, 0);
  const Seen& l = second.at(lead);
  const Seen& t = second.at(tail);
  EXPECT_EQ(l.comment1, t.comment1);
  if (l.status == NodeRecord::kAlive && t.status == NodeRecord::kAlive) {
    EXPECT_EQ(l.comment2, t.comment2);
    EXPECT_LT(metresBetween(l.latitude, l.longitude, t.latitude, t.longitude), 460);
    EXPECT_GT(metresBetween(l.latitude, l.longitude, t.latitude, t.longitude), 50);
  }

  // Each record's time plus its age is the time of the write, the same for every record.
  std::istringstream lines(firstText);
  std::string line;
  int records = 0;
  double written = 0;
  while (std::getline(lines, line)) {
    int id = 0, ms = 0, status = 0;
    long seconds = 0;
    double lat = 0, lon = 0, age = 0;
    if (std::sscanf(line.c_str(), "$%d,%lf,%lf,%ld,%d,%d,%lf", &id, &lat, &lon, &seconds, &ms,
                    &status, &age) != 7) {
      continue;
    }
    const double sum = static_cast<double>(seconds) + ms / 1000.0 + age;
    if (records++ == 0) written = sum;
    EXPECT_NEAR(sum, written, 0.003) << line;
  }
  EXPECT_NEAR(written, firstRead, 5.0);
  EXPECT_EQ(records, static_cast<int>(fleet.size()));
}

// Vehicles fall silent: their records keep the last report while the age grows, the status
// follows the age through idle to lost, and they come back alive.
TEST(Simulate, VehiclesFallSilentAndComeBack) {
  ScratchDir dir;
  const std::string file = dir.path("fleet.txt");
  const std::vector<int> ids = idsOf(demoFleet());
  Process sim(simulateArgs({"--file", file, "--rate", "25", "--idle-after", "0.2", "--lost-after",
                            "0.4", "--pause-every", "1.5", "--quiet"}));
  ASSERT_TRUE(waitForFile(file));
  std::map<int, Seen> previous;
  std::set<int> wentIdle, wentLost, cameBack;
  int frozenChecks = 0;
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (Clock::now() < end) {
    const auto now = readAsTracker(dir, file, ids);
    ASSERT_EQ(now.size(), ids.size());
    for (const auto& [id, s] : now) {
      if (s.status == NodeRecord::kAlive) {
        EXPECT_LT(s.age, 0.2) << id;
      } else if (s.status == NodeRecord::kIdle) {
        EXPECT_GE(s.age, 0.2) << id;
        EXPECT_LT(s.age, 0.4) << id;
        wentIdle.insert(id);
      } else {
        EXPECT_EQ(s.status, NodeRecord::kLost) << id;
        EXPECT_GE(s.age, 0.4) << id;
        wentLost.insert(id);
      }
      auto before = previous.find(id);
      if (before == previous.end()) continue;
      const Seen& p = before->second;
      if (s.status == NodeRecord::kAlive && p.status == NodeRecord::kLost) cameBack.insert(id);
      if (s.status != NodeRecord::kAlive && p.status != NodeRecord::kAlive && s.age > p.age) {
        // The same silence goes on.
        EXPECT_EQ(s.latitude, p.latitude) << id;
        EXPECT_EQ(s.longitude, p.longitude) << id;
        EXPECT_EQ(s.comment2, p.comment2) << id;
        ++frozenChecks;
      }
    }
    previous = now;
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
  }
  sim.signal(SIGINT);
  EXPECT_EQ(sim.wait(), 0);
  EXPECT_FALSE(wentIdle.empty());
  EXPECT_FALSE(wentLost.empty());
  EXPECT_FALSE(cameBack.empty());
  EXPECT_GT(frozenChecks, 0);
}

// A reader polling the file while it is rewritten hundreds of times a second always finds a
// whole file, and a signal ends the run without leaving a temporary file behind.
TEST(Simulate, ReaderNeverSeesAPartialFile) {
  ScratchDir dir;
  const std::string file = dir.path("fleet.txt");
  const std::vector<int> ids = idsOf(demoFleet());
  Process sim(simulateArgs({"--file", file, "--rate", "500", "--quiet"}));
  ASSERT_TRUE(waitForFile(file));
  std::set<std::string> versions;
  int reads = 0, partial = 0;
  const auto end = Clock::now() + std::chrono::seconds(2);
  while (Clock::now() < end) {
    const std::string text = dir.read("fleet.txt");
    ++reads;
    int records = 0;
    for (size_t at = text.find("\n$"); at != std::string::npos; at = text.find("\n$", at + 1)) {
      ++records;
    }
    const bool whole = text.rfind("<dgc>\n", 0) == 0 && text.size() >= 7 &&
                       text.compare(text.size() - 7, 7, "</dgc>\n") == 0 &&
                       records == static_cast<int>(ids.size());
    if (!whole) ++partial;
    versions.insert(text);
    if (reads % 50 == 0) {
      EXPECT_EQ(readAsTracker(dir, file, ids).size(), ids.size());
    }
  }
  sim.signal(SIGTERM);
  EXPECT_EQ(sim.wait(), 0);
  EXPECT_EQ(partial, 0) << "of " << reads << " reads";
  EXPECT_GT(versions.size(), 50u);
  EXPECT_GT(reads, 200);
  std::filesystem::remove(dir.path("ids.txt"));
  EXPECT_EQ(dir.entryCount(), 1);  // the state file alone
}

// The vehicles come from the node list, from ids, or from a count; names follow the list.
TEST(Simulate, ChoosesTheVehicles) {
  ScratchDir dir;
  const std::string file = dir.path("f.txt");
  const std::map<int, std::string> fleet = demoFleet();
  {
    Process p(simulateArgs({"--file", file, "--ids", "3,7-9,7", "--duration", "0.01"}));
    EXPECT_EQ(p.wait(), 0) << p.errors;
    const auto seen = readAsTracker(dir, file, {1, 3, 7, 8, 9, 10});
    ASSERT_EQ(seen.size(), 4u) << p.errors;
    for (int id : {3, 7, 8, 9}) EXPECT_EQ(seen.at(id).name, fleet.at(id));
    EXPECT_NE(p.output.find("simulate: 4 vehicles"), std::string::npos) << p.output;
  }
  {
    const std::string list = dir.write("few.txt", "5 Alpha\n9 Bravo, two\n");
    Process p(simulateArgs(
        {"--file", file, "--nodes", list, "--count", "4", "--duration", "0.01", "--quiet"}));
    EXPECT_EQ(p.wait(), 0) << p.errors;
    const auto seen = readAsTracker(dir, file, {5, 9, 10, 11, 12});
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen.at(5).name, "Alpha");
    EXPECT_EQ(seen.at(9).name, "Bravo, two");
    EXPECT_EQ(seen.at(10).name, "Vehicle 10");
    EXPECT_EQ(seen.at(11).name, "Vehicle 11");
  }
  {
    Process p(simulateArgs({"--file", file, "--nodes", dir.path("none.txt"), "--quiet"}));
    EXPECT_EQ(p.wait(), 1);
    EXPECT_NE(p.errors.find("cannot read the node list"), std::string::npos) << p.errors;
  }
  {
    const std::string empty = dir.write("empty.txt", "# nobody\n");
    Process p(simulateArgs({"--file", file, "--nodes", empty, "--quiet"}));
    EXPECT_EQ(p.wait(), 1);
    EXPECT_NE(p.errors.find("names no vehicle"), std::string::npos) << p.errors;
  }
}

// A duration ends the run by itself after about that many seconds of writes.
TEST(Simulate, DurationEndsTheRun) {
  ScratchDir dir;
  const auto start = Clock::now();
  Process p(simulateArgs({"--file", dir.path("f.txt"), "--rate", "10", "--duration", "0.6"}));
  EXPECT_EQ(p.wait(5), 0) << p.errors;
  const double took = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_GE(took, 0.55);
  EXPECT_LT(took, 5.0);
  int written = 0;
  const size_t at = p.output.find("simulate: ", p.output.find('\n'));
  ASSERT_NE(at, std::string::npos) << p.output;
  ASSERT_EQ(std::sscanf(p.output.c_str() + at, "simulate: %d state files", &written), 1);
  EXPECT_GE(written, 3);  // ticks missed by a slow write are skipped
  EXPECT_LE(written, 7);  // at 0, 0.1, ... 0.6 s
}

// Bad options are refused with a usage message before anything is written; --help explains.
TEST(Simulate, BadOptionsGiveAUsageMessage) {
  ScratchDir dir;
  const std::string file = dir.path("f.txt");
  const std::vector<std::vector<std::string>> bad = {
      {"--rate", "0"},
      {"--rate", "fast"},
      {"--rate", "1e9"},
      {"--radius", "-5"},
      {"--lat", "89"},
      {"--lon", "181"},
      {"--ids", "5-2"},
      {"--ids", "1001"},
      {"--ids", "1,,2"},
      {"--count", "0"},
      {"--count", "1001"},
      {"--duration", "-1"},
      {"--time-scale", "0"},
      {"--seed", "x"},
      {"--idle-after", "nan"},
      {"--lost-after", "2"},
      {"--pause-every", "-1"},
      {"--bogus"},
      {"--file"},
      {"--ids", "1", "--count", "2"},
      {"--file", ""},
      {"positional"},
  };
  for (std::vector<std::string> args : bad) {
    const std::string shown = args.front() + (args.size() > 1 ? " " + args[1] : "");
    args.insert(args.begin(), {"--file", file});
    Process p(simulateArgs(args));
    EXPECT_EQ(p.wait(), 2) << shown;
    EXPECT_NE(p.errors.find("Usage: simulate"), std::string::npos) << shown << ": " << p.errors;
    EXPECT_FALSE(std::filesystem::exists(file)) << shown;
  }
  Process help(simulateArgs({"--help"}));
  EXPECT_EQ(help.wait(), 0);
  EXPECT_EQ(help.output.rfind("Usage: simulate", 0), 0u);
  EXPECT_NE(help.output.find("--time-scale"), std::string::npos);
}

// A state file that cannot be written ends the run with a message and status 1.
TEST(Simulate, UnwritableFileFails) {
  ScratchDir dir;
  Process p(simulateArgs({"--file", dir.path("missing/f.txt"), "--quiet"}));
  EXPECT_EQ(p.wait(), 1);
  EXPECT_NE(p.errors.find("cannot write the state file"), std::string::npos) << p.errors;
}

/// Reads a big-endian 16-bit word.
int word(const std::string& bytes, size_t at) {
  return (static_cast<unsigned char>(bytes[at]) << 8) | static_cast<unsigned char>(bytes[at + 1]);
}

// Every icon the live demo's node graphics name is drawn by the icon script as an SGI image of
// four channels with a real alpha channel, and the SGI reader takes it.
TEST(DemoIcons, ScriptDrawsEveryIconAsSgiWithAlpha) {
  ScratchDir dir;
  // A texture cache of an earlier drawing would shadow the new icon in the tracker.
  std::filesystem::create_directory(dir.path("icons"));
  dir.write("icons/vehicle.qtex", "stale");
  Process p({"python3", kIconScript, dir.path("icons")});
  ASSERT_EQ(p.wait(60), 0) << p.errors;
  EXPECT_FALSE(std::filesystem::exists(dir.path("icons/vehicle.qtex")));
  NodeGraphics graphics;
  ASSERT_TRUE(graphics.read(kDemoDir + "/fleet-icons.txt"));
  ASSERT_GE(graphics.definitions().size(), 5u);
  std::set<std::string> images;
  for (const NodeIconDef& def : graphics.definitions()) images.insert(def.imagePath);
  ScopedSgiErrorHook reportOnly;
  for (const std::string& image : images) {
    const std::string path = dir.path(image);
    const std::string bytes = [&] {
      std::ifstream in(path, std::ios::binary);
      return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    ASSERT_GE(bytes.size(), 512u) << image;
    EXPECT_EQ(word(bytes, 0), 474) << image;     // magic
    EXPECT_EQ(word(bytes, 2), 0x0001) << image;  // verbatim, one byte a value
    EXPECT_EQ(word(bytes, 4), 3) << image;       // several channels
    EXPECT_EQ(word(bytes, 10), 4) << image;      // red, green, blue, alpha
    const int width = word(bytes, 6), height = word(bytes, 8);
    EXPECT_EQ(bytes.size(), 512u + static_cast<size_t>(width * height * 4)) << image;

    int w = 0, h = 0;
    const auto pixels = longimagedata(path.c_str(), &w, &h);
    ASSERT_NE(pixels, nullptr) << image;
    ASSERT_EQ(w, width);
    ASSERT_EQ(h, height);
    int transparent = 0, opaque = 0;
    for (int i = 0; i < w * h; ++i) {
      const uint32_t px = pixels[static_cast<size_t>(i)];
      const unsigned red = px & 0xFF, green = (px >> 8) & 0xFF, blue = (px >> 16) & 0xFF;
      const unsigned alpha = px >> 24;
      EXPECT_TRUE(red == green && green == blue) << image;  // grey, tinted by the tracker
      transparent += alpha == 0;
      opaque += alpha == 255;
    }
    EXPECT_EQ(pixels[0] >> 24, 0u) << image;  // corners are clear
    EXPECT_GT(transparent, w * h / 10) << image;
    EXPECT_GT(opaque, w * h / 20) << image;
  }
}

TEST(DemoIcons, ScriptRefusesBadArguments) {
  ScratchDir dir;
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"--size", "4", dir.path("a")},
                                               {dir.path("a"), "--size"},
                                               {dir.path("a"), dir.path("b")}}) {
    std::vector<std::string> argv{"python3", kIconScript};
    argv.insert(argv.end(), args.begin(), args.end());
    Process p(argv);
    EXPECT_EQ(p.wait(60), 2);
    EXPECT_NE(p.errors.find("make_demo_icons"), std::string::npos) << p.errors;
  }
  EXPECT_EQ(dir.entryCount(), 0);
}

// The live demo's master file loads its setup as a whole, and the tracker takes what the
// simulator writes for it: every vehicle placed, the target seen, three close vehicles.
TEST(DemoSetup, FleetConfigurationFollowsTheSimulator) {
  ScratchDir dir;
  const std::string previous = std::filesystem::current_path();
  std::filesystem::current_path(kDemoDir);  // setup paths are relative to the master file
  TrackerModel model;
  model.loadConfiguration("fleet.cfg");
  std::filesystem::current_path(previous);

  const std::map<int, std::string> fleet = demoFleet();
  EXPECT_EQ(model.nodes().count(), static_cast<int>(fleet.size()));
  const TrackingSettings& s = model.settings();
  ASSERT_NE(model.nodes().nodeById(s.targetId), nullptr);
  ASSERT_NE(model.nodes().nodeById(s.chaseId), nullptr);
  EXPECT_NE(s.targetId, s.chaseId);
  EXPECT_TRUE(s.targetIcon && s.chaseIcon && s.closeIcon);
  EXPECT_EQ(s.navigationMode, 0);  // centre on the target and frame the vehicles
  EXPECT_EQ(s.closeCount, 3);
  EXPECT_EQ(model.ioDefinitions().inputMode, IoDefinitions::kInputLocalState);
  EXPECT_EQ(model.ioDefinitions().inputLocalStateFile, "fleet-state.txt");

  ASSERT_EQ(model.mapGraphics().maps().size(), 1u);
  const MapGraphicDef& world = model.mapGraphics().maps()[0];
  EXPECT_EQ(world.west, -180);
  EXPECT_EQ(world.east, 180);
  EXPECT_EQ(world.south, -90);
  EXPECT_EQ(world.north, 90);
  EXPECT_LE(world.minExtent, 0.001);  // a street's width
  EXPECT_GT(world.maxExtent, 360);    // the whole globe

  const NodeGraphics& icons = model.nodeGraphics();
  for (int place = 0; place < 3 + s.closeCount; ++place) {
    EXPECT_NE(icons.role(place), nullptr) << place;
  }
  for (const NodeIconDef* own : icons.individuals()) {
    EXPECT_EQ(fleet.count(own->number), 1u) << own->kindWord;
    EXPECT_EQ(model.nodes().nodeById(own->number)->icon, own);
  }

  // The simulator with its defaults writes what this setup reads.
  const std::string state = dir.path("fleet-state.txt");
  Process sim(simulateArgs({"--file", state, "--duration", "0.01", "--quiet"}));
  ASSERT_EQ(sim.wait(), 0) << sim.errors;
  ASSERT_TRUE(readLocalStateFile(model.nodes(), state.c_str()));
  for (const auto& [id, name] : fleet) {
    const NodeRecord* node = model.nodes().nodeById(id);
    EXPECT_NE(node->latitude, 0.0) << id;
    EXPECT_STREQ(node->name, name.c_str());
  }
  EXPECT_TRUE(model.nodes().nodeById(s.targetId)->seenAlive);
  model.nodes().buildNearest(s.targetId, s.chaseId);
  for (int k = 0; k < s.closeCount; ++k) EXPECT_NE(model.nodes().nearestAt(k), nullptr) << k;
}

}  // namespace

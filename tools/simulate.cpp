// simulate: a fleet of vehicles driving around a region, published as a state file that the
// tracker reads as its local state input. The file is rewritten a few times a second and
// replaced atomically, so a reader polling it always finds a whole file.
#include <signal.h>
#include <sys/mman.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "common/platform/install_layout.h"
#include "common/platform/paths.h"
#include "common/version.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_record.h"
#include "halvex/tracking/node_table.h"
#include "tools/fleet.h"
#include "tools/tool_options.h"

namespace {

using fleet::Entry;
using fleet::Fleet;
using tool_options::parseDouble;
using tool_options::parseIds;
using tool_options::parseLong;

const char kShortUsage[] = "Usage: simulate [options]  (simulate --help tells more)\n";

const char kUsage[] =
    "Usage: simulate [options]\n"
    "  or:  simulate --help | --version\n"
    "Drives a fleet of simulated vehicles around a region and rewrites a state file with their\n"
    "positions, statuses and ages a few times a second, for the tracker's local state input.\n"
    "The file is replaced atomically: a reader never sees a partial file.\n"
    "\n"
    "Vehicles drive closed routes (rings and waypoint tours) at road speeds, several to a route;\n"
    "vehicles whose names agree up to a comma (\"Convoy A, lead\", \"Convoy A, 2\") drive\n"
    "together as a convoy; every tenth vehicle, starting with the first, holds a post. Groups\n"
    "halt now and then. Now and then a vehicle falls silent: its record keeps the last report\n"
    "while its age grows, it turns idle, then lost, and comes back later where it has got to.\n"
    "Comment 1 names the route, comment 2 the activity (\"moving 54 km/h\", \"halted\").\n"
    "\n"
    "  --file PATH        state file to rewrite (default fleet-state.txt)\n"
    "  --nodes PATH       node list whose vehicles are driven, ids and names (default the\n"
    "                     demo fleet, demo/fleet-nodes.txt in the shared data folder:\n"
    "                     /usr/share/halvex when installed in /usr)\n"
    "  --ids LIST         drive only these ids 0..1000: numbers and ranges separated by\n"
    "                     commas, e.g. 1,4,10-19; names from the node list where it has them\n"
    "  --count N          drive the first N vehicles of the node list, 1..1000; ids beyond its\n"
    "                     end follow its largest (\"Vehicle <id>\")\n"
    "  --rate R           state files per second, 0.1..1000 (default 4)\n"
    "  --lat DEG          latitude of the region centre, -85..85 (default 32.78)\n"
    "  --lon DEG          longitude of the region centre, -180..180 (default -116.98)\n"
    "  --radius M         region radius in metres, 100..1000000 (default 5000)\n"
    "  --duration S       seconds to run; 0 runs until SIGINT or SIGTERM (default 0)\n"
    "  --seed N           seed of the fleet's layout and events (default 1)\n"
    "  --time-scale F     the vehicles' clock runs F times as fast as the wall clock, 0.01..1000\n"
    "                     (default 1); silences, ages and record times stay on the wall clock\n"
    "  --idle-after S     silent seconds before a vehicle is idle (default 5)\n"
    "  --lost-after S     silent seconds before it is lost, above --idle-after (default 10)\n"
    "  --pause-every S    mean seconds between a vehicle's silences; 0 for none (default 120)\n"
    "  --quiet            no start and end lines on standard output\n"
    "  --help             this text\n"
    "  --version          the program's name and version\n"
    "\n"
    "Exit status 0 at the end (duration reached, SIGINT or SIGTERM), 1 when the node list\n"
    "cannot be read or the first state file cannot be written, 2 on a usage error.\n";

constexpr int kMaxNodeId = NodeTable::kMaxId;
constexpr double kNanosPerSecond = 1e9;

/// The demo fleet's node list in the shared data folder beside this program's bin folder.
std::string demoFleetNodes() {
  return sharedDataDir(executablePath()) + "/demo/fleet-nodes.txt";
}

struct Options {
  std::string file = "fleet-state.txt";
  std::string nodes = demoFleetNodes();
  bool nodesGiven = false;
  std::vector<int> ids;  ///< Empty: from the node list or the count.
  long count = 0;        ///< 0: every vehicle of the node list.
  double rate = 4;
  double duration = 0;
  /// Region, seed, clock and silences of the fleet: seed 1, centre 32.78 -116.98, radius
  /// 5000 m, time scale 1, idle after 5 s, lost after 10 s, a silence every 120 s.
  fleet::Settings fleet{1, 32.78, -116.98, 5000, 1, 5, 10, 120};
  bool quiet = false;
};

/// Reads the command line; returns -1 to go on, or the exit status (0 after --help or
/// --version).
int parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      printVersion(stdout, "simulate");
      return 0;
    }
    if (arg == "--quiet") {
      o.quiet = true;
      continue;
    }
    const bool known = arg == "--file" || arg == "--nodes" || arg == "--ids" || arg == "--count" ||
                       arg == "--rate" || arg == "--lat" || arg == "--lon" || arg == "--radius" ||
                       arg == "--duration" || arg == "--seed" || arg == "--time-scale" ||
                       arg == "--idle-after" || arg == "--lost-after" || arg == "--pause-every";
    if (!known) {
      std::fprintf(stderr, "simulate: unknown option %s\n%s", arg.c_str(), kShortUsage);
      return 2;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "simulate: %s needs a value\n%s", arg.c_str(), kShortUsage);
      return 2;
    }
    const char* value = argv[++i];
    long long n = 0;
    bool ok = true;
    if (arg == "--file") {
      o.file = value;
      ok = !o.file.empty();
    } else if (arg == "--nodes") {
      o.nodes = value;
      o.nodesGiven = true;
      ok = !o.nodes.empty();
    } else if (arg == "--ids") {
      ok = parseIds(value, kMaxNodeId, o.ids);
    } else if (arg == "--count") {
      ok = parseLong(value, 1, kMaxNodeId, n);
      o.count = static_cast<long>(n);
    } else if (arg == "--rate") {
      ok = parseDouble(value, o.rate, 0.1, 1000);
    } else if (arg == "--lat") {
      ok = parseDouble(value, o.fleet.lat, -85, 85);
    } else if (arg == "--lon") {
      ok = parseDouble(value, o.fleet.lon, -180, 180);
    } else if (arg == "--radius") {
      ok = parseDouble(value, o.fleet.radius, 100, 1e6);
    } else if (arg == "--duration") {
      ok = parseDouble(value, o.duration, 0, 1e9);
    } else if (arg == "--seed") {
      ok = parseLong(value, 0, INT64_MAX, n);
      o.fleet.seed = static_cast<unsigned long long>(n);
    } else if (arg == "--time-scale") {
      ok = parseDouble(value, o.fleet.timeScale, 0.01, 1000);
    } else if (arg == "--idle-after") {
      ok = parseDouble(value, o.fleet.idleAfter, 0.01, 1e6);
    } else if (arg == "--lost-after") {
      ok = parseDouble(value, o.fleet.lostAfter, 0.01, 1e6);
    } else if (arg == "--pause-every") {
      ok = parseDouble(value, o.fleet.pauseEvery, 0, 1e9);
    }
    if (!ok) {
      std::fprintf(stderr, "simulate: bad value for %s: %s\n%s", arg.c_str(), value, kShortUsage);
      return 2;
    }
  }
  if (o.fleet.lostAfter <= o.fleet.idleAfter) {
    std::fprintf(stderr, "simulate: --lost-after must be above --idle-after\n%s", kShortUsage);
    return 2;
  }
  if (!o.ids.empty() && o.count > 0) {
    std::fprintf(stderr, "simulate: give --ids or --count, not both\n%s", kShortUsage);
    return 2;
  }
  return -1;
}

/// The node list's vehicles in file order; false when the file cannot be read.
bool readNodeList(const std::string& path, std::vector<Entry>& entries) {
  NodeTable table;
  if (!table.readNodeFile(path.c_str())) return false;
  for (int k = 0; k < table.count(); ++k) {
    const NodeRecord* node = table.nodeAt(k);
    entries.push_back({node->id, node->name});
  }
  return true;
}

std::string vehicleName(int id) {
  return "Vehicle " + std::to_string(id);
}

/// The vehicles to drive, from the options and the node list. Returns the exit status on
/// failure (after a message), -1 on success.
int chooseVehicles(const Options& o, std::vector<Entry>& vehicles) {
  std::vector<Entry> listed;
  const bool haveList = readNodeList(o.nodes, listed);
  if (!haveList && (o.nodesGiven || (o.ids.empty() && o.count == 0))) {
    std::fprintf(stderr,
                 "simulate: cannot read the node list %s (give --nodes, --ids or --count)\n",
                 o.nodes.c_str());
    return 1;
  }
  if (!o.ids.empty()) {
    std::set<int> seen;
    for (int id : o.ids) {
      if (!seen.insert(id).second) continue;
      auto it =
          std::find_if(listed.begin(), listed.end(), [id](const Entry& e) { return e.id == id; });
      vehicles.push_back({id, it != listed.end() ? it->name : vehicleName(id)});
    }
  } else if (o.count > 0) {
    int nextId = 1;
    for (const Entry& e : listed) {
      if (static_cast<long>(vehicles.size()) == o.count) break;
      vehicles.push_back(e);
    }
    for (const Entry& e : listed) nextId = std::max(nextId, e.id + 1);
    while (static_cast<long>(vehicles.size()) < o.count) {
      if (nextId > kMaxNodeId) {
        std::fprintf(stderr, "simulate: --count %ld runs past id %d\n%s", o.count, kMaxNodeId,
                     kShortUsage);
        return 2;
      }
      vehicles.push_back({nextId, vehicleName(nextId)});
      ++nextId;
    }
  } else {
    vehicles = listed;
  }
  if (vehicles.empty()) {
    std::fprintf(stderr, "simulate: the node list %s names no vehicle\n", o.nodes.c_str());
    return 1;
  }
  return -1;
}

/// Fills `table` with exactly `vehicles` through a node list held in memory.
bool buildTable(const std::vector<Entry>& vehicles, NodeTable& table) {
  std::string text;
  for (const Entry& v : vehicles) text += std::to_string(v.id) + " " + v.name + "\n";
  const int fd = memfd_create("simulate-nodes", MFD_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  ok = ok && table.readNodeFile(("/proc/self/fd/" + std::to_string(fd)).c_str());
  ::close(fd);
  return ok && table.count() == static_cast<int>(vehicles.size());
}

double secondsOf(const timespec& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / kNanosPerSecond;
}

double clockSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return secondsOf(t);
}

/// Waits until `due` on the monotonic clock; false when a termination signal came first.
bool waitUntil(double due, const sigset_t& signals) {
  for (;;) {
    const double left = due - clockSeconds(CLOCK_MONOTONIC);
    if (left <= 0) return true;
    timespec timeout{};
    timeout.tv_sec = static_cast<time_t>(left);
    timeout.tv_nsec =
        static_cast<long>((left - static_cast<double>(timeout.tv_sec)) * kNanosPerSecond);
    const int signal = sigtimedwait(&signals, nullptr, &timeout);
    if (signal > 0) return false;
    if (errno != EAGAIN && errno != EINTR) return true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  // Termination signals are taken synchronously between two writes, so a write is never cut
  // short and no temporary file is left behind. SIGINT and SIGTERM end the run also when the
  // starting shell let them be ignored (as it does for background commands); an ignored SIGHUP
  // (nohup) stays ignored.
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  struct sigaction hangup = {};
  if (sigaction(SIGHUP, nullptr, &hangup) == 0 && hangup.sa_handler != SIG_IGN) {
    sigaddset(&signals, SIGHUP);
  }
  sigprocmask(SIG_BLOCK, &signals, nullptr);
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);

  Options o;
  if (const int status = parseOptions(argc, argv, o); status >= 0) return status;
  std::vector<Entry> entries;
  if (const int status = chooseVehicles(o, entries); status >= 0) return status;
  NodeTable table;
  if (!buildTable(entries, table)) {
    std::fprintf(stderr, "simulate: cannot set up the node table\n");
    return 1;
  }
  Fleet fleet(o.fleet, entries);
  if (!o.quiet) {
    std::printf(
        "simulate: %zu vehicles around %.6f, %.6f (radius %.0f m), writing %s %g times a "
        "second\n",
        fleet.size(), o.fleet.lat, o.fleet.lon, o.fleet.radius, o.file.c_str(), o.rate);
    std::fflush(stdout);
  }

  const double start = clockSeconds(CLOCK_MONOTONIC);
  const double epoch = clockSeconds(CLOCK_REALTIME);
  long written = 0;
  bool failing = false;
  for (long k = 0;; ++k) {
    const double wall = clockSeconds(CLOCK_MONOTONIC) - start;
    fleet.advance(wall);
    fleet.publish(table, wall, epoch);
    if (writeStateFile(table, o.file.c_str(), true)) {
      ++written;
      failing = false;
    } else if (written == 0) {
      std::fprintf(stderr, "simulate: cannot write the state file %s\n", o.file.c_str());
      return 1;
    } else if (!failing) {
      std::fprintf(stderr, "simulate: cannot write the state file %s; trying on\n", o.file.c_str());
      failing = true;
    }
    // The next write is due at the next tick of the rate; ticks missed by a slow write are
    // skipped rather than caught up in a burst.
    const double now = clockSeconds(CLOCK_MONOTONIC) - start;
    k = std::max(k, static_cast<long>(std::floor(now * o.rate)));
    const double next = static_cast<double>(k + 1) / o.rate;
    if (o.duration > 0 && next > o.duration) break;
    if (!waitUntil(start + next, signals)) break;
  }
  if (!o.quiet) {
    std::printf("simulate: %ld state file%s written in %.1f s\n", written, written == 1 ? "" : "s",
                clockSeconds(CLOCK_MONOTONIC) - start);
  }
  return 0;
}

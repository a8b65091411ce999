// Times the dunmore command line converting generated cast files of 25,000, 50,000 and 100,000
// reports (half with grid references, many distinct terms), and prints reports and megabytes per
// second with the peak memory of each run. With --check it exits 1 unless 100,000 reports take
// under a second of processor time and memory grows no faster than linearly.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"

namespace {

constexpr int kReports = 100000;
constexpr int kRounds = 3;  ///< the best round counts, which filters out other load
constexpr double kGoalSeconds = 1.0;
constexpr int kDataVersion = 1;  ///< raise when generate() changes, so kept inputs are made again

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kActions[] = {"ambush", "IED strike",      "sniper fire", "mortar attack",
                                "raid",   "small arms fire", "RPG attack",  "checkpoint attack"};
const char* const kEntities[] = {"convoy",     "patrol",         "bridge",
                                 "checkpoint", "police station", "market"};
const char* const kRoutes[] = {"Route Blue", "Route Tampa", "Route Irish", "Route Michigan"};

/// Writes `count` reports to `path`; returns the file's size in bytes.
long generate(const std::string& path, int count) {
  std::mt19937 rng(20050101);
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  std::uniform_real_distribution<double> lat(32.2, 39.8), lon(42.2, 47.8);
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return -1;
  for (int i = 0; i < count; ++i) {
    std::fprintf(f, "%02d%02d%02d%s", 1 + pick(28), pick(24), pick(60), kMonths[pick(12)]);
    if (pick(3) == 0) std::fprintf(f, " ZONE %s", pick(2) ? "38S" : "37S");
    // Unit numbers make many distinct actions, entities and place names.
    std::fprintf(f, " %s unit %d", kActions[pick(8)], pick(20000));
    if (pick(2)) std::fprintf(f, " on %s %d", kEntities[pick(6)], pick(5000));
    if (pick(2)) std::fprintf(f, " on %s", kRoutes[pick(4)]);
    if (i % 2 == 0) {
      char mgrs[geodesy::kMgrsBufferSize];
      geodesy::geodeticToMgrs(lat(rng) * geodesy::kDegToRad, lon(rng) * geodesy::kDegToRad, 5,
                              mgrs);
      // "38SMB1234567890" -> "GR MB 12345 67890"
      std::fprintf(f, " at GR %.2s %.5s %.5s", mgrs + 3, mgrs + 5, mgrs + 10);
    } else {
      std::fprintf(f, " at village %d", pick(30000));
    }
    std::fprintf(f, ". %d vehicles hit , area secured .\n", 1 + pick(5));
  }
  const long size = std::ftell(f);
  if (std::fclose(f) != 0) return -1;
  return size;
}

/// The file of `count` reports at `path`, made when missing (under another name first, so that
/// an interrupted run never leaves a short file to be reused); returns its size in bytes.
long generated(const std::string& path, int count) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return static_cast<long>(st.st_size);
  const std::string partial = path + ".partial";
  const long size = generate(partial, count);
  if (size <= 0 || std::rename(partial.c_str(), path.c_str()) != 0) return -1;
  return size;
}

struct Run {
  bool ok = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  double peakMb = 0;
};

/// Runs the command line on `input` and measures it.
Run convert(const std::string& input, const std::string& csv) {
  Run run;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execl(DUNMORE_PROGRAM, "dunmore", "--csv", csv.c_str(), input.c_str(),
          static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (child < 0 || wait4(child, &status, 0, &usage) != child) return run;
  const auto t1 = std::chrono::steady_clock::now();
  run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  run.wallSeconds = std::chrono::duration<double>(t1 - t0).count();
  run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  run.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
  return run;
}

/// Best of kRounds runs: the least time and the least peak memory seen.
Run best(const std::string& input, const std::string& csv) {
  Run b;
  for (int r = 0; r < kRounds; ++r) {
    const Run run = convert(input, csv);
    if (!run.ok) return run;
    if (!b.ok) {
      b = run;
      continue;
    }
    b.wallSeconds = std::min(b.wallSeconds, run.wallSeconds);
    b.cpuSeconds = std::min(b.cpuSeconds, run.cpuSeconds);
    b.peakMb = std::min(b.peakMb, run.peakMb);
  }
  return b;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 2 && !std::strcmp(argv[1], "--check");
  // The generated inputs are kept in the build folder and made again only when missing.
  const std::string data = CAST_BENCH_DATA;
  mkdir(data.c_str(), 0755);
  char dirPattern[] = "/tmp/cast_bench_XXXXXX";
  if (!mkdtemp(dirPattern)) return 1;
  const std::string dir = dirPattern, csv = dir + "/out.csv";

  const int sizes[] = {kReports / 4, kReports / 2, kReports};
  Run runs[3];
  long bytes[3] = {};
  bool ok = true;
  for (int i = 0; i < 3; ++i) {
    const std::string input = data + "/reports-v" + std::to_string(kDataVersion) + "-" +
                              std::to_string(sizes[i]) + ".cast";
    bytes[i] = generated(input, sizes[i]);
    runs[i] = bytes[i] > 0 ? best(input, csv) : Run();
    if (!runs[i].ok) {
      std::printf("cast: converting %d reports failed\n", sizes[i]);
      ok = false;
      break;
    }
    std::printf(
        "cast: %6d reports (%5.1f MB): %.3f s (%.3f s processor), %8.0f reports/s, %6.1f MB/s, "
        "peak %6.1f MB\n",
        sizes[i], bytes[i] / 1e6, runs[i].wallSeconds, runs[i].cpuSeconds,
        sizes[i] / runs[i].wallSeconds, bytes[i] / 1e6 / runs[i].wallSeconds, runs[i].peakMb);
  }
  std::remove(csv.c_str());
  rmdir(dir.c_str());
  if (!ok) return 1;

  // Memory per report over the second doubling may exceed that over the first by at most half,
  // plus a little for the allocator's granularity.
  const double firstSlope = (runs[1].peakMb - runs[0].peakMb) / (sizes[1] - sizes[0]);
  const double secondSlope = (runs[2].peakMb - runs[1].peakMb) / (sizes[2] - sizes[1]);
  const bool linear = secondSlope <= 1.5 * firstSlope + 2.0 / (sizes[2] - sizes[1]);
  std::printf("cast: memory %.2f kB per report, then %.2f kB per report\n", firstSlope * 1024,
              secondSlope * 1024);
  if (check && runs[2].cpuSeconds >= kGoalSeconds) {
    std::printf("cast: %d reports took %.3f s of processor time, goal under %.1f s\n", kReports,
                runs[2].cpuSeconds, kGoalSeconds);
    return 1;
  }
  if (check && !linear) {
    std::printf("cast: memory grows faster than linearly\n");
    return 1;
  }
  return 0;
}

// The converter's benchmark workload: cast files of generated field reports (half with grid
// references, many distinct terms), kept in the build folder between runs, and one run of the
// dunmore command line over such a file, measured.
#pragma once

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <random>
#include <string>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"

namespace castreports {

constexpr int kDataVersion = 1;  ///< raise when generate() changes, so kept inputs are made again

inline const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
inline const char* const kActions[] = {
    "ambush", "IED strike",      "sniper fire", "mortar attack",
    "raid",   "small arms fire", "RPG attack",  "checkpoint attack"};
inline const char* const kEntities[] = {"convoy",     "patrol",         "bridge",
                                        "checkpoint", "police station", "market"};
inline const char* const kRoutes[] = {"Route Blue", "Route Tampa", "Route Irish", "Route Michigan"};

/// Writes `count` reports to `path`; returns the file's size in bytes.
inline long generate(const std::string& path, int count) {
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
inline long generated(const std::string& path, int count) {
  struct stat st {};
  if (stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) return static_cast<long>(st.st_size);
  const std::string partial = path + ".partial";
  const long size = generate(partial, count);
  if (size <= 0 || std::rename(partial.c_str(), path.c_str()) != 0) return -1;
  return size;
}

/// Where the file of `count` reports is kept in the folder `data`.
inline std::string keptFile(const std::string& data, int count) {
  return data + "/reports-v" + std::to_string(kDataVersion) + "-" + std::to_string(count) + ".cast";
}

/// One run of the converter, measured.
struct Run {
  bool ok = false;
  double wallSeconds = 0;
  double cpuSeconds = 0;
  double peakMb = 0;
};

/// Runs `program` --csv `csv` `input` and measures it.
inline Run convert(const char* program, const std::string& input, const std::string& csv) {
  Run run;
  const auto t0 = std::chrono::steady_clock::now();
  const pid_t child = fork();
  if (child == 0) {
    execl(program, "dunmore", "--csv", csv.c_str(), input.c_str(), static_cast<char*>(nullptr));
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

}  // namespace castreports

// Times the dunmore command line converting generated cast files of 25,000, 50,000 and 100,000
// reports (half with grid references, many distinct terms), and prints reports and megabytes per
// second with the peak memory of each run. With --check it exits 1 unless 100,000 reports take
// under a second of processor time and memory grows no faster than linearly.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>

#include "bench/cast_reports.h"

namespace {

using castreports::Run;

constexpr int kReports = 100000;
constexpr int kRounds = 3;  ///< the best round counts, which filters out other load
constexpr double kGoalSeconds = 1.0;

/// Best of kRounds runs: the least time and the least peak memory seen.
Run best(const std::string& input, const std::string& csv) {
  Run b;
  for (int r = 0; r < kRounds; ++r) {
    const Run run = castreports::convert(DUNMORE_PROGRAM, input, csv);
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
    const std::string input = castreports::keptFile(data, sizes[i]);
    bytes[i] = castreports::generated(input, sizes[i]);
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

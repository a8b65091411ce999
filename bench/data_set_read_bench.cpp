// Times reading a CSV data set of 100,000 rows, the file dunmore writes from the converter
// benchmark's 100,000 generated reports, beside dunmore converting those reports into it. Prints
// both, best of three runs each, and their ratio; with --check it exits 1 when the read takes
// longer than the conversion.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/best_time.h"
#include "bench/cast_reports.h"
#include "halvex/streams/csv_data_set.h"

namespace {

constexpr int kReports = 100000;
constexpr int kRounds = 3;  ///< the best round counts, which filters out other load

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 2 && !std::strcmp(argv[1], "--check");
  // The same generated input as the converter's benchmark, kept in the build folder.
  const std::string data = CAST_BENCH_DATA;
  mkdir(data.c_str(), 0755);
  const std::string input = castreports::keptFile(data, kReports);
  if (castreports::generated(input, kReports) <= 0) {
    std::printf("data set read: cannot make %s\n", input.c_str());
    return 1;
  }
  char dirPattern[] = "/tmp/data_set_read_bench_XXXXXX";
  if (!mkdtemp(dirPattern)) return 1;
  const std::string dir = dirPattern, csv = dir + "/reports.csv";

  double convertSeconds = 1e300;
  for (int r = 0; r < kRounds; ++r) {
    const castreports::Run run = castreports::convert(DUNMORE_PROGRAM, input, csv);
    if (!run.ok) {
      std::printf("data set read: converting %d reports failed\n", kReports);
      return 1;
    }
    convertSeconds = std::min(convertSeconds, run.wallSeconds);
  }

  CsvDataSet set;
  std::string error;
  bool read = true;
  const double readSeconds =
      bench::bestMs(kRounds, [&] { read = readCsvDataSet(csv, set, &error) && read; }) / 1000;
  struct stat st {};
  const double megabytes = stat(csv.c_str(), &st) == 0 ? st.st_size / 1e6 : 0;
  std::remove(csv.c_str());
  rmdir(dir.c_str());
  if (!read || set.rows.size() != static_cast<size_t>(kReports) || set.skipped != 0) {
    std::printf("data set read: reading the converter's file failed (%s, %zu rows, %ld skipped)\n",
                error.c_str(), set.rows.size(), set.skipped);
    return 1;
  }
  const double ratio = readSeconds / convertSeconds;
  std::printf(
      "data set read: dunmore --csv on %d reports %.3f s; reading its %zu rows (%.1f MB) %.3f s; "
      "read/convert %.2f\n",
      kReports, convertSeconds, set.rows.size(), megabytes, readSeconds, ratio);
  if (check && ratio > 1) {
    std::printf("data set read: the read took longer than the conversion, goal at most as long\n");
    return 1;
  }
  return 0;
}

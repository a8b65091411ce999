#include "dunmore/csv_writer.h"

#include "common/platform/atomic_file.h"
#include "dunmore/cast_date.h"

namespace dunmore {

namespace {

constexpr const char* kTypes[] = {"user", "user", "user",   "coordSys", "xval",       "yval",
                                  "user", "user", "user",   "user",     "year",       "month",
                                  "day",  "hour", "minute", "second",   "millisecond"};
constexpr const char* kNames[] = {"index", "start Ln", "end Ln", " ",    " ", " ",
                                  "zval",  "lat",      "lon",    "time", " ", " ",
                                  " ",     " ",        " ",      " ",    " "};
static_assert(sizeof kTypes == sizeof kNames, "one name per column type");

/// The text columns' type.
constexpr const char kFieldList[] = "field list";

void writeHeader(std::FILE* file, const char* const (&columns)[17]) {
  for (int i = 0; i < 17; ++i) std::fprintf(file, i ? ",%s" : "%s", columns[i]);
}

void writeRow(std::FILE* file, long index, const Report& r) {
  const UtcTime t = utcTime(r.time);
  std::fprintf(file, "%ld,%ld,%ld,%s,%ld,%ld,%ld,%lf,%lf,%ld,%ld,%ld,%ld,%ld,%ld,%ld,%ld", index,
               1L, 1L, r.gridSquare.c_str(), static_cast<long>(r.easting),
               static_cast<long>(r.northing), static_cast<long>(r.zval), r.latitude, r.longitude,
               static_cast<long>(r.time), t.year, t.month, t.day, t.hour, t.minute, t.second,
               static_cast<long>(r.milliseconds));
  for (const std::string& text : r.texts) {
    std::fputc(',', file);
    std::fputs(text.c_str(), file);
  }
  std::fputc('\n', file);
}

}  // namespace

bool writeCsv(std::FILE* file, const ReportSet& set) {
  writeHeader(file, kTypes);
  for (int i = 0; i < kReportTextCount; ++i) std::fprintf(file, ",%s", kFieldList);
  std::fputc('\n', file);

  writeHeader(file, kNames);
  for (int i = 0; i < kReportTextCount; ++i)
    std::fprintf(file, ",%s", set.statistics().dictionary(i).name().c_str());
  std::fputc('\n', file);

  long index = 0;
  for (const Report& r : set.reports()) writeRow(file, index++, r);
  return std::ferror(file) == 0;
}

bool writeCsv(const std::string& name, const ReportSet& set) {
  // A new file renamed over the old one once whole and synced: a full disk or a crash leaves
  // the old CSV file. A link to it is followed and kept.
  AtomicFile file(name, Durability::kKeep, LinkPolicy::kFollow);
  return file.open() && writeCsv(file.stream(), set) && file.commit();
}

}  // namespace dunmore

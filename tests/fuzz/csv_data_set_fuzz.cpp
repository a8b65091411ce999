// CSV data sets: any bytes read without a crash, and every row kept has the header's field count
// and a position within the globe.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/streams/csv_data_set.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  CsvDataSet set;
  std::string error;
  if (!parseCsvDataSet(text, set, &error)) {
    if (!set.rows.empty() || error.empty()) std::abort();
    return 0;
  }
  if (set.names.size() != set.types.size()) std::abort();
  for (const CsvDataRow& row : set.rows) {
    if (row.fields.size() != set.types.size()) std::abort();
    if (row.hasPosition && (std::fabs(row.latitude) > 90 || std::fabs(row.longitude) > 180)) {
      std::abort();
    }
  }
  if (set.skipped > 0 && set.firstSkippedLine < 3) std::abort();
  return 0;
}

// The state record writer and the date text against snprintf with the same pattern, on
// arbitrary values and buffer sizes: the same bytes, the same length, nothing written past the
// buffer.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/streams/nmea.h"
#include "halvex/streams/state_record.h"
#include "tests/fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint16_t bufferSize = take<uint16_t>(data, size) % 600;
  const int id = take<int>(data, size);
  const double lat = take<double>(data, size), lon = take<double>(data, size);
  const long time = take<long>(data, size);
  const int ms = take<int>(data, size), status = take<int>(data, size);
  const double age = take<double>(data, size);
  std::string texts(reinterpret_cast<const char*>(data), size);
  texts = texts.c_str();
  const size_t third = texts.size() / 3;
  const std::string c1 = texts.substr(0, third), c2 = texts.substr(third, third),
                    name = texts.substr(2 * third);

  std::vector<char> expected(bufferSize + 1, '#'), ours(bufferSize + 16, '#');
  const int n1 =
      std::snprintf(expected.data(), bufferSize, "$%03d,%f,%f,%ld,%d,%d,%05.3lf,%s,%s,%s*\n", id,
                    lat, lon, time, ms, status, age, c1.c_str(), c2.c_str(), name.c_str());
  const int n2 = formatStateRecord(ours.data(), bufferSize, id, lat, lon, time, ms, status, age,
                                   c1.c_str(), c2.c_str(), name.c_str());
  if (n1 != n2) std::abort();
  if (bufferSize > 0 && std::strcmp(expected.data(), ours.data()) != 0) std::abort();
  for (size_t k = bufferSize; k < ours.size(); ++k) {
    if (ours[k] != '#') std::abort();
  }

  // The date text from the same bytes.
  char dateExpected[kDateTextSize], dateOurs[kDateTextSize];
  const int hour = static_cast<int>(time), minute = ms;
  const int d1 =
      std::snprintf(dateExpected, sizeof dateExpected, "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf", time,
                    static_cast<long>(id), static_cast<long>(status), hour, minute, age);
  const int d2 = formatDateText(dateOurs, time, id, status, hour, minute, age);
  if (d1 != d2 || std::strcmp(dateExpected, dateOurs) != 0) std::abort();
  // And with the small fields of real dates, where the fast path runs.
  const long year = time % 10000;
  const int d3 = std::snprintf(
      dateExpected, sizeof dateExpected, "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf", year,
      static_cast<long>(id % 100), static_cast<long>(status % 100), hour % 100, minute % 100, lat);
  const int d4 =
      formatDateText(dateOurs, year, id % 100, status % 100, hour % 100, minute % 100, lat);
  if (d3 != d4 || std::strcmp(dateExpected, dateOurs) != 0) std::abort();
  return 0;
}

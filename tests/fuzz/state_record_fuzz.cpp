// State records: the reader against a plain reference built from the separator rules and
// sscanf, and records written by the writer reading back as what was written.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/streams/state_record.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

struct Reference {
  int id;
  double lat, lon, age;
  long time, status;
  int ms;
  std::string c1, c2, name;
};

bool referenceParse(const char* line, Reference& r) {
  const char* open = std::strchr(line, '$');
  if (open == nullptr) return false;
  std::vector<const char*> commas;
  const char* close = nullptr;
  for (const char* p = open + 1; *p; ++p) {
    if (*p == ',' && commas.size() < 9) commas.push_back(p);
    if (*p == '*' && commas.size() >= 8) {
      close = p;
      break;
    }
  }
  if (commas.size() != 9 && !(commas.size() == 8 && close)) return false;
  if (std::sscanf(open, "$%d", &r.id) != 1 || std::sscanf(commas[0], ",%lf", &r.lat) != 1 ||
      std::sscanf(commas[1], ",%lf", &r.lon) != 1 || std::sscanf(commas[2], ",%ld", &r.time) != 1 ||
      std::sscanf(commas[3], ",%d", &r.ms) != 1 || std::sscanf(commas[4], ",%ld", &r.status) != 1 ||
      std::sscanf(commas[5], ",%lf", &r.age) != 1) {
    return false;
  }
  if (!std::isfinite(r.lat) || !std::isfinite(r.lon) || !std::isfinite(r.age)) return false;
  r.c1.assign(commas[6] + 1, commas[7]);
  if (commas.size() == 9) {
    r.c2.assign(commas[7] + 1, commas[8]);
    r.name = close ? std::string(commas[8] + 1, close) : std::string(commas[8] + 1);
  } else {
    r.c2.assign(commas[7] + 1, close);
    r.name = close + 1;
  }
  r.name = r.name.substr(0, r.name.find_first_of("\r\n"));
  return true;
}

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The input as a line for the reader.
  {
    std::string line(reinterpret_cast<const char*>(data), size);
    line = line.c_str();  // up to the first NUL, as a line would be
    std::vector<char> text(line.begin(), line.end());
    text.push_back('\0');
    Reference ref;
    StateRecord r;
    const bool refOk = referenceParse(line.c_str(), ref);
    if (parseStateRecord(text.data(), r) != refOk) std::abort();
    if (refOk && (r.id != ref.id || !sameBits(r.latitude, ref.lat) ||
                  !sameBits(r.longitude, ref.lon) || r.time != ref.time ||
                  r.milliseconds != ref.ms || r.status != ref.status || !sameBits(r.age, ref.age) ||
                  ref.c1 != r.comment1 || ref.c2 != r.comment2 || ref.name != r.name)) {
      std::abort();
    }
  }

  // The input as values for the writer; what it writes must read back.
  const int id = take<int>(data, size);
  const double lat = take<double>(data, size), lon = take<double>(data, size);
  const long time = take<long>(data, size);
  const int ms = take<int>(data, size), status = take<int>(data, size);
  const double age = take<double>(data, size);
  std::string texts(reinterpret_cast<const char*>(data), size);
  for (char& c : texts) {
    if (c == ',' || c == '*' || c == '\r' || c == '\n' || c == '\0') c = '_';
  }
  const size_t third = texts.size() / 3;
  const std::string c1 = texts.substr(0, third), c2 = texts.substr(third, third),
                    name = texts.substr(2 * third);
  char line[8192];
  const int n = formatStateRecord(line, sizeof line, id, lat, lon, time, ms, status, age,
                                  c1.c_str(), c2.c_str(), name.c_str());
  if (n < 0 || static_cast<size_t>(n) >= sizeof line) return 0;
  char latText[400], lonText[400], ageText[400];
  std::snprintf(latText, sizeof latText, "%f", lat);
  std::snprintf(lonText, sizeof lonText, "%f", lon);
  std::snprintf(ageText, sizeof ageText, "%05.3lf", age);
  StateRecord r;
  // A record of a non-finite position or age is refused as a whole.
  const bool finite = std::isfinite(lat) && std::isfinite(lon) && std::isfinite(age);
  if (parseStateRecord(line, r) != finite) std::abort();
  if (!finite) return 0;
  if (r.id != id || r.time != time || r.milliseconds != ms || r.status != status ||
      c1 != r.comment1 || c2 != r.comment2 || name != r.name) {
    std::abort();
  }
  if (!sameBits(r.latitude, std::strtod(latText, nullptr)) ||
      !sameBits(r.longitude, std::strtod(lonText, nullptr)) ||
      !sameBits(r.age, std::strtod(ageText, nullptr))) {
    std::abort();
  }
  return 0;
}

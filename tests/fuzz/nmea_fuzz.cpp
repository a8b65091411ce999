// GPZDA and GPGLL readers against a plain reference built from sscanf, mktime and snprintf: the
// same acceptance and the same values, calendar record and date text.
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "halvex/streams/nmea.h"

namespace {

/// Field starts after the tag; an empty field ends the list.
int fieldsOf(const char* body, const char* fields[9], int wanted) {
  int n = 0;
  for (const char* p = std::strchr(body, ','); p != nullptr && n < wanted;
       p = std::strchr(p + 1, ',')) {
    if (p[1] == ',' || p[1] == '\0') break;
    fields[++n] = p + 1;
  }
  return n;
}

bool tagIs(const char* body, const char* tag) {
  char word[6];
  return std::sscanf(body, "$%5s", word) == 1 && std::strcmp(word, tag) == 0;
}

bool timeOk(double s) {
  return s > -2147483649.0 && s < 2147483648.0;
}

bool referenceZda(const char* body, ZdaFix& fix) {
  const char* f[9];
  if (!tagIs(body, "GPZDA") || fieldsOf(body, f, 6) < 6) return false;
  int h, m;
  double s;
  long d, mo, y, zh, zm;
  if (std::sscanf(f[1], "%2d%2d%lf", &h, &m, &s) != 3 || std::sscanf(f[2], "%ld", &d) != 1 ||
      std::sscanf(f[3], "%ld", &mo) != 1 || std::sscanf(f[4], "%ld", &y) != 1 ||
      std::sscanf(f[5], "%ld", &zh) != 1 || std::sscanf(f[6], "%ld", &zm) != 1) {
    return false;
  }
  if (!timeOk(s) || d < INT_MIN || d > INT_MAX || mo < static_cast<long>(INT_MIN) + 1 ||
      mo - 1 > INT_MAX || y < static_cast<long>(INT_MIN) + 1900 || y - 1900 > INT_MAX) {
    return false;
  }
  std::tm t = {};
  t.tm_sec = static_cast<int>(s);
  t.tm_min = m;
  t.tm_hour = h;
  t.tm_mday = static_cast<int>(d);
  t.tm_mon = static_cast<int>(mo - 1);
  t.tm_year = static_cast<int>(y - 1900);
  t.tm_isdst = -1;
  fix.time.seconds = std::mktime(&t);
  // The fraction truncated as written: .959 is held as .95899..., hence the allowance.
  const double fraction = (s - static_cast<int>(s)) * 1000;
  fix.time.milliseconds = static_cast<int>(fraction + std::copysign(1e-6, fraction));
  fix.calendar = t;
  fix.hour = h;
  fix.minute = m;
  fix.seconds = s;
  fix.day = d;
  fix.month = mo;
  fix.year = y;
  std::snprintf(fix.dateText, sizeof fix.dateText, "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf", y, mo, d,
                h, m, s);
  return true;
}

bool referenceGll(const char* body, GllFix& fix) {
  const char* f[9];
  if (!tagIs(body, "GPGLL") || fieldsOf(body, f, 7) < 7) return false;
  double lat, lon, s;
  char ns[2], ew[2], st[2], mode[2];
  int h, m;
  if (std::sscanf(f[1], "%lf", &lat) != 1 || std::sscanf(f[2], "%1[nNsS]", ns) != 1 ||
      std::sscanf(f[3], "%lf", &lon) != 1 || std::sscanf(f[4], "%1[eEwW]", ew) != 1 ||
      std::sscanf(f[5], "%2d%2d%lf", &h, &m, &s) != 3 || std::sscanf(f[6], "%1[aAvV]", st) != 1 ||
      std::sscanf(f[7], "%1[aAdDnN]", mode) != 1) {
    return false;
  }
  if (!timeOk(s) || !std::isfinite(lat) || !std::isfinite(lon)) return false;
  const double latDeg = std::floor(lat * 0.01), lonDeg = std::floor(lon * 0.01);
  fix.latitude = latDeg + (lat - latDeg * 100.0) * (1.0 / 60.0);
  fix.longitude = lonDeg + (lon - lonDeg * 100.0) * (1.0 / 60.0);
  if (ns[0] != 'n' && ns[0] != 'N') fix.latitude = -fix.latitude;
  if (ew[0] != 'e' && ew[0] != 'E') fix.longitude = -fix.longitude;
  fix.timeOfDayMs = static_cast<long>((h * 60 + m) * 60000 + s * 1000);
  return true;
}

bool sameBits(double a, double b) {
  return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

// A zone with daylight saving, so that skipped and repeated hours are met.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  setenv("TZ", "America/New_York", 1);
  tzset();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte picks the sentence and whether its tag is given, so that the fuzzer spends
  // its time on the fields.
  const bool zda = (data[0] & 1) != 0;
  std::string body = (data[0] & 2) ? (zda ? "$GPZDA," : "$GPGLL,") : "";
  body.append(reinterpret_cast<const char*>(data + 1), size - 1);
  const char* text = body.c_str();
  if (zda) {
    ZdaFix ours, ref;
    const bool ok = parseGpzda(text, ours);
    if (ok != referenceZda(text, ref)) std::abort();
    if (!ok) return 0;
    if (ours.hour != ref.hour || ours.minute != ref.minute ||
        !sameBits(ours.seconds, ref.seconds) || ours.day != ref.day || ours.month != ref.month ||
        ours.year != ref.year || ours.time.seconds != ref.time.seconds ||
        ours.time.milliseconds != ref.time.milliseconds ||
        std::strcmp(ours.dateText, ref.dateText) != 0) {
      std::abort();
    }
    const std::tm &a = ours.calendar, &b = ref.calendar;
    if (a.tm_sec != b.tm_sec || a.tm_min != b.tm_min || a.tm_hour != b.tm_hour ||
        a.tm_mday != b.tm_mday || a.tm_mon != b.tm_mon || a.tm_year != b.tm_year ||
        a.tm_wday != b.tm_wday || a.tm_yday != b.tm_yday || a.tm_isdst != b.tm_isdst ||
        a.tm_gmtoff != b.tm_gmtoff) {
      std::abort();
    }
  } else {
    GllFix ours, ref;
    const bool ok = parseGpgll(text, ours);
    if (ok != referenceGll(text, ref)) std::abort();
    if (ok && (!sameBits(ours.latitude, ref.latitude) || !sameBits(ours.longitude, ref.longitude) ||
               ours.timeOfDayMs != ref.timeOfDayMs)) {
      std::abort();
    }
  }
  return 0;
}

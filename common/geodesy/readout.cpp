#include "common/geodesy/readout.h"

#include <cstdio>
#include <cstring>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"

namespace geodesy {

namespace {
constexpr int kLineSize = 256;  ///< longest readout line with its NUL (characters)
constexpr double kMaxLon = 180.0, kMaxLat = 90.0;
/// Stand-ins for the edges of the globe, which have no MGRS square of their own (degrees).
constexpr double kEdgeLon = 179.999, kEdgeLat = 89.999;
constexpr int kReadoutPrecision = 5;
constexpr size_t kUtmLength = 15, kUpsLength = 13;

/// Clamps to -limit..limit; a value that is not a number reads as 0.
double clamp(double v, double limit) {
  if (!(v == v)) return 0.0;
  return v < -limit ? -limit : (v > limit ? limit : v);
}

/// One DMS line; a value between -1 and 0 shows "-0" so that south and west stay visible.
std::string dmsLine(const char* label, double value, double limit) {
  value = clamp(value, limit);
  const Dms d = splitDms(value);
  char deg[16];
  if (d.degrees == 0 && value < 0.0)
    std::snprintf(deg, sizeof deg, "%4s", "-0");
  else
    std::snprintf(deg, sizeof deg, "%4d", d.degrees);
  const int m = d.minutes < 0 ? -d.minutes : d.minutes;
  const double s = d.seconds < 0.0 ? -d.seconds : d.seconds;
  char line[kLineSize];
  std::snprintf(line, sizeof line, "%s: %s %02d' %07.4f\"", label, deg, m, s);
  return line;
}
}  // namespace

Dms splitDms(double v) {
  Dms d;
  d.degrees = static_cast<int>(v);
  const double minutes = (v - d.degrees) * 60.0;
  d.minutes = static_cast<int>(minutes);
  d.seconds = (minutes - d.minutes) * 60.0;
  return d;
}

std::string latitudeText(double lat) {
  return dmsLine("Lat", lat, kMaxLat);
}

std::string longitudeText(double lon) {
  return dmsLine("Lon", lon, kMaxLon);
}

std::string mgrsText(double lat, double lon) {
  if (lon == kMaxLon) lon = kEdgeLon;
  if (lon == -kMaxLon) lon = -kEdgeLon;
  if (lat == kMaxLat) lat = kEdgeLat;
  if (lat == -kMaxLat) lat = -kEdgeLat;
  char mgrs[kMgrsBufferSize];
  const long err = geodeticToMgrs(lat * kDegToRad, lon * kDegToRad, kReadoutPrecision, mgrs);
  char line[kLineSize];
  const size_t len = err ? 0 : std::strlen(mgrs);
  if (len == kUtmLength)
    std::snprintf(line, sizeof line, "MGRS: %.3s %.2s %.5s %.5s", mgrs, mgrs + 3, mgrs + 5,
                  mgrs + 10);
  else if (len == kUpsLength)
    std::snprintf(line, sizeof line, "MGRS: %.1s %.2s %.5s %.5s", mgrs, mgrs + 1, mgrs + 3,
                  mgrs + 8);
  else
    std::snprintf(line, sizeof line, "MGRS: bad value");
  return line;
}

Readout makeReadout(double lon, double lat) {
  Readout r;
  r.lon = clamp(lon, kMaxLon);
  r.lat = clamp(lat, kMaxLat);
  r.latitude = latitudeText(r.lat);
  r.longitude = longitudeText(r.lon);
  r.mgrs = mgrsText(r.lat, r.lon);
  return r;
}

}  // namespace geodesy

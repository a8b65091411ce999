#include "common/geodesy/utm.h"

#include <cmath>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/transverse_mercator.h"

namespace geodesy {

namespace {
constexpr double kUtmScale = 0.9996;
constexpr double kUtmFalseEasting = 500000.0;
constexpr long kUtmZones = 60;
/// Small eastward nudge of the central meridian on the way back to geodetic (radians).
constexpr double kInverseMeridianNudge = 5.0e-8;

/// The module's UTM state: ellipsoid, override and the projection built from them.
struct UtmState {
  double a = kWgs84A;
  double f = kWgs84F;
  long override = 0;
  TransverseMercator tm;
  bool ready = false;

  /// Projection for one central meridian (radians) and false northing (metres).
  const TransverseMercator& projection(double centralMeridian, double falseNorthing) {
    if (!ready) {
      tm.setParameters(a, f, 0.0, 0.0, kUtmFalseEasting, 0.0, kUtmScale);
      ready = true;
    }
    tm.setZone(centralMeridian, falseNorthing);
    return tm;
  }
};

thread_local UtmState utmState;

/// Degrees within this of a whole degree are taken as that degree, so that a position given
/// on a zone edge in degrees falls in the zone east of it despite the trip through radians.
constexpr double kWholeDegreeSnap = 1.0e-12;

double snapToWholeDegree(double deg) {
  const double whole = std::nearbyint(deg);
  return std::fabs(deg - whole) < kWholeDegreeSnap ? whole : deg;
}

/// Central meridian of a zone (radians).
double centralMeridian(long zone) {
  return (zone >= 31 ? 6.0 * zone - 183.0 : 6.0 * zone + 177.0) * kDegToRad;
}
}  // namespace

long setUtmParameters(double a, double f, long override) {
  long err = kUtmNoError;
  if (!(a > 0.0)) err |= kUtmAError;
  if (!flatteningUsable(f)) err |= kUtmInvFError;
  if (override < 0 || override > kUtmZones) err |= kUtmZoneOverrideError;
  if (err) return err;
  UtmState& st = utmState;
  if (a != st.a || f != st.f) st.ready = false;
  st.a = a;
  st.f = f;
  st.override = override;
  return kUtmNoError;
}

long geodeticToUtm(double lat, double lon, long& zone, char& hemisphere, double& easting,
                   double& northing) {
  long err = kUtmNoError;
  if (!inRange(lat, kUtmMinLat, kUtmMaxLat)) err |= kUtmLatitudeError;
  if (!inRange(lon, -kPi, kTwoPi)) err |= kUtmLongitudeError;
  if (err) return err;

  if (lon < 0.0) lon += kTwoPi;
  const double lonDeg = snapToWholeDegree(lon * kRadToDeg);
  const long latWhole = static_cast<long>(snapToWholeDegree(lat * kRadToDeg));
  const long lonWhole = static_cast<long>(lonDeg);
  long z =
      lonDeg < 180.0 ? static_cast<long>(lonDeg / 6.0) + 31 : static_cast<long>(lonDeg / 6.0) - 29;
  if (z >= 61) z = 1;

  // Norway and Svalbard.
  if (latWhole > 55 && latWhole < 64 && lonWhole > -1 && lonWhole < 3) z = 31;
  if (latWhole > 55 && latWhole < 64 && lonWhole > 2 && lonWhole < 12) z = 32;
  if (latWhole > 71 && lonWhole > -1 && lonWhole < 9) z = 31;
  if (latWhole > 71 && lonWhole > 8 && lonWhole < 21) z = 33;
  if (latWhole > 71 && lonWhole > 20 && lonWhole < 33) z = 35;
  if (latWhole > 71 && lonWhole > 32 && lonWhole < 42) z = 37;

  UtmState& st = utmState;
  if (st.override) {
    const bool adjacent = st.override == z || st.override == z - 1 || st.override == z + 1 ||
                          (z == 1 && st.override == kUtmZones) ||
                          (z == kUtmZones && st.override == 1);
    if (!adjacent) return kUtmZoneOverrideError;
    z = st.override;
  }

  const bool north = lat >= 0.0;
  const TransverseMercator& tm =
      st.projection(centralMeridian(z), north ? 0.0 : kUtmSouthFalseNorthing);
  double e = 0, n = 0;
  tm.forward(lat, lon, e, n);

  if (!inRange(e, kUtmMinEasting, kUtmMaxEasting)) err |= kUtmEastingError;
  if (!inRange(n, kUtmMinNorthing, kUtmMaxNorthing)) err |= kUtmNorthingError;
  zone = z;
  hemisphere = north ? 'N' : 'S';
  easting = e;
  northing = n;
  return err;
}

long utmToGeodetic(long zone, char hemisphere, double easting, double northing, double& lat,
                   double& lon) {
  long err = kUtmNoError;
  if (zone < 1 || zone > kUtmZones) err |= kUtmZoneError;
  if (hemisphere != 'N' && hemisphere != 'S') err |= kUtmHemisphereError;
  if (!inRange(easting, kUtmMinEasting, kUtmMaxEasting)) err |= kUtmEastingError;
  if (!inRange(northing, kUtmMinNorthing, kUtmMaxNorthing)) err |= kUtmNorthingError;
  if (err) return err;

  const TransverseMercator& tm =
      utmState.projection(centralMeridian(zone) + kInverseMeridianNudge,
                          hemisphere == 'S' ? kUtmSouthFalseNorthing : 0.0);
  double la = 0, lo = 0;
  if (tm.inverse(easting, northing, la, lo) & ~kTmLongitudeWarning) return kUtmNorthingError;
  if (!inRange(la, kUtmMinLat, kUtmMaxLat)) return kUtmNorthingError;
  lat = la;
  lon = lo;
  return kUtmNoError;
}

}  // namespace geodesy

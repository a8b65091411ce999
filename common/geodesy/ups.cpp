#include "common/geodesy/ups.h"

#include "common/geodesy/polar_stereographic.h"

namespace geodesy {

namespace {
/// The module's UPS state: ellipsoid and one projection per pole.
struct UpsState {
  double a = kWgs84A;
  double f = kWgs84F;
  PolarStereographic north, south;
  bool ready = false;

  /// Projection about one pole, with the false origin of the grid.
  const PolarStereographic& projection(char hemisphere) {
    if (!ready) {
      north.setParameters(a, f, 'N', kUpsPoleScale, kUpsFalseOrigin, kUpsFalseOrigin);
      south.setParameters(a, f, 'S', kUpsPoleScale, kUpsFalseOrigin, kUpsFalseOrigin);
      ready = true;
    }
    return hemisphere == 'S' ? south : north;
  }
};

thread_local UpsState upsState;
}  // namespace

long setUpsParameters(double a, double f) {
  long err = kUpsNoError;
  if (!(a > 0.0)) err |= kUpsAError;
  if (!flatteningUsable(f)) err |= kUpsInvFError;
  if (err) return err;
  UpsState& st = upsState;
  if (a != st.a || f != st.f) st.ready = false;
  st.a = a;
  st.f = f;
  return kUpsNoError;
}

long geodeticToUps(double lat, double lon, char& hemisphere, double& easting, double& northing) {
  long err = kUpsNoError;
  if (!inRange(lat, -kHalfPi, kHalfPi) || (lat < kUpsMinNorthLat && lat > kUpsMaxSouthLat))
    err |= kUpsLatitudeError;
  if (!inRange(lon, -kPi, kTwoPi)) err |= kUpsLongitudeError;
  if (err) return err;

  const char h = lat < 0.0 ? 'S' : 'N';
  double e = 0, n = 0;
  upsState.projection(h).forward(lat, lon, e, n);
  hemisphere = h;
  easting = e;
  northing = n;
  return kUpsNoError;
}

long upsToGeodetic(char hemisphere, double easting, double northing, double& lat, double& lon) {
  long err = kUpsNoError;
  if (hemisphere != 'N' && hemisphere != 'S') err |= kUpsHemisphereError;
  if (!inRange(easting, 0.0, kUpsMaxCoordinate)) err |= kUpsEastingError;
  if (!inRange(northing, 0.0, kUpsMaxCoordinate)) err |= kUpsNorthingError;
  if (err) return err;

  double la = 0, lo = 0;
  upsState.projection(hemisphere).inverse(easting, northing, la, lo);
  if (hemisphere == 'N' ? la < kUpsMinNorthLat : la > kUpsMaxSouthLat) return kUpsLatitudeError;
  lat = la;
  lon = lo;
  return kUpsNoError;
}

}  // namespace geodesy

#include "common/geodesy/polar_stereographic.h"

#include <cmath>

#include "common/geodesy/ellipsoid.h"

namespace geodesy {

long PolarStereographic::setParameters(double a, double f, char hemisphere, double poleScale,
                                       double falseEasting, double falseNorthing) {
  long err = kPsNoError;
  if (!(a > 0.0)) err |= kPsAError;
  if (!flatteningUsable(f)) err |= kPsInvFError;
  if (err) return err;

  if (!set_ || a != a_ || f != f_ || poleScale != k0_) {
    a_ = a;
    f_ = f;
    k0_ = poleScale;
    const double es = 2.0 * f - f * f;
    e_ = std::sqrt(es);
    const double onePlus = std::pow(1.0 + e_, 1.0 + e_);
    const double oneMinus = std::pow(1.0 - e_, 1.0 - e_);
    rhoScale_ = 2.0 * a * poleScale / std::sqrt(onePlus * oneMinus);
    const double e4 = es * es, e6 = e4 * es, e8 = e6 * es;
    c2_ = es / 2.0 + 5.0 * e4 / 24.0 + e6 / 12.0 + 13.0 * e8 / 360.0;
    c4_ = 7.0 * e4 / 48.0 + 29.0 * e6 / 240.0 + 811.0 * e8 / 11520.0;
    c6_ = 7.0 * e6 / 120.0 + 81.0 * e8 / 1120.0;
    c8_ = 4279.0 * e8 / 161280.0;
    set_ = true;
  }
  south_ = hemisphere == 'S';
  fe_ = falseEasting;
  fn_ = falseNorthing;
  return kPsNoError;
}

long PolarStereographic::forward(double lat, double lon, double& easting, double& northing) const {
  long err = kPsNoError;
  if (!inRange(lat, -kHalfPi, kHalfPi) || (south_ ? lat > 0.0 : lat < 0.0)) err |= kPsLatitudeError;
  if (!inRange(lon, -kPi, kTwoPi)) err |= kPsLongitudeError;
  if (err) return err;

  // Work about the north pole; the south pole mirrors latitude and northing.
  const double phi = south_ ? -lat : lat;
  const double es = e_ * std::sin(phi);
  // ((1 + e sin phi) / (1 - e sin phi))^(e/2), written through atanh for speed.
  const double t = std::tan(0.25 * kPi - 0.5 * phi) * std::exp(e_ * std::atanh(es));
  const double rho = rhoScale_ * t;
  const double sl = std::sin(lon), cl = std::cos(lon);
  easting = fe_ + rho * sl;
  northing = south_ ? fn_ + rho * cl : fn_ - rho * cl;
  return kPsNoError;
}

long PolarStereographic::inverse(double easting, double northing, double& lat, double& lon) const {
  const double dx = easting - fe_;
  const double dy = northing - fn_;
  const double rho = std::sqrt(dx * dx + dy * dy);
  if (!std::isfinite(rho)) return kPsEastingError | kPsNorthingError;
  if (rho == 0.0) {
    lat = south_ ? -kHalfPi : kHalfPi;
    lon = 0.0;
    return kPsNoError;
  }
  const double t = rho / rhoScale_;
  const double chi = kHalfPi - 2.0 * std::atan(t);
  const double s2 = std::sin(2.0 * chi), c2 = std::cos(2.0 * chi);
  const double s4 = 2.0 * s2 * c2, c4 = c2 * c2 - s2 * s2;
  const double s6 = s4 * c2 + c4 * s2, s8 = 2.0 * s4 * c4;
  const double phi = chi + c2_ * s2 + c4_ * s4 + c6_ * s6 + c8_ * s8;
  lat = south_ ? -phi : phi;
  lon = south_ ? std::atan2(dx, dy) : std::atan2(dx, -dy);
  return kPsNoError;
}

}  // namespace geodesy

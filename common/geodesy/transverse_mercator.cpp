#include "common/geodesy/transverse_mercator.h"

#include <cmath>

#include "common/geodesy/ellipsoid.h"

namespace geodesy {

namespace {
/// Largest usable origin latitude and projected latitude (radians, 89.99 degrees).
constexpr double kMaxLat = 1.5706217939;
/// Longitude differences beyond this are flagged as a warning only (radians, 9 degrees).
constexpr double kMaxDeltaLon = 0.1570796327;
/// Longitude differences below this are taken as zero (radians).
constexpr double kTinyDeltaLon = 2.0e-10;
/// Accepted scale factor range.
constexpr double kMinScale = 0.3;
constexpr double kMaxScale = 3.0;
/// Footpoint latitude corrections made by the inverse.
constexpr int kFootpointIterations = 5;
/// Steps below this are rotated by their series, larger ones by sin and cos (radians).
constexpr double kSmallStep = 0.01;
/// Reciprocals of the series' factorial denominators.
constexpr double kInv2 = 1.0 / 2.0, kInv6 = 1.0 / 6.0, kInv12 = 1.0 / 12.0, kInv20 = 1.0 / 20.0,
                 kInv24 = 1.0 / 24.0, kInv30 = 1.0 / 30.0, kInv120 = 1.0 / 120.0,
                 kInv720 = 1.0 / 720.0, kInv5040 = 1.0 / 5040.0, kInv40320 = 1.0 / 40320.0;

/// Turns (s, c) = (sin x, cos x) into (sin(x + d), cos(x + d)).
inline void rotate(double& s, double& c, double d) {
  double sd, cd;
  if (std::fabs(d) < kSmallStep) {
    // Taylor series, exact to rounding for |d| < 0.01 (the next terms are below 1e-17).
    const double d2 = d * d;
    sd = d * (1.0 - d2 * kInv6 * (1.0 - d2 * kInv20));
    cd = 1.0 - d2 * kInv2 * (1.0 - d2 * kInv12 * (1.0 - d2 * kInv30));
  } else {
    sd = std::sin(d);
    cd = std::cos(d);
  }
  const double ns = s * cd + c * sd;
  c = c * cd - s * sd;
  s = ns;
}
}  // namespace

long TransverseMercator::setParameters(double a, double f, double originLat, double centralMeridian,
                                       double falseEasting, double falseNorthing, double scale) {
  long err = kTmNoError;
  if (!(a > 0.0)) err |= kTmAError;
  if (!flatteningUsable(f)) err |= kTmInvFError;
  if (!inRange(originLat, -kMaxLat, kMaxLat)) err |= kTmOriginLatitudeError;
  if (!inRange(centralMeridian, -kPi, kTwoPi)) err |= kTmCentralMeridianError;
  if (!inRange(scale, kMinScale, kMaxScale)) err |= kTmScaleFactorError;
  if (err) return err;

  if (!set_ || a != a_ || f != f_) {
    a_ = a;
    f_ = f;
    es_ = 2.0 * f - f * f;
    ebs_ = 1.0 / (1.0 - es_) - 1.0;
    const double b = a * (1.0 - f);
    const double n = (a - b) / (a + b);
    const double n2 = n * n, n3 = n2 * n, n4 = n3 * n, n5 = n4 * n;
    ap_ = a * (1.0 - n + 5.0 / 4.0 * (n2 - n3) + 81.0 / 64.0 * (n4 - n5));
    bp_ = 3.0 / 2.0 * a * (n - n2 + 7.0 / 8.0 * (n3 - n4) + 55.0 / 64.0 * n5);
    cp_ = 15.0 / 16.0 * a * (n2 - n3 + 3.0 / 4.0 * (n4 - n5));
    dp_ = 35.0 / 48.0 * a * (n3 - n4 + 11.0 / 16.0 * n5);
    ep_ = 315.0 / 512.0 * a * (n4 - n5);
    set_ = true;
  }
  lat0_ = originLat;
  lon0_ = centralMeridian;
  fe_ = falseEasting;
  fn_ = falseNorthing;
  k0_ = scale;
  m0_ = meridianArc(originLat);
  return kTmNoError;
}

double TransverseMercator::meridianArc(double phi) const {
  return meridianArc(phi, std::sin(phi), std::cos(phi));
}

double TransverseMercator::meridianArc(double phi, double s, double c) const {
  // Multiple-angle sines by recurrence from one sine and cosine.
  const double s2 = 2.0 * s * c, c2 = c * c - s * s;
  const double s4 = 2.0 * s2 * c2, c4 = c2 * c2 - s2 * s2;
  const double s6 = s4 * c2 + c4 * s2;
  const double s8 = 2.0 * s4 * c4;
  return ap_ * phi - bp_ * s2 + cp_ * s4 - dp_ * s6 + ep_ * s8;
}

long TransverseMercator::forward(double lat, double lon, double& easting, double& northing) const {
  long err = kTmNoError;
  if (!inRange(lat, -kMaxLat, kMaxLat)) err |= kTmLatitudeError;
  if (!inRange(lon, -kPi, kTwoPi)) err |= kTmLongitudeError;
  if (err) return err;

  if (lon > kPi) lon -= kTwoPi;
  double dlam = lon - lon0_;
  if (dlam > kPi) dlam -= kTwoPi;
  if (dlam < -kPi) dlam += kTwoPi;
  if (std::fabs(dlam) < kTinyDeltaLon) dlam = 0.0;
  if (std::fabs(dlam) > kMaxDeltaLon) err |= kTmLongitudeWarning;

  const double s = std::sin(lat), c = std::cos(lat);
  const double c2 = c * c, c3 = c2 * c, c5 = c3 * c2, c7 = c5 * c2;
  const double t = s / c, tan2 = t * t, tan4 = tan2 * tan2, tan6 = tan4 * tan2;
  const double eta = ebs_ * c2, eta2 = eta * eta, eta3 = eta2 * eta, eta4 = eta3 * eta;
  const double sn = a_ / std::sqrt(1.0 - es_ * s * s);
  const double k0 = k0_;

  const double tmd = meridianArc(lat, s, c) - m0_;
  const double t1 = tmd * k0;
  const double t2 = sn * s * c * k0 * kInv2;
  const double t3 = sn * s * c3 * k0 * (5.0 - tan2 + 9.0 * eta + 4.0 * eta2) * kInv24;
  const double t4 =
      sn * s * c5 * k0 *
      (61.0 - 58.0 * tan2 + tan4 + 270.0 * eta - 330.0 * tan2 * eta + 445.0 * eta2 + 324.0 * eta3 -
       680.0 * tan2 * eta2 + 88.0 * eta4 - 600.0 * tan2 * eta3 - 192.0 * tan2 * eta4) *
      kInv720;
  const double t5 = sn * s * c7 * k0 * (1385.0 - 3111.0 * tan2 + 543.0 * tan4 - tan6) * kInv40320;
  const double l2 = dlam * dlam;
  northing = fn_ + t1 + l2 * (t2 + l2 * (t3 + l2 * (t4 + l2 * t5)));

  const double t6 = sn * c * k0;
  const double t7 = sn * c3 * k0 * (1.0 - tan2 + eta) * kInv6;
  const double t8 = sn * c5 * k0 *
                    (5.0 - 18.0 * tan2 + tan4 + 14.0 * eta - 58.0 * tan2 * eta + 13.0 * eta2 +
                     4.0 * eta3 - 64.0 * tan2 * eta2 - 24.0 * tan2 * eta3) *
                    kInv120;
  const double t9 = sn * c7 * k0 * (61.0 - 479.0 * tan2 + 179.0 * tan4 - tan6) * kInv5040;
  easting = fe_ + dlam * (t6 + l2 * (t7 + l2 * (t8 + l2 * t9)));
  return err;
}

long TransverseMercator::inverse(double easting, double northing, double& lat, double& lon) const {
  const double invK0 = 1.0 / k0_;
  const double tmd = m0_ + (northing - fn_) * invK0;

  // Footpoint latitude: start from the arc over the equatorial meridian radius, then correct by
  // Newton steps (the meridian radius is the arc's derivative). The sine and cosine follow each
  // small step by rotation instead of being evaluated afresh.
  const double oneMinusEs = 1.0 - es_;
  const double invRho0 = 1.0 / (a_ * oneMinusEs);
  double phi = tmd * invRho0;
  double s = std::sin(phi), c = std::cos(phi);
  for (int i = 0; i < kFootpointIterations; ++i) {
    const double w = 1.0 - es_ * s * s;
    const double step = (tmd - meridianArc(phi, s, c)) * w * std::sqrt(w) * invRho0;
    phi += step;
    rotate(s, c, step);
  }

  // Inverse series in D = easting offset / (N k0), with N / rho = w / (1 - e^2).
  const double w = 1.0 - es_ * s * s;
  const double sqrtW = std::sqrt(w);
  const double d = (easting - fe_) * sqrtW / a_ * invK0;
  const double d2 = d * d;
  const double nOverRho = w / oneMinusEs;
  const double t = s / c, t2 = t * t, t4 = t2 * t2, t6 = t4 * t2;
  const double eta = ebs_ * c * c, eta2 = eta * eta, eta3 = eta2 * eta, eta4 = eta3 * eta;

  const double p11 = 5.0 + 3.0 * t2 + eta - 4.0 * eta2 - 9.0 * t2 * eta;
  const double p12 = 61.0 + 90.0 * t2 + 46.0 * eta + 45.0 * t4 - 252.0 * t2 * eta - 3.0 * eta2 +
                     100.0 * eta3 - 66.0 * t2 * eta2 - 90.0 * t4 * eta + 88.0 * eta4 +
                     225.0 * t4 * eta2 + 84.0 * t2 * eta3 - 192.0 * t2 * eta4;
  const double p13 = 1385.0 + 3633.0 * t2 + 4095.0 * t4 + 1575.0 * t6;
  lat = phi - t * nOverRho * d2 *
                  (kInv2 - d2 * (p11 * kInv24 - d2 * (p12 * kInv720 - d2 * p13 * kInv40320)));

  const double p15 = 1.0 + 2.0 * t2 + eta;
  const double p16 = 5.0 + 6.0 * eta + 28.0 * t2 - 3.0 * eta2 + 8.0 * t2 * eta + 24.0 * t4 -
                     4.0 * eta3 + 4.0 * t2 * eta2 + 24.0 * t2 * eta3;
  const double p17 = 61.0 + 662.0 * t2 + 1320.0 * t4 + 720.0 * t6;
  const double dlam =
      d / c * (1.0 - d2 * (p15 * kInv6 - d2 * (p16 * kInv120 - d2 * p17 * kInv5040)));
  lon = lon0_ + dlam;

  long err = kTmNoError;
  if (!std::isfinite(lat) || !std::isfinite(lon)) return kTmNorthingError | kTmEastingError;
  if (lon > kPi) lon -= kTwoPi;
  if (lon < -kPi) lon += kTwoPi;
  if (std::fabs(dlam) > kMaxDeltaLon) err |= kTmLongitudeWarning;
  return err;
}

}  // namespace geodesy

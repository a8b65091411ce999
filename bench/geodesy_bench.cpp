// Times geodetic -> MGRS and MGRS -> geodetic against an independent library's UTM/UPS + MGRS
// on the same points in the same run, and prints nanoseconds per conversion and the ratios.
// With --check R it exits 1 when either ratio is above R.
#include <GeographicLib/MGRS.hpp>
#include <GeographicLib/UTMUPS.hpp>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/best_time.h"
#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"

namespace {

constexpr int kPoints = 20000;
constexpr int kRounds = 15;  ///< the best round counts, which filters out other load

}  // namespace

int main(int argc, char** argv) {
  double limit = 0;
  if (argc == 3 && !std::strcmp(argv[1], "--check")) limit = std::atof(argv[2]);

  // Points as the tracker and converter meet them: anywhere, mostly in UTM, some polar.
  std::mt19937_64 rng(42);
  std::uniform_real_distribution<double> ulat(-90.0, 90.0), ulon(-180.0, 180.0);
  std::vector<double> lat(kPoints), lon(kPoints);
  std::vector<std::string> texts(kPoints);
  for (int i = 0; i < kPoints; ++i) {
    lat[i] = ulat(rng);
    lon[i] = ulon(rng);
    char m[geodesy::kMgrsBufferSize];
    geodesy::geodeticToMgrs(lat[i] * geodesy::kDegToRad, lon[i] * geodesy::kDegToRad, 5, m);
    texts[i] = m;
  }

  const double oursFwd = bench::bestNsPerItem(kRounds, kPoints, [&](int i) {
    char m[geodesy::kMgrsBufferSize];
    geodesy::geodeticToMgrs(lat[i] * geodesy::kDegToRad, lon[i] * geodesy::kDegToRad, 5, m);
    return static_cast<double>(m[4]);
  });
  const double refFwd = bench::bestNsPerItem(kRounds, kPoints, [&](int i) {
    int zone;
    bool northp;
    double x, y;
    std::string m;
    GeographicLib::UTMUPS::Forward(lat[i], lon[i], zone, northp, x, y);
    GeographicLib::MGRS::Forward(zone, northp, x, y, lat[i], 5, m);
    return static_cast<double>(m[4]);
  });
  const double oursRev = bench::bestNsPerItem(kRounds, kPoints, [&](int i) {
    double la = 0, lo = 0;
    geodesy::mgrsToGeodetic(texts[i].c_str(), la, lo);
    return la + lo;
  });
  const double refRev = bench::bestNsPerItem(kRounds, kPoints, [&](int i) {
    int zone, prec;
    bool northp;
    double x, y, la, lo;
    GeographicLib::MGRS::Reverse(texts[i], zone, northp, x, y, prec, false);
    GeographicLib::UTMUPS::Reverse(zone, northp, x, y, la, lo);
    return la + lo;
  });

  const double fwdRatio = oursFwd / refFwd, revRatio = oursRev / refRev;
  std::printf("geodetic -> MGRS: ours %7.1f ns, reference %7.1f ns, ratio %.3f\n", oursFwd, refFwd,
              fwdRatio);
  std::printf("MGRS -> geodetic: ours %7.1f ns, reference %7.1f ns, ratio %.3f\n", oursRev, refRev,
              revRatio);
  if (limit > 0 && (fwdRatio > limit || revRatio > limit)) {
    std::printf("slower than %.2f of the reference\n", limit);
    return 1;
  }
  return 0;
}

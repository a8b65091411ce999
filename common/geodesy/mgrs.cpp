#include "common/geodesy/mgrs.h"

#include <cmath>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/ups.h"
#include "common/geodesy/utm.h"

namespace geodesy {

namespace {

// Letters by their place in the alphabet, A = 0.
enum Letter : int { A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z };

constexpr double kSquare = 100000.0;         ///< side of a 100 km square (metres)
constexpr double kPatternCycle = 2000000.0;  ///< northing cycle of the square letters (metres)
constexpr double kEquatorNorthing = 10000000.0;
constexpr double kUtmToUpsSouth = -80.0 * kDegToRad;  ///< UPS below this latitude (radians)
constexpr double kUtmToUpsNorth = 84.0 * kDegToRad;   ///< UPS above this latitude (radians)
constexpr double kBandX = 72.0 * kDegToRad;           ///< south edge of band X (radians)
constexpr double kBandXTop = 84.5 * kDegToRad;        ///< north edge of band X (radians)
constexpr double kBandCBottom = -80.5 * kDegToRad;    ///< south edge of band C (radians)
constexpr double kBandOrigin = -80.0 * kDegToRad;     ///< where the 8-degree bands start
constexpr double kBandHeight = 8.0 * kDegToRad;
constexpr double kBandEpsilon = 1.0e-12;
constexpr long kMaxZone = 60;
constexpr int kMaxGridDigits = 10;

/// Latitude band: letter, lowest northing in the band (metres), north and south edge (degrees).
struct Band {
  int letter;
  double minNorthing;
  double north;
  double south;
};

constexpr Band kBands[] = {
    {C, 1100000.0, -72.0, -80.5}, {D, 2000000.0, -64.0, -72.0}, {E, 2800000.0, -56.0, -64.0},
    {F, 3700000.0, -48.0, -56.0}, {G, 4600000.0, -40.0, -48.0}, {H, 5500000.0, -32.0, -40.0},
    {J, 6400000.0, -24.0, -32.0}, {K, 7300000.0, -16.0, -24.0}, {L, 8200000.0, -8.0, -16.0},
    {M, 9100000.0, 0.0, -8.0},    {N, 0.0, 8.0, 0.0},           {P, 800000.0, 16.0, 8.0},
    {Q, 1700000.0, 24.0, 16.0},   {R, 2600000.0, 32.0, 24.0},   {S, 3500000.0, 40.0, 32.0},
    {T, 4400000.0, 48.0, 40.0},   {U, 5300000.0, 56.0, 48.0},   {V, 6200000.0, 64.0, 56.0},
    {W, 7000000.0, 72.0, 64.0},   {X, 7900000.0, 84.5, 72.0},
};
constexpr int kBandCount = sizeof(kBands) / sizeof(kBands[0]);

/// Row of the band with this letter, or -1.
int bandIndex(int letter) {
  for (int i = 0; i < kBandCount; ++i)
    if (kBands[i].letter == letter) return i;
  return -1;
}

/// UPS grid: first letter, second-letter range, highest third letter, false origin (metres).
struct UpsRow {
  int letter;
  int low2, high2, high3;
  double falseEasting, falseNorthing;
};

constexpr UpsRow kUpsRows[] = {
    {A, J, Z, Z, 800000.0, 800000.0},
    {B, A, R, Z, 2000000.0, 800000.0},
    {Y, J, Z, P, 800000.0, 1300000.0},
    {Z, A, J, P, 2000000.0, 1300000.0},
};

/// Row-letter shift of even zones (metres): their rows start at F on the equator, five
/// letters on from the odd zones' A, and the offset is subtracted modulo the 2000 km cycle.
constexpr double kEvenZoneRowOffset = 1500000.0;

/// Second-letter range and northing pattern offset (metres) of a UTM zone.
struct GridValues {
  int low, high;
  double patternOffset;
};

GridValues gridValues(long zone) {
  long set = zone % 6;
  if (set == 0) set = 6;
  GridValues g{};
  if (set == 1 || set == 4) {
    g.low = A;
    g.high = H;
  } else if (set == 2 || set == 5) {
    g.low = J;
    g.high = R;
  } else {
    g.low = S;
    g.high = Z;
  }
  g.patternOffset = zone % 2 == 0 ? kEvenZoneRowOffset : 0.0;
  return g;
}

/// 10 to the power 5 - precision: metres per last digit.
double digitDivisor(long precision) {
  static constexpr double kDivisors[] = {100000.0, 10000.0, 1000.0, 100.0, 10.0, 1.0};
  return kDivisors[precision];
}

/// Rounds to a multiple of the divisor, halves to even.
double roundTo(double value, double divisor) {
  return std::nearbyint(value / divisor) * divisor;
}

/// Writes `count` decimal digits of value, zero-padded; returns the end.
char* putDigits(char* out, long value, long count) {
  for (long i = count - 1; i >= 0; --i) {
    out[i] = static_cast<char>('0' + value % 10);
    value /= 10;
  }
  return out + count;
}

/// Digits of one coordinate within its square. The coordinate is already rounded to whole
/// digits, so the remainder is exact in integers.
long squareDigits(double value, double divisor) {
  const long metres = static_cast<long>(value);
  const long inSquare = metres % static_cast<long>(kSquare);
  return inSquare / static_cast<long>(divisor);
}

/// Builds the text: optional zone (0 = none), three letters, easting and northing digits.
void buildMgrs(char* out, long zone, const int letters[3], double easting, double northing,
               long precision) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
  const double divisor = digitDivisor(precision);
  char* p = out;
  if (zone) p = putDigits(p, zone, 2);
  for (int i = 0; i < 3; ++i) *p++ = kAlphabet[letters[i]];
  p = putDigits(p, squareDigits(easting, divisor), precision);
  p = putDigits(p, squareDigits(northing, divisor), precision);
  *p = '\0';
}

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}
bool isDigit(char c) {
  return c >= '0' && c <= '9';
}
bool isLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isTrailingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

/// An MGRS text cut into its fields.
struct MgrsParts {
  long zone = 0;  ///< 0 when the text has no zone digits
  int letters[3] = {0, 0, 0};
  double easting = 0, northing = 0;  ///< metres within the square
  long precision = 0;
};

// Sample: "  33UXP0400012345" -> zone 33, letters U X P, easting 4000 m, northing 12345 m.
long breakMgrs(const char* text, MgrsParts& parts) {
  const char* p = text;
  while (isBlank(*p)) ++p;

  int zoneDigits = 0;
  long zone = 0;
  while (isDigit(*p)) {
    if (++zoneDigits > 2) return kMgrsStringError;
    zone = zone * 10 + (*p++ - '0');
  }
  if (zoneDigits > 0 && (zone < 1 || zone > kMaxZone)) return kMgrsStringError;

  int letters[3];
  int letterCount = 0;
  while (isLetter(*p)) {
    if (letterCount == 3) return kMgrsStringError;
    const int l = (*p >= 'a' ? *p - 'a' : *p - 'A');
    if (l == I || l == O) return kMgrsStringError;
    letters[letterCount++] = l;
    ++p;
  }
  if (letterCount != 3) return kMgrsStringError;

  const char* digits = p;
  int digitCount = 0;
  while (isDigit(*p)) {
    if (++digitCount > kMaxGridDigits) return kMgrsStringError;
    ++p;
  }
  if (digitCount % 2) return kMgrsStringError;
  while (isTrailingSpace(*p)) ++p;
  if (*p) return kMgrsStringError;

  const int half = digitCount / 2;
  long east = 0, north = 0;
  for (int i = 0; i < half; ++i) east = east * 10 + (digits[i] - '0');
  for (int i = half; i < digitCount; ++i) north = north * 10 + (digits[i] - '0');
  const double scale = digitDivisor(half);
  parts.zone = zoneDigits ? zone : 0;
  for (int i = 0; i < 3; ++i) parts.letters[i] = letters[i];
  parts.easting = east * scale;
  parts.northing = north * scale;
  parts.precision = half;
  return kMgrsNoError;
}

/// Grid coordinate of a UTM text with its latitude (radians) for the band check.
long partsToUtm(const MgrsParts& m, long& zone, char& hemisphere, double& easting, double& northing,
                double& lat, double& lon) {
  if (m.zone == 0) return kMgrsStringError;
  const int band = m.letters[0], l2 = m.letters[1], l3 = m.letters[2];
  const int row = bandIndex(band);
  if (row < 0) return kMgrsStringError;
  if (band == X && (m.zone == 32 || m.zone == 34 || m.zone == 36)) return kMgrsStringError;
  const char hemi = band > M ? 'N' : 'S';
  const GridValues g = gridValues(m.zone);
  if (l2 < g.low || l2 > g.high || l3 > V) return kMgrsStringError;

  double gridNorthing = l3 * kSquare + g.patternOffset;
  if (l3 > O) gridNorthing -= kSquare;
  if (l3 > I) gridNorthing -= kSquare;
  double gridEasting = (l2 - g.low + 1) * kSquare;
  if (g.low == J && l2 > O) gridEasting -= kSquare;
  if (gridNorthing >= kPatternCycle) gridNorthing -= kPatternCycle;

  const double minNorthing = kBands[row].minNorthing;
  double reduced = minNorthing;
  while (reduced >= kPatternCycle) reduced -= kPatternCycle;
  double step = gridNorthing - reduced;
  if (step < 0.0) step += kPatternCycle;

  const double e = m.easting + gridEasting;
  const double n = m.northing + minNorthing + step;
  double la = 0, lo = 0;
  const long err = utmToGeodetic(m.zone, hemi, e, n, la, lo);
  if (err) return err;

  const double slack = kDegToRad / digitDivisor(kMgrsMaxPrecision - m.precision);
  if (la < kBands[row].south * kDegToRad - slack || la > kBands[row].north * kDegToRad + slack)
    return kMgrsLatitudeError;
  zone = m.zone;
  hemisphere = hemi;
  easting = e;
  northing = n;
  lat = la;
  lon = lo;
  return kMgrsNoError;
}

/// Grid coordinate of a UPS text.
long partsToUps(const MgrsParts& m, char& hemisphere, double& easting, double& northing) {
  if (m.zone != 0) return kMgrsStringError;
  const int l1 = m.letters[0], l2 = m.letters[1], l3 = m.letters[2];
  const UpsRow* row = nullptr;
  for (const UpsRow& r : kUpsRows)
    if (r.letter == l1) row = &r;
  if (!row) return kMgrsStringError;
  if (l2 < row->low2 || l2 > row->high2 || l2 == D || l2 == E || l2 == M || l2 == N || l2 == V ||
      l2 == W || l3 > row->high3)
    return kMgrsStringError;

  double gridNorthing = l3 * kSquare + row->falseNorthing;
  if (l3 > I) gridNorthing -= kSquare;
  if (l3 >= P) gridNorthing -= kSquare;
  double gridEasting = (l2 - row->low2) * kSquare + row->falseEasting;
  if (row->low2 != A) {
    if (l2 > L) gridEasting -= 300000.0;
    if (l2 > U) gridEasting -= 200000.0;
  } else {
    if (l2 > C) gridEasting -= 200000.0;
    if (l2 > I) gridEasting -= kSquare;
    if (l2 > L) gridEasting -= 300000.0;
  }
  hemisphere = (l1 == A || l1 == B) ? 'S' : 'N';
  easting = m.easting + gridEasting;
  northing = m.northing + gridNorthing;
  return kMgrsNoError;
}

}  // namespace

long geodeticToGrid(double lat, double lon, GridPosition& grid) {
  long err = kMgrsNoError;
  if (!inRange(lat, -kHalfPi, kHalfPi)) err |= kMgrsLatitudeError;
  if (!inRange(lon, -kPi, kTwoPi)) err |= kMgrsLongitudeError;
  if (err) return err;
  if (lat < kUtmToUpsSouth || lat > kUtmToUpsNorth) {
    err = setUpsParameters(kWgs84A, kWgs84F);
    if (!err) err = geodeticToUps(lat, lon, grid.hemisphere, grid.easting, grid.northing);
    grid.zone = 0;
    return err;
  }
  err = setUtmParameters(kWgs84A, kWgs84F, 0);
  if (!err) err = geodeticToUtm(lat, lon, grid.zone, grid.hemisphere, grid.easting, grid.northing);
  return err;
}

long geodeticToMgrs(double lat, double lon, long precision, char* mgrs) {
  long err = kMgrsNoError;
  if (!inRange(lat, -kHalfPi, kHalfPi)) err |= kMgrsLatitudeError;
  if (!inRange(lon, -kPi, kTwoPi)) err |= kMgrsLongitudeError;
  if (precision < 0 || precision > kMgrsMaxPrecision) err |= kMgrsPrecisionError;
  if (err) return err;
  GridPosition g;
  err = geodeticToGrid(lat, lon, g);
  if (err) return err;
  return g.zone ? utmToMgrs(g.zone, lat, g.easting, g.northing, precision, mgrs)
                : upsToMgrs(g.hemisphere, g.easting, g.northing, precision, mgrs);
}

long utmToMgrs(long zone, double lat, double easting, double northing, long precision, char* mgrs) {
  long err = kMgrsNoError;
  if (zone < 1 || zone > kMaxZone) err |= kMgrsZoneError;
  if (precision < 0 || precision > kMgrsMaxPrecision) err |= kMgrsPrecisionError;
  if (!inRange(easting, kUtmMinEasting, kUtmMaxEasting)) err |= kMgrsEastingError;
  if (!inRange(northing, kUtmMinNorthing, kUtmMaxNorthing)) err |= kMgrsNorthingError;
  int band = -1;
  if (lat >= kBandX && lat < kBandXTop)
    band = kBandCount - 1;
  else if (lat > kBandCBottom && lat < kBandX)
    band = static_cast<int>((lat - kBandOrigin) / kBandHeight + kBandEpsilon);
  if (band < 0) err |= kMgrsLatitudeError;
  if (err) return err;

  const double divisor = digitDivisor(precision);
  easting = roundTo(easting, divisor);
  northing = roundTo(northing, divisor);
  const GridValues g = gridValues(zone);

  // The equator seen from the south belongs to the square below it, letters and digits alike,
  // so that the text still names a point within a metre of the position.
  if (northing == kEquatorNorthing) northing -= 1.0;
  double gridNorthing = northing;
  while (gridNorthing >= kPatternCycle) gridNorthing -= kPatternCycle;
  gridNorthing -= g.patternOffset;
  if (gridNorthing < 0.0) gridNorthing += kPatternCycle;
  int l3 = static_cast<int>(gridNorthing / kSquare);
  if (l3 > H) ++l3;
  if (l3 > N) ++l3;

  if (kBands[band].letter == V && zone == 31 && easting == 500000.0) easting -= 1.0;
  int l2 = g.low + static_cast<int>(easting / kSquare) - 1;
  if (g.low == J && l2 > N) ++l2;

  const int letters[3] = {kBands[band].letter, l2, l3};
  buildMgrs(mgrs, zone, letters, easting, northing, precision);
  return kMgrsNoError;
}

long upsToMgrs(char hemisphere, double easting, double northing, long precision, char* mgrs) {
  long err = kMgrsNoError;
  if (hemisphere != 'N' && hemisphere != 'S') err |= kMgrsHemisphereError;
  if (!inRange(easting, 0.0, kUpsMaxCoordinate)) err |= kMgrsEastingError;
  if (!inRange(northing, 0.0, kUpsMaxCoordinate)) err |= kMgrsNorthingError;
  if (precision < 0 || precision > kMgrsMaxPrecision) err |= kMgrsPrecisionError;
  if (err) return err;

  const double divisor = digitDivisor(precision);
  easting = roundTo(easting, divisor);
  northing = roundTo(northing, divisor);

  const bool west = easting < kUpsFalseOrigin;
  const int l1 = hemisphere == 'N' ? (west ? Y : Z) : (west ? A : B);
  const UpsRow* row = &kUpsRows[0];
  for (const UpsRow& r : kUpsRows)
    if (r.letter == l1) row = &r;

  int l2 = row->low2 + static_cast<int>((easting - row->falseEasting) / kSquare);
  if (!west) {
    if (l2 > C) l2 += 2;
    if (l2 > H) l2 += 1;
    if (l2 > L) l2 += 3;
  } else {
    if (l2 > L) l2 += 3;
    if (l2 > U) l2 += 2;
  }
  int l3 = static_cast<int>((northing - row->falseNorthing) / kSquare);
  if (l3 > H) l3 += 1;
  if (l3 > N) l3 += 1;
  // Coordinates far outside the polar caps fall off the lettering: refuse them.
  if (l2 < A || l2 > Z || l3 < A || l3 > Z) return kMgrsEastingError | kMgrsNorthingError;

  const int letters[3] = {l1, l2, l3};
  buildMgrs(mgrs, 0, letters, easting, northing, precision);
  return kMgrsNoError;
}

long mgrsToUtm(const char* mgrs, long& zone, char& hemisphere, double& easting, double& northing) {
  MgrsParts m;
  long err = breakMgrs(mgrs, m);
  if (err) return err;
  double lat = 0, lon = 0;
  return partsToUtm(m, zone, hemisphere, easting, northing, lat, lon);
}

long mgrsToUps(const char* mgrs, char& hemisphere, double& easting, double& northing) {
  MgrsParts m;
  long err = breakMgrs(mgrs, m);
  if (err) return err;
  return partsToUps(m, hemisphere, easting, northing);
}

long mgrsToGeodetic(const char* mgrs, double& lat, double& lon) {
  MgrsParts m;
  long err = breakMgrs(mgrs, m);
  if (err) return err;
  if (m.zone) {
    err = setUtmParameters(kWgs84A, kWgs84F, 0);
    if (err) return err;
    long zone = 0;
    char hemi = 'N';
    double e = 0, n = 0;
    return partsToUtm(m, zone, hemi, e, n, lat, lon);
  }
  char hemi = 'N';
  double e = 0, n = 0;
  err = setUpsParameters(kWgs84A, kWgs84F);
  if (!err) err = partsToUps(m, hemi, e, n);
  if (!err) err = upsToGeodetic(hemi, e, n, lat, lon);
  return err;
}

}  // namespace geodesy

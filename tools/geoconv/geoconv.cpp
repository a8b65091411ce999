// geoconv: converts positions between geodetic, UTM/UPS and MGRS, one item per input line.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"
#include "common/geodesy/readout.h"
#include "common/version.h"

namespace {

const char kUsage[] =
    "Usage: geoconv -m [-p P] | -u | -g | -r\n"
    "  or:  geoconv --help | --version\n"
    "Reads one item per line on standard input and writes one line per item.\n"
    "\n"
    "  -m [-p P]  LAT LONG (decimal degrees) -> MGRS text at precision P (0..5, default 5)\n"
    "  -u         LAT LONG -> ZONE HEMISPHERE EASTING NORTHING (metres, to the millimetre);\n"
    "             UTM between 80S and 84N, UPS beyond, where the zone is 0\n"
    "  -g         MGRS text -> LAT LONG of the lower-left corner of its square\n"
    "             (decimal degrees, 9 decimals)\n"
    "  -r         LAT LONG -> the three pointer readout lines, separated by tabs\n"
    "  --help     this text\n"
    "  --version  the program's name and version\n"
    "\n"
    "Latitudes are -90..90, south negative; longitudes -180..360, west negative.\n"
    "A line that does not convert gives \"error N\", N being the conversion's error bits\n"
    "in decimal (1 latitude, 2 longitude, 4 malformed text, ...); a line that does not hold\n"
    "two numbers counts as a latitude (1) or longitude (2) error, and a line of more than\n"
    "4096 characters as a malformed text (4).\n";

enum class Mode { kNone, kToMgrs, kToGrid, kFromMgrs, kReadout };

/// Longest line taken as an item (characters); longer lines are skipped and reported.
constexpr size_t kMaxLine = 4096;

/// Reads one line without its newline; a line over kMaxLine characters is consumed to its end
/// and flagged. False at the end of the input.
bool readLine(std::FILE* in, std::string& line, bool& overlong) {
  line.clear();
  overlong = false;
  int c;
  while ((c = getc_unlocked(in)) != EOF) {
    if (c == '\n') return true;
    if (line.size() < kMaxLine)
      line.push_back(static_cast<char>(c));
    else
      overlong = true;
  }
  return !line.empty() || overlong;
}

/// Reads one finite number at *p and moves past it; false when there is none.
bool readNumber(const char*& p, double& value) {
  char* end = nullptr;
  value = std::strtod(p, &end);
  if (end == p || !std::isfinite(value)) return false;
  p = end;
  return true;
}

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == ',';
}

/// "LAT LONG" in degrees; returns 0 or the bits of the field that is missing or bad.
long readLatLon(const std::string& line, double& lat, double& lon) {
  if (line.find('\0') != std::string::npos) return geodesy::kMgrsLatitudeError;
  const char* p = line.c_str();
  if (!readNumber(p, lat)) return geodesy::kMgrsLatitudeError;
  if (!isSpace(*p)) return geodesy::kMgrsLatitudeError;
  while (isSpace(*p)) ++p;
  if (!readNumber(p, lon)) return geodesy::kMgrsLongitudeError;
  while (isSpace(*p)) ++p;
  return *p ? geodesy::kMgrsLongitudeError : geodesy::kMgrsNoError;
}

void convertLine(Mode mode, long precision, const std::string& line, bool overlong,
                 std::string& out) {
  char buf[512];
  double lat = 0, lon = 0;
  long err = 0;
  switch (overlong ? Mode::kNone : mode) {
    case Mode::kToMgrs: {
      char mgrs[geodesy::kMgrsBufferSize];
      err = readLatLon(line, lat, lon);
      if (!err)
        err = geodesy::geodeticToMgrs(lat * geodesy::kDegToRad, lon * geodesy::kDegToRad, precision,
                                      mgrs);
      if (!err) std::snprintf(buf, sizeof buf, "%s", mgrs);
      break;
    }
    case Mode::kToGrid: {
      geodesy::GridPosition g;
      err = readLatLon(line, lat, lon);
      if (!err)
        err = geodesy::geodeticToGrid(lat * geodesy::kDegToRad, lon * geodesy::kDegToRad, g);
      if (!err)
        std::snprintf(buf, sizeof buf, "%ld %c %.3f %.3f", g.zone, g.hemisphere, g.easting,
                      g.northing);
      break;
    }
    case Mode::kFromMgrs:
      if (line.find('\0') != std::string::npos)
        err = geodesy::kMgrsStringError;
      else
        err = geodesy::mgrsToGeodetic(line.c_str(), lat, lon);
      if (!err)
        std::snprintf(buf, sizeof buf, "%.9f %.9f", lat * geodesy::kRadToDeg,
                      lon * geodesy::kRadToDeg);
      break;
    case Mode::kReadout: {
      err = readLatLon(line, lat, lon);
      if (!err) {
        const geodesy::Readout r = geodesy::makeReadout(lon, lat);
        std::snprintf(buf, sizeof buf, "%s\t%s\t%s", r.latitude.c_str(), r.longitude.c_str(),
                      r.mgrs.c_str());
      }
      break;
    }
    case Mode::kNone:
      err = geodesy::kMgrsStringError;
      break;
  }
  if (err) std::snprintf(buf, sizeof buf, "error %ld", err);
  out.append(buf);
  out.push_back('\n');
}

int usageError(const char* why, const char* what = "") {
  std::fprintf(stderr, "geoconv: %s%s\n%s", why, what, kUsage);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  Mode mode = Mode::kNone;
  long precision = geodesy::kMgrsMaxPrecision;
  bool precisionGiven = false;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    Mode m = Mode::kNone;
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (!std::strcmp(a, "--version")) {
      printVersion(stdout, "geoconv");
      return 0;
    } else if (!std::strcmp(a, "-m")) {
      m = Mode::kToMgrs;
    } else if (!std::strcmp(a, "-u")) {
      m = Mode::kToGrid;
    } else if (!std::strcmp(a, "-g")) {
      m = Mode::kFromMgrs;
    } else if (!std::strcmp(a, "-r")) {
      m = Mode::kReadout;
    } else if (!std::strcmp(a, "-p")) {
      if (++i >= argc) return usageError("-p needs a precision");
      char* end = nullptr;
      precision = std::strtol(argv[i], &end, 10);
      if (*argv[i] == '\0' || *end || precision < 0 || precision > geodesy::kMgrsMaxPrecision)
        return usageError("the precision must be 0 to 5");
      precisionGiven = true;
      continue;
    } else {
      return usageError("unknown option ", a);
    }
    if (mode != Mode::kNone) return usageError("give exactly one of -m, -u, -g, -r");
    mode = m;
  }
  if (mode == Mode::kNone) return usageError("give one of -m, -u, -g, -r");
  if (precisionGiven && mode != Mode::kToMgrs) return usageError("-p goes with -m");

  std::string line, out;
  bool overlong = false;
  while (readLine(stdin, line, overlong)) {
    convertLine(mode, precision, line, overlong, out);
    if (out.size() >= 1 << 16) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  return std::fflush(stdout) == 0 ? 0 : 1;
}

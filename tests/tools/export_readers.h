// Independent readers of the track exports, run as programs: gpsbabel (GPX, KML), GDAL's ogrinfo
// (GeoJSON, KML) and Python's own XML, JSON and CSV parsers (export_names.py).
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace exportreaders {

/// One point as a reader gives it; `time` as gpsbabel writes it ("2026/12/07 12:45:19.500").
struct ReadPoint {
  double latitude = 0;
  double longitude = 0;
  std::string time;
};

/// Runs `argv` to its end; its standard output, with a test failure when it fails.
inline std::string run(const std::vector<std::string>& argv) {
  testsupport::ChildProcess child(argv, testsupport::ChildOutput::kFiles);
  EXPECT_EQ(child.wait(), 0) << argv[0] << " " << argv.back() << ": " << child.errors;
  return child.output;
}

/// The fields of `line` (a CR before its end dropped: gpsbabel ends lines with CR LF).
inline std::vector<std::string> split(std::string line, char separator) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, separator);) fields.push_back(field);
  return fields;
}

/// The points of every track gpsbabel reads from a GPX or KML file ("gpx", "kml"), in order.
inline std::vector<ReadPoint> gpsbabelPoints(const std::string& format, const std::string& path) {
  std::istringstream out(
      run({"gpsbabel", "-t", "-i", format, "-f", path, "-o", "unicsv,utc=0", "-F", "-"}));
  std::string line;
  std::getline(out, line);
  const std::vector<std::string> header = split(line, ',');
  std::vector<ReadPoint> points;
  while (std::getline(out, line)) {
    const std::vector<std::string> fields = split(line, ',');
    ReadPoint p;
    for (size_t i = 0; i < header.size() && i < fields.size(); ++i) {
      if (header[i] == "Latitude") p.latitude = std::atof(fields[i].c_str());
      if (header[i] == "Longitude") p.longitude = std::atof(fields[i].c_str());
      if (header[i] == "Date" || header[i] == "Time")
        p.time += (p.time.empty() ? "" : " ") + fields[i];
    }
    points.push_back(p);
  }
  return points;
}

/// The features ogrinfo reads from a file, each as the points of its geometry.
inline std::vector<std::vector<ReadPoint>> ogrFeatures(const std::string& path) {
  std::istringstream out(run({"ogrinfo", "-ro", "-q", "-al", path}));
  std::vector<std::vector<ReadPoint>> features;
  for (std::string line; std::getline(out, line);) {
    // Geometry lines: "  LINESTRING Z (-117.16 32.7 0,-117.1 32.71 0)", "  POINT (7.25 45.5)".
    if (line.rfind("  LINESTRING", 0) != 0 && line.rfind("  POINT", 0) != 0) continue;
    const size_t open = line.find('(');
    const bool withZ = line.find(" Z ") < open;
    std::istringstream numbers(line.substr(open + 1));
    features.emplace_back();
    ReadPoint p;
    double z = 0;
    char separator = ',';
    while (separator == ',' && numbers >> p.longitude >> p.latitude && (!withZ || numbers >> z)) {
      features.back().push_back(p);
      numbers >> separator;
    }
  }
  return features;
}

/// What Python's parsers read: a line per track, its name as json.dumps writes it and its point
/// count; for CSV a line per row, its name so, id, seconds and status.
inline std::vector<std::string> pythonTracks(const std::string& format, const std::string& path) {
  std::vector<std::string> lines;
  std::istringstream out(run({"python3", EXPORT_NAMES_SCRIPT, format, path}));
  for (std::string line; std::getline(out, line);) lines.push_back(line);
  return lines;
}

/// Expects the points a reader gave to be `want`, within 1e-6 degree.
inline void expectPoints(const std::vector<ReadPoint>& got, const std::vector<ReadPoint>& want,
                         const std::string& what) {
  ASSERT_EQ(got.size(), want.size()) << what;
  for (size_t i = 0; i < got.size(); ++i) {
    EXPECT_NEAR(got[i].latitude, want[i].latitude, 1e-6) << what << " point " << i;
    EXPECT_NEAR(got[i].longitude, want[i].longitude, 1e-6) << what << " point " << i;
  }
}

}  // namespace exportreaders

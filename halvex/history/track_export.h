// Recorded tracks written out for other programs: GPX 1.1, KML 2.2 with timed tracks, GeoJSON
// (RFC 7946) and the typed CSV of the tracker's data sets.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "halvex/history/track_state.h"

enum class ExportFormat { kGpx, kKml, kGeoJson, kCsv };

/// Reads a format's name as given on a command line ("gpx", "kml", "geojson", "csv").
bool parseExportFormat(std::string_view name, ExportFormat& format);

/// Whether `format` writes one track per node (GPX, KML, GeoJSON), so that a node's fixes are
/// gathered before it is written; CSV writes a row per fix as the fixes come.
bool exportGroupsByNode(ExportFormat format);

/// One fix of a track as the grouped formats keep it until the track is written: 24 bytes, as
/// many of them are held at once.
struct TrackPoint {
  int64_t fixMs = 0;     ///< UTC time of the fix, ms since 1970.
  double latitude = 0;   ///< Degrees, south negative.
  double longitude = 0;  ///< Degrees, west negative.
};

/// One node's track: its fixes in recorded order.
struct Track {
  int id = 0;        ///< Node id.
  std::string name;  ///< Track name (see trackName); any bytes.
  std::vector<TrackPoint> points;
};

/// Whether a recorded position can be exported: finite, latitude within ±90 and longitude within
/// ±180 degrees. Others are left out of every format.
bool exportablePosition(double latitude, double longitude);

/// A track's name: the node's `name`, or "node N" when it is empty.
std::string trackName(int id, const std::string& name);

/// Writes what comes before the first track or row: the XML declaration and root (GPX with
/// `creator` as its creator, KML), the collection's start (GeoJSON) or the CSV data set's type
/// and name lines. False on a write error.
bool writeExportStart(std::FILE* out, ExportFormat format, std::string_view creator);

/// Writes one track of a grouped format (nothing for an empty track); `index` counts the tracks
/// written before it. False on a write error.
bool writeExportTrack(std::FILE* out, ExportFormat format, const Track& track, size_t index);

/// Writes one CSV row: id, the node's name in force, fix time as seconds since 1970 with
/// milliseconds (1796647519.500) and as UTC text, latitude, longitude, status. False on a write
/// error.
bool writeExportRow(std::FILE* out, const TrackState& fix);

/// Closes what writeExportStart opened. False on a write error.
bool writeExportEnd(std::FILE* out, ExportFormat format);

/// Appends a latitude or longitude in degrees: at most 9 decimals (the recording keeps 1e-9
/// degree), trailing zeros dropped, a point as decimal mark whatever the locale.
void appendDegrees(std::string& out, double degrees);

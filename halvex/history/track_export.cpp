#include "halvex/history/track_export.h"

#include <cmath>

#include "halvex/core/fixed_format.h"
#include "halvex/core/text_escape.h"
#include "halvex/core/utc_time.h"

namespace {

/// Decimals of a written degree value: the recording keeps 1e-9 degree.
constexpr int kDegreeDecimals = 9;
/// A track's text is handed to the stream whenever this much has gathered, so that a long track
/// costs no second copy of itself.
constexpr size_t kFlushBytes = 64 * 1024;

constexpr char kXmlDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";

/// The CSV data set's two header lines, in the converter's vocabulary: numbers are "user"
/// columns and texts "field list" ones.
constexpr char kCsvTypes[] = "user,field list,user,field list,user,user,user\n";
constexpr char kCsvNames[] = "id,name,time,utc,lat,lon,status\n";

bool put(std::FILE* out, std::string_view text) {
  return std::fwrite(text.data(), 1, text.size(), out) == text.size();
}

/// Hands `text` to the stream once it is large, and empties it.
bool flushIfLarge(std::FILE* out, std::string& text) {
  if (text.size() < kFlushBytes) return true;
  const bool ok = put(out, text);
  text.clear();
  return ok;
}

void appendUtc(std::string& out, int64_t ms) {
  char text[kUtcTextSize];
  out.append(text, static_cast<size_t>(formatUtcTime(ms, UtcStyle::kIso, text)));
}

void appendInt(std::string& out, long value) {
  char text[fixedfmt::kNumberBufferSize];
  out.append(text, static_cast<size_t>(fixedfmt::formatInt(value, 0, text)));
}

/// GPX longitudes run from -180 inclusive to 180 exclusive: 180 is written as -180, the same
/// meridian.
double gpxLongitude(double longitude) {
  return longitude >= 180 ? longitude - 360 : longitude;
}

void appendGpxTrack(std::FILE* out, std::string& text, const Track& track, bool& ok) {
  text += "  <trk>\n    <name>";
  appendXmlText(text, track.name);
  text += "</name>\n    <number>";
  appendInt(text, track.id);
  text += "</number>\n    <trkseg>\n";
  for (const TrackPoint& p : track.points) {
    text += "      <trkpt lat=\"";
    appendDegrees(text, p.latitude);
    text += "\" lon=\"";
    appendDegrees(text, gpxLongitude(p.longitude));
    text += "\"><time>";
    appendUtc(text, p.fixMs);
    text += "</time></trkpt>\n";
    ok = flushIfLarge(out, text) && ok;
  }
  text += "    </trkseg>\n  </trk>\n";
}

// A timed track (gx:Track) per node: the times, then the positions in the same order. Both
// gpsbabel and GDAL's LIBKML driver read it as a track with one point per fix.
void appendKmlTrack(std::FILE* out, std::string& text, const Track& track, bool& ok) {
  text += "    <Placemark>\n      <name>";
  appendXmlText(text, track.name);
  text += "</name>\n      <ExtendedData><Data name=\"id\"><value>";
  appendInt(text, track.id);
  text += "</value></Data></ExtendedData>\n      <gx:Track>\n";
  for (const TrackPoint& p : track.points) {
    text += "        <when>";
    appendUtc(text, p.fixMs);
    text += "</when>\n";
    ok = flushIfLarge(out, text) && ok;
  }
  for (const TrackPoint& p : track.points) {
    text += "        <gx:coord>";
    appendDegrees(text, p.longitude);
    text += ' ';
    appendDegrees(text, p.latitude);
    text += " 0</gx:coord>\n";
    ok = flushIfLarge(out, text) && ok;
  }
  text += "      </gx:Track>\n    </Placemark>\n";
}

// A LineString feature per node; a node with one fix is a Point, since a LineString needs two
// positions (RFC 7946, 3.1.4).
void appendGeoJsonTrack(std::FILE* out, std::string& text, const Track& track, size_t index,
                        bool& ok) {
  const bool single = track.points.size() == 1;
  text += index == 0 ? "\n" : ",\n";
  text += "{\"type\":\"Feature\",\"properties\":{\"id\":";
  appendInt(text, track.id);
  text += ",\"name\":";
  appendJsonString(text, track.name);
  text += ",\"times\":[";
  for (size_t i = 0; i < track.points.size(); ++i) {
    text += i == 0 ? "\"" : ",\"";
    appendUtc(text, track.points[i].fixMs);
    text += '"';
    ok = flushIfLarge(out, text) && ok;
  }
  text += single ? "]},\"geometry\":{\"type\":\"Point\",\"coordinates\":"
                 : "]},\"geometry\":{\"type\":\"LineString\",\"coordinates\":[";
  for (size_t i = 0; i < track.points.size(); ++i) {
    text += i == 0 ? "[" : ",[";
    appendDegrees(text, track.points[i].longitude);
    text += ',';
    appendDegrees(text, track.points[i].latitude);
    text += ']';
    ok = flushIfLarge(out, text) && ok;
  }
  text += single ? "}}" : "]}}";
}

}  // namespace

bool parseExportFormat(std::string_view name, ExportFormat& format) {
  static constexpr struct {
    const char* name;
    ExportFormat format;
  } kNames[] = {{"gpx", ExportFormat::kGpx},
                {"kml", ExportFormat::kKml},
                {"geojson", ExportFormat::kGeoJson},
                {"csv", ExportFormat::kCsv}};
  for (const auto& entry : kNames) {
    if (name == entry.name) {
      format = entry.format;
      return true;
    }
  }
  return false;
}

bool exportGroupsByNode(ExportFormat format) {
  return format != ExportFormat::kCsv;
}

bool exportablePosition(double latitude, double longitude) {
  return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90 &&
         std::fabs(longitude) <= 180;
}

std::string trackName(int id, const std::string& name) {
  return name.empty() ? "node " + std::to_string(id) : name;
}

void appendDegrees(std::string& out, double degrees) {
  char text[fixedfmt::kNumberBufferSize];
  int n = fixedfmt::formatFixed(degrees, kDegreeDecimals, 0, text);
  if (n == 0) {  // not finite, or far out of range: never a position
    out += '0';
    return;
  }
  while (text[n - 1] == '0') --n;
  if (text[n - 1] == '.') --n;
  if (n == 2 && text[0] == '-' && text[1] == '0') {  // a tiny negative value rounded to zero
    out += '0';
    return;
  }
  out.append(text, static_cast<size_t>(n));
}

bool writeExportStart(std::FILE* out, ExportFormat format, std::string_view creator) {
  std::string text;
  switch (format) {
    case ExportFormat::kGpx:
      text = kXmlDeclaration;
      text += "<gpx version=\"1.1\" creator=\"";
      appendXmlText(text, creator);
      text += "\" xmlns=\"http://www.topografix.com/GPX/1/1\">\n";
      break;
    case ExportFormat::kKml:
      text = kXmlDeclaration;
      text +=
          "<kml xmlns=\"http://www.opengis.net/kml/2.2\" "
          "xmlns:gx=\"http://www.google.com/kml/ext/2.2\">\n  <Document>\n    <name>";
      appendXmlText(text, creator);
      text += "</name>\n";
      break;
    case ExportFormat::kGeoJson:
      text = "{\"type\":\"FeatureCollection\",\"features\":[";
      break;
    case ExportFormat::kCsv:
      text = std::string(kCsvTypes) + kCsvNames;
      break;
  }
  return put(out, text);
}

bool writeExportTrack(std::FILE* out, ExportFormat format, const Track& track, size_t index) {
  if (track.points.empty()) return true;
  std::string text;
  bool ok = true;
  switch (format) {
    case ExportFormat::kGpx:
      appendGpxTrack(out, text, track, ok);
      break;
    case ExportFormat::kKml:
      appendKmlTrack(out, text, track, ok);
      break;
    case ExportFormat::kGeoJson:
      appendGeoJsonTrack(out, text, track, index, ok);
      break;
    case ExportFormat::kCsv:
      break;
  }
  return put(out, text) && ok;
}

bool writeExportRow(std::FILE* out, const TrackState& fix) {
  std::string text;
  appendInt(text, fix.id);
  text += ',';
  appendCsvField(text, fix.name);
  text += ',';
  // Seconds with three decimals, from the whole ms (no rounding through a double).
  const uint64_t magnitude =
      fix.fixMs < 0 ? 0 - static_cast<uint64_t>(fix.fixMs) : static_cast<uint64_t>(fix.fixMs);
  if (fix.fixMs < 0) text += '-';
  appendInt(text, static_cast<long>(magnitude / 1000));
  char millis[fixedfmt::kNumberBufferSize];
  text += '.';
  text.append(millis, static_cast<size_t>(
                          fixedfmt::formatInt(static_cast<long>(magnitude % 1000), 3, millis)));
  text += ',';
  appendUtc(text, fix.fixMs);
  text += ',';
  appendDegrees(text, fix.latitude);
  text += ',';
  appendDegrees(text, fix.longitude);
  text += ',';
  appendInt(text, fix.status);
  text += '\n';
  return put(out, text);
}

bool writeExportEnd(std::FILE* out, ExportFormat format) {
  bool ok = true;
  switch (format) {
    case ExportFormat::kGpx:
      ok = put(out, "</gpx>\n");
      break;
    case ExportFormat::kKml:
      ok = put(out, "  </Document>\n</kml>\n");
      break;
    case ExportFormat::kGeoJson:
      ok = put(out, "\n]}\n");
      break;
    case ExportFormat::kCsv:
      break;
  }
  return std::fflush(out) == 0 && std::ferror(out) == 0 && ok;
}

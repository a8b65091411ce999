#include "dunmore/report_builder.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <utility>

#include "common/geodesy/ellipsoid.h"
#include "common/geodesy/mgrs.h"
#include "dunmore/cast_date.h"
#include "dunmore/listing.h"

namespace dunmore {

namespace {

/// Longest field read for the "GR" word and the square letters.
constexpr std::ptrdiff_t kMaxGridWord = 63;

bool isSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

/// Reads one blank-delimited word of at most kMaxGridWord characters at p.
bool readWord(const char*& p, std::string& word) {
  while (isSpace(*p)) ++p;
  const char* begin = p;
  while (*p && !isSpace(*p) && p - begin < kMaxGridWord) ++p;
  word.assign(begin, p);
  return p != begin;
}

/// Reads one decimal number at p, clamped to the 32 bits of the report's fields.
bool readNumber(const char*& p, std::int32_t& value) {
  char* end = nullptr;
  const long long number = std::strtoll(p, &end, 10);
  if (end == p) return false;
  value = static_cast<std::int32_t>(std::clamp<long long>(number, INT32_MIN, INT32_MAX));
  p = end;
  return true;
}

bool startsWithNoCase(const std::string& text, const char* prefix, std::size_t length) {
  return strncasecmp(text.c_str(), prefix, length) == 0;
}

}  // namespace

bool readGridReference(const std::string& text, GridReference& grid) {
  const char* p = text.c_str();
  std::string marker;
  return readWord(p, marker) && readWord(p, grid.square) && readNumber(p, grid.easting) &&
         readNumber(p, grid.northing);
}

std::string gridZoneOf(const std::string& zone) {
  const size_t first = zone.find_first_not_of(" \t");
  const size_t last = zone.find_last_not_of(" \t");
  if (first == std::string::npos) return kGridZone;
  const std::string word = zone.substr(first, last - first + 1);
  // One or two digits for zones 1 to 60, then a latitude band C to X without I and O.
  const size_t digits = word.find_first_not_of("0123456789");
  if (digits == 0 || digits > 2 || digits + 1 != word.size()) return kGridZone;
  const int number = std::atoi(word.substr(0, digits).c_str());
  const char band = static_cast<char>(std::toupper(static_cast<unsigned char>(word[digits])));
  if (number < 1 || number > 60 || band < 'C' || band > 'X' || band == 'I' || band == 'O') {
    return kGridZone;
  }
  return std::to_string(number) + band;
}

std::string gridReferenceMgrs(const GridReference& grid, const std::string& zone) {
  char text[256];
  std::snprintf(text, sizeof text, "%s%s%05d%05d", zone.c_str(), grid.square.c_str(), grid.easting,
                grid.northing);
  return text;
}

void ReportBuilder::startReport(std::string_view dtg) {
  set_.clearFields();
  set_.field(kDateField).append(dtg);
}

void ReportBuilder::appendWord(ReportField field, std::string_view word) {
  TextAccumulator& f = set_.field(field);
  f.append(word);
  f.append(" ");
}

void ReportBuilder::appendCommentWord(std::string_view word) {
  TextAccumulator& comment = set_.field(kCommentField);
  if (word == "." || word == ",") comment.trim();
  comment.append(word);
  comment.append(" ");
}

void ReportBuilder::takeAtPhrase(Report& report, const std::string& phrase,
                                 const char* nameFormat) {
  GridReference grid;
  // A phrase that starts like a grid reference but does not read as one ("Green Hill") is a
  // place name.
  if (!startsWithNoCase(phrase, "GR", 2) || !readGridReference(phrase, grid)) {
    report.texts[kLocationText] = phrase;
    traceListing(listing_, nameFormat, phrase.c_str());
    return;
  }
  report.gridSquare = grid.square;
  report.easting = grid.easting;
  report.northing = grid.northing;
  report.zval = 0;
  const std::string mgrs = gridReferenceMgrs(grid, gridZoneOf(set_.field(kZoneField).text()));
  double lat = 0, lon = 0;
  if (const long error = geodesy::mgrsToGeodetic(mgrs.c_str(), lat, lon)) {
    lat = lon = 0;
    report.gridError = error;
  }
  report.latitude = lat * geodesy::kRadToDeg;
  report.longitude = lon * geodesy::kRadToDeg;
  traceListing(listing_, "\tAt Cords:\t%s\n", phrase.c_str());
  traceListing(listing_, "\tAt : MGRS %s\n", mgrs.c_str());
  traceListing(listing_, "\tAt : Geodetic lat %lf lon %lf\n", report.latitude, report.longitude);
}

void ReportBuilder::finishReport() {
  set_.trimFields();
  const std::string& date = set_.field(kDateField).text();
  const std::string& zone = set_.field(kZoneField).text();
  const std::string& action = set_.field(kActionField).text();
  const std::string& onFirst = set_.field(kOnFirstField).text();
  const std::string& onSecond = set_.field(kOnSecondField).text();
  const std::string& atFirst = set_.field(kAtFirstField).text();
  const std::string& atSecond = set_.field(kAtSecondField).text();
  const std::string& comment = set_.field(kCommentField).text();

  Report report;
  report.time = dateTimeGroupTime(date);
  report.texts[kZoneText] = zone.empty() ? kNoneGiven : zone;
  report.texts[kActionText] = action.empty() ? kNoneGiven : action;

  traceListing(listing_, "LINE:\n");
  traceListing(listing_, "\tDate:\t%s\n", date.empty() ? "None" : date.c_str());
  traceListing(listing_, "\tZone:\t%s\n", zone.empty() ? "None" : zone.c_str());
  if (!action.empty()) traceListing(listing_, "\tAction:\t%s\n", action.c_str());
  if (!onFirst.empty()) traceListing(listing_, "\tOn1:\t\t%s\n", onFirst.c_str());
  if (!onSecond.empty()) traceListing(listing_, "\tOn2:\t\t%s\n", onSecond.c_str());

  // A first on phrase naming a route makes the second one the entity, and the other way round.
  bool route = false;
  if (onFirst.empty()) {
    report.texts[kEntityText] = report.texts[kRouteText] = kNoneGiven;
  } else if (startsWithNoCase(onFirst, "Route", 5)) {
    report.texts[kRouteText] = onFirst;
    route = true;
  } else {
    report.texts[kEntityText] = onFirst;
  }
  report.texts[route ? kEntityText : kRouteText] = onSecond.empty() ? kNoneGiven : onSecond;

  if (atFirst.empty())
    report.texts[kLocationText] = kNoneGiven;
  else
    takeAtPhrase(report, atFirst, "\tAt Name1:\t\t%s\n");
  if (!atSecond.empty()) {
    takeAtPhrase(report, atSecond, "\tAt Name2:\t\t%s\n");
  } else if (!report.hasText(kLocationText)) {
    report.texts[kLocationText] = kNoneGiven;
    traceListing(listing_, "\tAt Name2:\t\t%s\n", kNoneGiven);
  }

  if (!comment.empty()) traceListing(listing_, "\tComment:\t%s\n", comment.c_str());
  set_.add(std::move(report));
}

void ReportBuilder::finishFile() {
  listSummary(listing_, set_);
}

}  // namespace dunmore

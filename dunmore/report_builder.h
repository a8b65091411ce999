// Builds reports from the words the grammar collects: the date to UTC, the on and at phrases to
// entity, route and location, grid references to geodetic positions; and lists each report.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "dunmore/report_set.h"

namespace dunmore {

/// A grid reference is taken in this grid zone unless its report names another.
inline constexpr const char kGridZone[] = "38S";

/// A grid reference as written: "GR <square letters> <easting> <northing>".
struct GridReference {
  std::string square;
  std::int32_t easting = 0;
  std::int32_t northing = 0;
};

/// Reads the four fields of a grid reference as "%63s %63s %ld %ld" would with a 32-bit long
/// (the first field is not checked; numbers out of range are clamped). False unless all four
/// are there.
bool readGridReference(const std::string& text, GridReference& grid);

/// The grid zone designator `zone` names ("11S", "11s", "4Q"; blanks around it ignored), in
/// capitals; kGridZone when it names none (empty, "NONE", "Kestrel 4", "61S", "38I").
std::string gridZoneOf(const std::string& zone);

/// The MGRS text of a grid reference in `zone` (a designator gridZoneOf gave), easting and
/// northing as five digits each.
std::string gridReferenceMgrs(const GridReference& grid, const std::string& zone = kGridZone);

/// The grammar's actions on the report set.
class ReportBuilder {
 public:
  /// Listing lines go to `listing` (null discards them).
  ReportBuilder(ReportSet& set, std::FILE* listing) : set_(set), listing_(listing) {}

  /// A date-time group starts a report: every field is emptied and the date set.
  void startReport(std::string_view dtg);

  /// Appends a word and one blank to a field.
  void appendWord(ReportField field, std::string_view word);

  /// Appends a comment word; a period or comma is joined to the word before it.
  void appendCommentWord(std::string_view word);

  /// The report is complete: builds it from the trimmed fields, adds it to the set and lists it.
  void finishReport();

  /// A file parsed to its end: lists the summary.
  void finishFile();

 private:
  /// Takes one at phrase into the report: a grid reference sets the position, anything else
  /// the location name (listed with `nameFormat`).
  void takeAtPhrase(Report& report, const std::string& phrase, const char* nameFormat);

  ReportSet& set_;
  std::FILE* listing_;
};

}  // namespace dunmore

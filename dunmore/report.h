// One field report as read from a cast file: its texts, grid reference, position and time.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dunmore/term_dictionary.h"

namespace dunmore {

/// Slots of Report::texts, which are also the dictionaries of ReportStatistics.
enum ReportText {
  kNoText = 0,        ///< never set
  kZoneText = 1,      ///< the zone, or "NONE GIVEN"
  kActionText = 2,    ///< the action words, or "NONE GIVEN"
  kEntityText = 3,    ///< the attacked entity
  kRouteText = 4,     ///< the attacked route
  kLocationText = 5,  ///< the attacked location's name
  kReportTextCount = 6,
};

/// The text every missing part of a report gets.
inline constexpr const char kNoneGiven[] = "NONE GIVEN";

struct Report {
  /// Empty means absent: a text that is set is never empty.
  std::array<std::string, kReportTextCount> texts;
  /// The 100 km square letters of the grid reference; empty when there is none.
  std::string gridSquare;
  std::int32_t easting = 0;        ///< metres within the square, as written
  std::int32_t northing = 0;       ///< metres within the square, as written
  std::int32_t zval = 0;           ///< always 0
  double latitude = 0;             ///< degrees, 0 without a usable grid reference
  double longitude = 0;            ///< degrees, 0 without a usable grid reference
  std::int64_t time = 0;           ///< seconds since 1970-01-01 UTC
  std::uint16_t milliseconds = 0;  ///< always 0
  long gridError = 0;  ///< error bits of the last grid reference that did not convert, else 0
  /// The dictionary entries of texts[1..5]; null for an absent text and for slot 0.
  std::array<const TermDictionary::Entry*, kReportTextCount> terms{};

  bool hasText(int slot) const { return !texts[static_cast<std::size_t>(slot)].empty(); }
};

}  // namespace dunmore

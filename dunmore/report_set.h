// The converter's report model: the words of the report being read, the reports built so far and
// their statistics.
#pragma once

#include <array>
#include <deque>

#include "dunmore/report.h"
#include "dunmore/report_statistics.h"
#include "dunmore/text_accumulator.h"

namespace dunmore {

/// The fields of the report being read, one accumulator each.
enum ReportField {
  kDateField,
  kZoneField,
  kActionField,
  kOnFirstField,
  kOnSecondField,
  kAtFirstField,
  kAtSecondField,
  kCommentField,
  kReportFieldCount,
};

class ReportSet {
 public:
  TextAccumulator& field(ReportField f) { return fields_[f]; }
  const TextAccumulator& field(ReportField f) const { return fields_[f]; }

  /// Empties every field accumulator.
  void clearFields();
  /// Trims every field accumulator.
  void trimFields();

  /// Completed reports, in the order they were completed. A report stays where it is as
  /// others are added.
  const std::deque<Report>& reports() const { return reports_; }

  /// Appends a report and counts it in the statistics; returns the stored report.
  const Report& add(Report report);

  const ReportStatistics& statistics() const { return statistics_; }

  /// Empties the report list, the statistics and the accumulators.
  void clear();

 private:
  std::array<TextAccumulator, kReportFieldCount> fields_;
  std::deque<Report> reports_;
  ReportStatistics statistics_;
};

/// The one report set of the running converter, shared by its window and conversions.
ReportSet& processReportSet();

}  // namespace dunmore

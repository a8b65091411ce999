// Statistics over the reports of a conversion: the time span and a term dictionary per field.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "dunmore/report.h"
#include "dunmore/term_dictionary.h"

namespace dunmore {

class ReportStatistics {
 public:
  /// No position in the report list.
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

  ReportStatistics();

  /// Counts the report at position `index` of the list: widens the time span when its time is
  /// positive, and enters texts[1..5] into their dictionaries, storing the entries in `terms`.
  void add(Report& report, std::size_t index);

  /// Position of the first report with a positive time, or kNone.
  std::size_t firstTimed() const { return firstTimed_; }
  std::int64_t minTime() const { return minTime_; }
  unsigned minMilliseconds() const { return minMs_; }
  std::int64_t maxTime() const { return maxTime_; }
  unsigned maxMilliseconds() const { return maxMs_; }

  /// Dictionary i collects texts[i]; dictionary 0 stays empty.
  const TermDictionary& dictionary(int i) const {
    return dictionaries_[static_cast<std::size_t>(i)];
  }

  /// Back to the state of a new object.
  void clear();

 private:
  std::size_t firstTimed_ = kNone;
  std::int64_t minTime_ = 0;
  unsigned minMs_ = 0;
  std::int64_t maxTime_ = 0;
  unsigned maxMs_ = 0;
  std::array<TermDictionary, kReportTextCount> dictionaries_;
};

}  // namespace dunmore

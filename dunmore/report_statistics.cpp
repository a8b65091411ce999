#include "dunmore/report_statistics.h"

namespace dunmore {

ReportStatistics::ReportStatistics()
    : dictionaries_{TermDictionary("None given"),     TermDictionary("Zone"),
                    TermDictionary("Action"),         TermDictionary("Attacked Entitie"),
                    TermDictionary("Attacked Route"), TermDictionary("Attacked Location")} {}

void ReportStatistics::add(Report& report, std::size_t index) {
  if (report.time > 0) {
    const unsigned ms = report.milliseconds;
    if (firstTimed_ == kNone) {
      firstTimed_ = index;
      minTime_ = maxTime_ = report.time;
      minMs_ = maxMs_ = ms;
    } else {
      if (report.time < minTime_ || (report.time == minTime_ && ms < minMs_)) {
        minTime_ = report.time;
        minMs_ = ms;
      }
      if (report.time > maxTime_ || (report.time == maxTime_ && ms > maxMs_)) {
        maxTime_ = report.time;
        maxMs_ = ms;
      }
    }
  }
  for (int i = kZoneText; i < kReportTextCount; ++i) {
    const auto slot = static_cast<std::size_t>(i);
    report.terms[slot] =
        report.hasText(i) ? &dictionaries_[slot].enter(report.texts[slot]) : nullptr;
  }
}

void ReportStatistics::clear() {
  firstTimed_ = kNone;
  minTime_ = maxTime_ = 0;
  minMs_ = maxMs_ = 0;
  for (TermDictionary& d : dictionaries_) d.clear();
}

}  // namespace dunmore

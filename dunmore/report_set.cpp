#include "dunmore/report_set.h"

#include <utility>

namespace dunmore {

void ReportSet::clearFields() {
  for (TextAccumulator& f : fields_) f.clear();
}

void ReportSet::trimFields() {
  for (TextAccumulator& f : fields_) f.trim();
}

const Report& ReportSet::add(Report report) {
  reports_.push_back(std::move(report));
  Report& stored = reports_.back();
  statistics_.add(stored, reports_.size() - 1);
  return stored;
}

void ReportSet::clear() {
  clearFields();
  reports_.clear();
  statistics_.clear();
}

ReportSet& processReportSet() {
  // Lives to the end of the run and is left to the system then: taking a large report list
  // apart one allocation at a time would only delay the exit.
  static ReportSet* const set = new ReportSet;
  return *set;
}

}  // namespace dunmore

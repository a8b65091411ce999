// Writes the report list as the CSV file the tracker's CSV data sets read: a line of column
// types, a line of column names, then one row per report.
#pragma once

#include <cstdio>
#include <string>

#include "dunmore/report_set.h"

namespace dunmore {

/// Writes the whole report list of `set` to the file `name`, replacing it whole: a new file beside
/// it is synced and renamed over it (a link to it is followed and kept), so that a failed or
/// interrupted write leaves the old file; a device or a pipe is written in place. False when the
/// file could not be opened or not be written completely.
bool writeCsv(const std::string& name, const ReportSet& set);

/// As writeCsv, to an open stream (not closed). False on a write error.
bool writeCsv(std::FILE* file, const ReportSet& set);

}  // namespace dunmore

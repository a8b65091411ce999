// The converter's listing: a line per part of every report built, and a summary at the end of
// every file that parsed. The lines are discarded unless a sink is given to print them on.
#pragma once

#include <cstdio>

#include "dunmore/report_set.h"

namespace dunmore {

/// The one way listing lines go out: printed on `sink` when it is not null, else discarded.
/// Returns 1.
int traceListing(std::FILE* sink, const char* format, ...) __attribute__((format(printf, 2, 3)));

/// The summary of the whole report list: zone and action of every report, each dictionary with
/// its entries and use counts, and the time span.
void listSummary(std::FILE* sink, const ReportSet& set);

}  // namespace dunmore

// The rates an operator can choose for each periodic activity of the tracker.
#pragma once

/// One entry of a rate choice: its label and the period it selects.
struct RateEntry {
  const char* label;  ///< Text of the choice item.
  double seconds;     ///< Period, s.
};

/// The three rate tables.
enum class RateTable {
  kDisplay = 0,  ///< Frame rates of the view.
  kLocal = 1,    ///< Local state file input and output, client output.
  kRemote = 2,   ///< Remote state polling and client input.
};

/// Period a choice index selects, s: 1.0 for an index outside the table.
constexpr double kRateOutsideTable = 1.0;

/// Entries of a table.
const RateEntry* rateEntries(RateTable table);
/// Number of entries of a table.
int rateCount(RateTable table);
/// Period of entry `index` of `table`, s; kRateOutsideTable outside the table.
double ratePeriod(RateTable table, int index);
/// Index of the entry whose label is `text` (letter case and blanks ignored, so "5pps" finds
/// "5 pps") or whose index `text` spells; -1 when none.
int rateIndexOf(RateTable table, const char* text);

#include "dunmore/listing.h"

#include <cstdarg>

#include "dunmore/cast_date.h"

namespace dunmore {

int traceListing(std::FILE* sink, const char* format, ...) {
  if (!sink) return 1;
  va_list args;
  va_start(args, format);
  std::vfprintf(sink, format, args);
  va_end(args);
  return 1;
}

void listSummary(std::FILE* sink, const ReportSet& set) {
  if (!sink) return;  // nothing would be shown: skip the walk over the whole list
  traceListing(sink, "\n\n\nINFO\n");
  for (const Report& r : set.reports())
    traceListing(sink, "||%s||%s||\n", r.texts[kZoneText].c_str(), r.texts[kActionText].c_str());

  const ReportStatistics& stats = set.statistics();
  for (int i = kZoneText; i < kReportTextCount; ++i) {
    const TermDictionary& dict = stats.dictionary(i);
    const char* name = dict.name().c_str();
    traceListing(sink, "\n\nThere are %d %ss defined\n", dict.distinct(), name);
    int number = 0;
    for (const TermDictionary::Entry* entry : dict.ordered())
      traceListing(sink, "%s index %d is \"%s\" and it is used %d time(s)\n", name, ++number,
                   entry->text.c_str(), entry->uses);
    traceListing(sink, "Printed %d of %d %ss.  Total entries = %ld\n", number, dict.distinct(),
                 name, dict.totalUses());
  }
  traceListing(sink, "The min time is %s\n", formatDateTimeGroup(stats.minTime()).c_str());
  traceListing(sink, "The max time is %s\n", formatDateTimeGroup(stats.maxTime()).c_str());
}

}  // namespace dunmore

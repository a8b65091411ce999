// The report model's parts: accumulators, term dictionaries, statistics and the calendar.
#include <gtest/gtest.h>

#include <algorithm>
#include <ctime>
#include <string>
#include <vector>

#include "dunmore/cast_date.h"
#include "dunmore/report_statistics.h"
#include "dunmore/text_accumulator.h"

using namespace dunmore;

TEST(TextAccumulator, AppendsAndTrimsSpacesOnly) {
  TextAccumulator a;
  a.append("  two ");
  a.append("words \t ");
  a.trim();
  EXPECT_EQ(a.text(), "two words \t");
  a.clear();
  a.append("   ");
  a.trim();
  EXPECT_TRUE(a.empty());
  std::string big(10000, 'x');
  a.append(big);
  EXPECT_EQ(a.length(), big.size());
}

namespace {

/// "text:uses" of every entry in order, joined by blanks.
std::string listed(const TermDictionary& d) {
  std::string s;
  for (const TermDictionary::Entry* e : d.ordered())
    s += (s.empty() ? "" : " ") + e->text + ":" + std::to_string(e->uses);
  return s;
}

}  // namespace

TEST(TermDictionary, KeepsByteOrderAndCounts) {
  TermDictionary d("Zone");
  for (const char* t : {"b", "a", "B", "a", "\xe9"}) d.enter(t);
  // Upper case before lower case, bytes above 127 last.
  EXPECT_EQ(listed(d), "B:1 a:2 b:1 \xe9:1");
  // Entries added after the order was read are merged into it.
  for (const char* t : {"ab", "b", "a", "A", "\xe9\xe9"}) d.enter(t);
  EXPECT_EQ(listed(d), "A:1 B:1 a:3 ab:1 b:2 \xe9:1 \xe9\xe9:1");
  EXPECT_EQ(d.distinct(), 7);
  EXPECT_EQ(d.totalUses(), 10);
  d.clear();
  EXPECT_EQ(listed(d), "");
  EXPECT_EQ(d.totalUses(), 0);
  d.enter("z");
  EXPECT_EQ(listed(d), "z:1");
  EXPECT_EQ(d.name(), "Zone");
}

TEST(TermDictionary, EntriesStayPutAsManyAreAdded) {
  TermDictionary d;
  const TermDictionary::Entry* first = &d.enter("m");
  for (int i = 0; i < 50000; ++i) d.enter("t" + std::to_string(i * 7919 % 50000));
  EXPECT_EQ(d.distinct(), 50001);
  EXPECT_EQ(&d.enter("m"), first);
  EXPECT_EQ(first->uses, 2);
  EXPECT_TRUE(std::is_sorted(d.ordered().begin(), d.ordered().end(),
                             [](auto* a, auto* b) { return a->text < b->text; }));
}

TEST(ReportStatistics, TimeSpanAndTerms) {
  ReportStatistics s;
  EXPECT_EQ(s.dictionary(3).name(), "Attacked Entitie");
  Report undated, early, late;
  undated.texts[kZoneText] = "38S";
  early.time = 100;
  early.texts[kZoneText] = "38S";
  late.time = 300;
  s.add(undated, 0);
  EXPECT_EQ(s.firstTimed(), ReportStatistics::kNone);
  s.add(late, 1);
  s.add(early, 2);
  EXPECT_EQ(s.firstTimed(), 1u);
  EXPECT_EQ(s.minTime(), 100);
  EXPECT_EQ(s.maxTime(), 300);
  EXPECT_EQ(s.dictionary(kZoneText).distinct(), 1);
  EXPECT_EQ(early.terms[kZoneText], undated.terms[kZoneText]);
  EXPECT_EQ(early.terms[kZoneText]->uses, 2);
  EXPECT_EQ(late.terms[kZoneText], nullptr);
  EXPECT_EQ(s.dictionary(0).distinct(), 0);
}

TEST(CastDate, DateTimeGroups) {
  EXPECT_EQ(dateTimeGroupTime("071230Dec"), 1133958600);
  EXPECT_EQ(dateTimeGroupTime("071230dEC"), 1133958600);
  EXPECT_EQ(dateTimeGroupTime("071230xyz"), dateTimeGroupTime("071230Jan"));
  EXPECT_EQ(dateTimeGroupTime(""), 0);
  // Fields out of range carry as the calendar does.
  EXPECT_EQ(dateTimeGroupTime("320000Jan"), dateTimeGroupTime("010000Feb"));
  EXPECT_EQ(dateTimeGroupTime("000000Mar"), dateTimeGroupTime("280000Feb"));
  EXPECT_EQ(dateTimeGroupTime("319999Dec"), dateTimeGroupTime("040439Jan") + 365 * 86400);
}

TEST(CastDate, CalendarAgreesWithTheSystemAndFormats) {
  for (std::int64_t t = -86400LL * 800; t < 86400LL * 365 * 80; t += 86400LL * 13 + 3607) {
    const std::time_t tt = static_cast<std::time_t>(t);
    std::tm tm{};
    gmtime_r(&tt, &tm);
    const UtcTime u = utcTime(t);
    ASSERT_EQ(u.year, tm.tm_year + 1900) << t;
    ASSERT_EQ(u.month, tm.tm_mon + 1) << t;
    ASSERT_EQ(u.day, tm.tm_mday) << t;
    ASSERT_EQ(u.hour * 3600 + u.minute * 60 + u.second,
              tm.tm_hour * 3600 + tm.tm_min * 60 + tm.tm_sec)
        << t;
    ASSERT_EQ(
        daysFromCivil(u.year, u.month, u.day) * 86400 + u.hour * 3600 + u.minute * 60 + u.second,
        t);
  }
  EXPECT_EQ(formatDateTimeGroup(1133958600), "071230Dec");
  EXPECT_EQ(formatDateTimeGroup(0), "010000Jan");
}

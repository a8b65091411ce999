#include "halvex/streams/nmea.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "halvex/core/calendar_cache.h"

namespace {

/// Sets TZ for one test and restores the previous value afterwards.
class ZoneScope {
 public:
  explicit ZoneScope(const char* zone) {
    const char* old = std::getenv("TZ");
    if (old != nullptr) old_ = old;
    hadOld_ = old != nullptr;
    setenv("TZ", zone, 1);
    tzset();
    resetCalendarCache();
  }
  ~ZoneScope() {
    hadOld_ ? setenv("TZ", old_.c_str(), 1) : unsetenv("TZ");
    tzset();
    resetCalendarCache();
  }

 private:
  bool hadOld_ = false;
  std::string old_;
};

TEST(Gpzda, ReadsTheDocumentedExample) {
  ZoneScope zone("UTC0");
  ZdaFix fix;
  ASSERT_TRUE(parseGpzda("$GPZDA,123519.5,07,12,2026,00,00", fix));
  EXPECT_EQ(fix.hour, 12);
  EXPECT_EQ(fix.minute, 35);
  EXPECT_EQ(fix.calendar.tm_sec, 19);
  EXPECT_EQ(fix.day, 7);
  EXPECT_EQ(fix.month, 12);
  EXPECT_EQ(fix.calendar.tm_mon, 11);
  EXPECT_EQ(fix.calendar.tm_year, 126);
  EXPECT_EQ(fix.time.milliseconds, 500);
  EXPECT_EQ(fix.time.seconds, 1796646919);  // 2026-12-07 12:35:19 UTC
  EXPECT_STREQ(fix.dateText, "2026/12/07,12:35:19.500");
}

// The milliseconds are the fraction truncated as written, not as a double holds it (.2 is
// 0.19999... there).
TEST(Gpzda, MillisecondsTruncateTheWrittenFraction) {
  ZoneScope zone("UTC0");
  const struct {
    const char* body;
    int milliseconds;
  } cases[] = {{"$GPZDA,123519.2,07,12,2026,00,00", 200},
               {"$GPZDA,123507.3,07,12,2026,00,00", 300},
               {"$GPZDA,123559.99,07,12,2026,00,00", 990},
               {"$GPZDA,123519.9999,07,12,2026,00,00", 999},
               {"$GPZDA,2575-1.2,32,13,26,0,0", -200}};
  for (const auto& c : cases) {
    ZdaFix fix;
    ASSERT_TRUE(parseGpzda(c.body, fix)) << c.body;
    EXPECT_EQ(fix.time.milliseconds, c.milliseconds) << c.body;
  }
}

TEST(Gpzda, RejectsMissingEmptyOrUnreadableFields) {
  ZdaFix fix;
  fix.hour = 99;
  for (const char* body : {"$GPZDA,123519.5,07,12,2026,,",      // empty zone fields
                           "$GPZDA,123519.5,07,12,2026,00",     // zone minutes missing
                           "$GPZDA,123519.5,,12,2026,00,00",    // empty day
                           "$gpzda,123519.5,07,12,2026,00,00",  // tag case
                           "GPZDA,123519.5,07,12,2026,00,00",   // no "$"
                           "$GPZDA,1235,07,12,2026,00,00",      // no seconds
                           "$GPZDA,123519.5,07,12,2026,00,x",
                           // seconds or dates beyond what the calendar record holds
                           "$GPZDA,12351e300,07,12,2026,00,00", "$GPZDA,1235nan,07,12,2026,00,00",
                           "$GPZDA,123519,07,12,-9223372036854775808,00,00",
                           "$GPZDA,123519,07,-9223372036854775808,2026,00,00"}) {
    EXPECT_FALSE(parseGpzda(body, fix)) << body;
  }
  EXPECT_EQ(fix.hour, 99);  // untouched by failures
}

TEST(Gpzda, ReadsLikeTheScanPatterns) {
  ZoneScope zone("UTC0");
  ZdaFix fix;
  // "$%5s" takes five characters, "%2d" two digits; blanks before numbers are skipped and
  // fields past the sixth are ignored.
  ASSERT_TRUE(parseGpzda("$GPZDAX,1 2 34.25, 7,12,2026,-5,30,extra", fix));
  EXPECT_STREQ(fix.dateText, "2026/12/07,01:02:34.250");
  // Out-of-range fields are normalised by the calendar conversion; the text keeps them.
  ASSERT_TRUE(parseGpzda("$GPZDA,2575-1.5,32,13,26,0,0", fix));
  EXPECT_STREQ(fix.dateText, "  26/13/32,25:75:-1.500");
  EXPECT_EQ(fix.time.milliseconds, -500);
  EXPECT_EQ(fix.calendar.tm_mon, 1);  // month 13 of year 26 is February of 27
}

/// Parses a GPZDA with the given local date and time and checks it against mktime.
void expectLikeMktime(int year, int month, int day, int hour, int minute, double seconds) {
  char body[96];
  std::snprintf(body, sizeof body, "$GPZDA,%02d%02d%06.3f,%02d,%02d,%d,00,00", hour, minute,
                seconds, day, month, year);
  ZdaFix fix;
  ASSERT_TRUE(parseGpzda(body, fix)) << body;
  std::tm e = {};
  e.tm_year = year - 1900, e.tm_mon = month - 1, e.tm_mday = day;
  e.tm_hour = hour, e.tm_min = minute, e.tm_sec = static_cast<int>(seconds), e.tm_isdst = -1;
  EXPECT_EQ(fix.time.seconds, std::mktime(&e)) << body;
  const std::tm& c = fix.calendar;
  EXPECT_TRUE(c.tm_hour == e.tm_hour && c.tm_min == e.tm_min && c.tm_mday == e.tm_mday &&
              c.tm_wday == e.tm_wday && c.tm_yday == e.tm_yday && c.tm_isdst == e.tm_isdst &&
              c.tm_gmtoff == e.tm_gmtoff && std::strcmp(c.tm_zone, e.tm_zone) == 0)
      << body;
  EXPECT_EQ(fix.time.dstflag, e.tm_isdst > 0 ? 1 : 0) << body;
}

TEST(Gpzda, CalendarTimeMatchesMktimeAcrossDaylightSavingChanges) {
  ZoneScope zone("America/New_York");
  // Every half hour of the days around the changes of 8 March and 1 November 2026 (a skipped
  // and a repeated hour), the minutes next to each change, and a plain day met repeatedly.
  const int days[][2] = {{3, 7}, {3, 8}, {3, 9}, {10, 31}, {11, 1}, {11, 2}};
  for (const auto& d : days) {
    for (int m = 0; m < 24 * 60; m += 30) expectLikeMktime(2026, d[0], d[1], m / 60, m % 60, 12.25);
  }
  for (int minute = 55; minute < 60; ++minute) {
    expectLikeMktime(2026, 3, 8, 1, minute, 59.999);
    expectLikeMktime(2026, 3, 8, 3, minute - 55, 0.0);
    expectLikeMktime(2026, 11, 1, 0, minute, 30.5);
    expectLikeMktime(2026, 11, 1, 2, minute - 55, 1.0);
  }
  for (int repeat = 0; repeat < 3; ++repeat) expectLikeMktime(2026, 7, 4, 18, 30, 45.5);
}

TEST(Gpzda, FollowsZoneChangesAfterAReset) {
  ZdaFix fix;
  {
    ZoneScope zone("UTC0");
    ASSERT_TRUE(parseGpzda("$GPZDA,120000,07,12,2026,00,00", fix));
  }
  const std::time_t utc = fix.time.seconds;
  ZoneScope zone("EST5EDT,M3.2.0,M11.1.0");
  ASSERT_TRUE(parseGpzda("$GPZDA,120000,07,12,2026,00,00", fix));
  EXPECT_EQ(fix.time.seconds - utc, 5 * 3600);
  EXPECT_EQ(fix.time.timezone, 300);
}

TEST(Gpgll, ReadsTheDocumentedExample) {
  GllFix fix;
  ASSERT_TRUE(parseGpgll("$GPGLL,3242.5000,N,11709.6000,W,123519.50,A,A", fix));
  EXPECT_NEAR(fix.latitude, 32.708333, 5e-7);
  EXPECT_NEAR(fix.longitude, -117.16, 1e-12);
  EXPECT_EQ(fix.timeOfDayMs, (12 * 60 + 35) * 60000 + 19500);
  // South and east, lower case letters, a void status.
  ASSERT_TRUE(parseGpgll("$GPGLL,0030.0,s,00015.0,e,000000,v,n", fix));
  EXPECT_DOUBLE_EQ(fix.latitude, -0.5);
  EXPECT_DOUBLE_EQ(fix.longitude, 0.25);
}

TEST(Gpgll, RejectsBadFields) {
  GllFix fix;
  for (const char* body : {"$gpgll,3242.5,N,11709.6,W,123519.50,A,A",  // tag case
                           "$GPGLL,3242.5,X,11709.6,W,123519.50,A,A",  // hemisphere
                           "$GPGLL,3242.5,N,11709.6,N,123519.50,A,A",  // longitude hemisphere
                           "$GPGLL,3242.5,N,11709.6,W,123519.50,B,A",  // status
                           "$GPGLL,3242.5,N,11709.6,W,123519.50,A",    // mode missing
                           "$GPGLL,3242.5,N,,W,123519.50,A,A",         // empty longitude
                           "$GPGLL,3242.5,N,11709.6,W,1235,A,A",       // time without seconds
                           "$GPGLL,inf,N,11709.6,W,123519.50,A,A",     // no position
                           "$GPGLL,3242.5,N,nan,W,123519.50,A,A"}) {
    EXPECT_FALSE(parseGpgll(body, fix)) << body;
  }
}

TEST(DateText, MatchesSnprintfForOddValues) {
  struct Case {
    long year, month, day;
    int hour, minute;
    double seconds;
  };
  const Case cases[] = {{7, 1, 1, 0, 0, 0.0005},
                        {-5, -1, 123, -9, 99, 59.9995},
                        {LONG_MIN, LONG_MAX, LONG_MIN, INT_MIN, INT_MAX, -1e18},
                        {2026, 1, 1, 0, 0, 1e300},
                        {2026, 1, 1, 0, 0, NAN}};
  for (const Case& c : cases) {
    char expected[kDateTextSize], ours[kDateTextSize];
    const int n = std::snprintf(expected, sizeof expected, "%4ld/%02ld/%02ld,%02d:%02d:%06.3lf",
                                c.year, c.month, c.day, c.hour, c.minute, c.seconds);
    EXPECT_EQ(formatDateText(ours, c.year, c.month, c.day, c.hour, c.minute, c.seconds), n);
    EXPECT_STREQ(ours, expected);
  }
}

}  // namespace

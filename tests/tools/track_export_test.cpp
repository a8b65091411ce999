// The track exporters on tracks made in memory, read back by Python's strict parsers; the UTC
// time texts and degree numbers they write.
#include "halvex/history/track_export.h"

#include <gtest/gtest.h>
#include <time.h>

#include <cstdio>
#include <random>

#include "halvex/core/utc_time.h"
#include "tests/support/scratch_dir.h"
#include "tests/tools/export_readers.h"

namespace {

constexpr int64_t kT0 = 1796647519500;  // 2026-12-07T12:45:19.500Z

TEST(UtcTime, ReadsTheCalendarAndSecondFormsAndRefusesTheRest) {
  const std::pair<const char*, int64_t> valid[] = {{"2026-12-07T12:45:19.5", kT0},
                                                   {"2026-12-07 12:45:19.500Z", kT0},
                                                   {"1796647519.5", kT0},
                                                   {"2005-09-12 11:40:05Z", 1126525205000},
                                                   {"2024-02-29T00:00:00", 1709164800000},
                                                   {"1970-01-01T00:00:00.0004", 0},
                                                   {"0", 0}};
  for (const auto& [text, want] : valid) {
    int64_t ms = -1;
    EXPECT_TRUE(parseUtcTime(text, ms) && ms == want) << text << " gave " << ms;
  }
  for (const char* text :
       {"9999-12-31T23:59:59.9996", "2023-02-29T00:00:00", "2026-13-01T00:00:00",
        "2026-12-07T24:00:00", "2026-12-07T12:35:60", "2026-12-07", "2026-12-07T12:35:19ZZ",
        "2026-12-07T12:35:19.", "", " 5", "-5", "5e3", "253402300800"}) {
    int64_t ms = -1;
    EXPECT_FALSE(parseUtcTime(text, ms)) << text;
    EXPECT_EQ(ms, -1) << text;
  }
}

TEST(UtcTime, WritesWhatGmtimeGivesAndReadsItBack) {
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int64_t> anyMs(-62135596800000, 253402300799999);  // years 1-9999
  for (int i = 0; i < 20000; ++i) {
    const int64_t ms = i == 0 ? 0 : anyMs(random);
    const int millis = static_cast<int>((ms % 1000 + 1000) % 1000);
    const time_t seconds = static_cast<time_t>((ms - millis) / 1000);
    struct tm f {};
    ASSERT_NE(gmtime_r(&seconds, &f), nullptr);
    char want[64];
    std::snprintf(want, sizeof want, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", f.tm_year + 1900,
                  f.tm_mon + 1, f.tm_mday, f.tm_hour, f.tm_min, f.tm_sec, millis);
    ASSERT_EQ(formatUtcTime(ms, UtcStyle::kIso), want) << ms;
    int64_t back = 0;
    EXPECT_TRUE(parseUtcTime(want, back) && back == ms) << want;
  }
  EXPECT_EQ(formatUtcTime(kT0, UtcStyle::kClock), "2026-12-07 12:45:19Z");
}

TEST(TrackExport, DegreesHaveAtMostNineDecimalsAndAPoint) {
  const std::pair<double, const char*> cases[] = {{32.712345678, "32.712345678"},
                                                  {-117.16, "-117.16"},
                                                  {180, "180"},
                                                  {1e-10, "0"},
                                                  {-1e-10, "0"},
                                                  {0.0000000016, "0.000000002"},
                                                  {-89.999999999, "-89.999999999"}};
  for (const auto& [value, want] : cases) {
    std::string text;
    appendDegrees(text, value);
    EXPECT_EQ(text, want) << value;
  }
}

// Every format, with a name holding what each syntax must escape or replace: quotes, markup,
// commas, a line break, a control byte and a byte that is not UTF-8.
TEST(TrackExport, HostileNamesReadBackByStrictParsers) {
  const std::vector<Track> tracks = {
      {7,
       "Q\"uote <tag> & 'co', x\nline\x01"
       "ctl\xff"
       "end",
       {{kT0, 32.712345678, -117.160000001}, {kT0 + 500, 32.7, -117.1}, {kT0 + 1000, -0.5, 180}}},
      {12, "node 12", {{kT0 + 250, 45.5, 7.25}}},
  };
  const std::string xml = R"("Q\"uote <tag> & 'co', x\nline\ufffdctl\ufffdend" 3)";
  const std::string csv = R"("Q\"uote <tag> & 'co', x line ctl\ufffdend" 7 )";
  const struct {
    ExportFormat format;
    const char* name;
    std::vector<std::string> lines;  // as Python's parsers see them
  } cases[] = {
      {ExportFormat::kGpx, "gpx", {xml, R"("node 12" 1)"}},
      {ExportFormat::kKml, "kml", {xml, R"("node 12" 1)"}},
      {ExportFormat::kGeoJson,
       "geojson",
       {R"("Q\"uote <tag> & 'co', x\nline\u0001ctl\ufffdend" 3)", R"("node 12" 1)"}},
      {ExportFormat::kCsv,
       "csv",
       {csv + "1796647519.500 0", csv + "1796647520.000 0", csv + "1796647520.500 0",
        R"("node 12" 12 1796647519.750 0)"}},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir.path(std::string("tracks.") + c.name);
    std::FILE* out = std::fopen(path.c_str(), "w");
    ASSERT_NE(out, nullptr);
    EXPECT_TRUE(writeExportStart(out, c.format, "trackexport 1.0.0"));
    for (size_t i = 0; i < tracks.size(); ++i) {
      if (c.format != ExportFormat::kCsv) {
        EXPECT_TRUE(writeExportTrack(out, c.format, tracks[i], i));
        continue;
      }
      for (const TrackPoint& p : tracks[i].points) {
        TrackState fix;
        fix.id = tracks[i].id;
        fix.fixMs = p.fixMs;
        fix.latitude = p.latitude;
        fix.longitude = p.longitude;
        fix.name = tracks[i].name;
        EXPECT_TRUE(writeExportRow(out, fix));
      }
    }
    EXPECT_TRUE(writeExportEnd(out, c.format));
    std::fclose(out);
    EXPECT_EQ(exportreaders::pythonTracks(c.name, path), c.lines);
  }
  const std::string gpx = dir.read("tracks.gpx");
  EXPECT_NE(gpx.find("<trkpt lat=\"-0.5\" lon=\"-180\"><time>2026-12-07T12:45:20.500Z</time>"),
            std::string::npos)
      << "GPX longitudes stop short of 180";
  const std::string csvStart =
      "user,field list,user,field list,user,user,user\nid,name,time,utc,lat,lon,status\n"
      "7,\"Q\"\"uote <tag> & 'co', x line ctl\xEF\xBF\xBD"
      "end\",1796647519.500,2026-12-07T12:45:19.500Z,32.712345678,-117.160000001,0\n";
  EXPECT_EQ(dir.read("tracks.csv").substr(0, csvStart.size()), csvStart);
}

}  // namespace

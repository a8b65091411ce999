#include "halvex/streams/geo_feed.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/fault_injection.h"
#include "tests/support/scratch_dir.h"

namespace {

/// The fix time of every sample node, 2026-12-13T09:30:15.250Z.
constexpr int64_t kFixMs = 1797154215250;

/// The nodes the files are read back for: markup and non-ASCII texts, a lost node, a node
/// south-west of (0, 0); and one without a finite position, which the files leave out.
std::vector<NodeState> sampleStates() {
  return {{7, "Patrol \"2\" & <Co> \xC3\x9C", 32.781234567, 116.980012345, kFixMs, 0, 0.4,
           "fuel < 1/4 & \"low\"", "\xE5\x8C\x97 sector", "halvex-ops1"},
          {12, "Supply", 1.5, 2.25, kFixMs, 2, 9.5, "", "", "halvex-ops1"},
          {300, "Relay", -33.912345678, -70.123456789, kFixMs, 1, 2, "", "on hill", "halvex-ops1"},
          {301, "Nowhere", std::nan(""), 3.0, kFixMs, 0, 0, "", "", "halvex-ops1"}};
}

/// A feature as ogrinfo prints it: its fields by name and its point.
struct Feature {
  std::map<std::string, std::string> fields;
  double lon = NAN;
  double lat = NAN;
};

/// Reads `path` with ogrinfo (its choice of driver); the features in the order read, or
/// nothing with ogrinfo's messages in `errors`.
std::vector<Feature> ogrFeatures(const std::string& path, std::string& errors) {
  testsupport::ChildProcess ogr({"ogrinfo", "-ro", "-al", "-q", path},
                                testsupport::ChildOutput::kFiles);
  const int status = ogr.wait();
  errors = ogr.errors;
  std::vector<Feature> features;
  if (status != 0) return features;
  std::istringstream lines(ogr.output);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("OGRFeature(", 0) == 0) {
      features.emplace_back();
    } else if (!features.empty() && line.find("POINT") != std::string::npos) {
      const char* p = line.c_str() + line.find('(') + 1;
      char* end;
      features.back().lon = std::strtod(p, &end);
      features.back().lat = std::strtod(end, nullptr);
    } else if (!features.empty() && line.find(") = ") != std::string::npos) {
      const size_t type = line.find(" (");
      const size_t first = line.find_first_not_of(' ');
      features.back().fields[line.substr(first, type - first)] = line.substr(line.find(") = ") + 4);
    }
  }
  return features;
}

std::string field(const Feature& f, const char* name) {
  const auto it = f.fields.find(name);
  return it != f.fields.end() ? it->second : "(missing " + std::string(name) + ")";
}

/// The digits of a time as ogrinfo prints it, as a date ("2026/12/13 09:30:15.250+00") or text.
std::string digits(const std::string& time) {
  std::string out;
  for (const char c : time) {
    if (c >= '0' && c <= '9') out += c;
  }
  return out.substr(0, 17);
}

/// Whether ogrinfo runs, and whether it has the KML driver that reads ExtendedData (LIBKML;
/// the plain KML driver reads only names, descriptions and geometry).
bool haveOgrinfo(bool& readsExtendedData) {
  testsupport::ChildProcess formats({"ogrinfo", "--formats"}, testsupport::ChildOutput::kFiles);
  const bool ran = formats.wait() == 0;
  readsExtendedData = formats.output.find("LIBKML") != std::string::npos;
  return ran;
}

TEST(GeoFeed, FeedAndPlacemarksReadBackByAnIndependentReader) {
  bool kmlExtendedData = false;
  if (!haveOgrinfo(kmlExtendedData)) GTEST_SKIP() << "ogrinfo (gdal-bin) is not installed";
  ScratchDir dir;
  GeoJsonOutput output;
  output.setPath(dir.path("feed.geojson"));
  const std::vector<NodeState> states = sampleStates();
  ASSERT_TRUE(output.write(states, 0.5));
  for (const char* file : {"feed.geojson", "feed.kml"}) {
    SCOPED_TRACE(file);
    const bool extendedData = file != std::string("feed.kml") || kmlExtendedData;
    std::string errors;
    const std::vector<Feature> features = ogrFeatures(dir.path(file), errors);
    ASSERT_EQ(features.size(), 3u) << errors << dir.read(file);
    for (size_t k = 0; k < features.size(); ++k) {
      const Feature& f = features[k];
      EXPECT_NEAR(f.lat, states[k].latitude, 1e-7);
      EXPECT_NEAR(f.lon, states[k].longitude, 1e-7);
      // The KML readers give the placemark's name as "Name", which takes the place of the
      // member of the same name (field names are not case-sensitive).
      EXPECT_EQ(field(f, f.fields.count("name") != 0 ? "name" : "Name"), states[k].name);
      if (!extendedData) continue;
      EXPECT_EQ(field(f, "id"), std::to_string(states[k].id));
      EXPECT_EQ(field(f, "status"), nodeStatusWord(states[k].status));
      EXPECT_EQ(digits(field(f, "time")), "20261213093015250") << "read as a date or as text";
    }
    if (!extendedData) continue;
    EXPECT_EQ(field(features[0], "comment1"), states[0].comment1);
    EXPECT_EQ(field(features[0], "comment2"), states[0].comment2);
  }
}

TEST(GeoFeed, PathsBesideTheFeed) {
  const struct {
    const char* feed;
    const char* placemarks;
    const char* link;
  } kCases[] = {
      {"feed.geojson", "feed.kml", "feed-link.kml"},
      {"/srv/maps.d/feed", "/srv/maps.d/feed.kml", "/srv/maps.d/feed-link.kml"},
      {"out/nodes.v2.json", "out/nodes.v2.kml", "out/nodes.v2-link.kml"},
      {"out/.feed", "out/.feed.kml", "out/.feed-link.kml"},
  };
  for (const auto& c : kCases) {
    EXPECT_EQ(geoFeedPlacemarksPath(c.feed), c.placemarks);
    EXPECT_EQ(geoFeedLinkPath(c.feed), c.link);
  }
}

TEST(GeoFeed, LinkNamesThePlacemarksAndFollowsThePeriod) {
  ScratchDir dir;
  GeoJsonOutput output;
  output.setPath(dir.path("my feed#1.geojson"));
  ASSERT_TRUE(output.write(sampleStates(), 0.5));
  const std::string link = dir.read("my feed#1-link.kml");
  EXPECT_NE(link.find("<href>my%20feed%231.kml</href>"), std::string::npos) << link;
  EXPECT_NE(link.find("<refreshMode>onInterval</refreshMode>"), std::string::npos);
  EXPECT_NE(link.find("<refreshInterval>0.5</refreshInterval>"), std::string::npos) << link;
  ASSERT_TRUE(output.write({}, 2));
  EXPECT_NE(dir.read("my feed#1-link.kml").find("<refreshInterval>2.0</refreshInterval>"),
            std::string::npos);
  EXPECT_NE(kmlNetworkLink("f.kml", 0).find("<refreshInterval>0.1<"), std::string::npos);
  EXPECT_EQ(dir.read("my feed#1.geojson"), "{\"type\":\"FeatureCollection\",\"features\":[\n]}\n");
  EXPECT_EQ(dir.entryCount(), 3) << "temporary files left";
  EXPECT_EQ(output.written(), 2);
  EXPECT_EQ(output.status(), "writing " + dir.path("my feed#1.geojson") + "; 2 written");
}

TEST(GeoFeed, AFailedWriteKeepsTheOldFilesAndIsReportedOncePerStreak) {
  ScratchDir dir;
  GeoJsonOutput output;
  output.setPath(dir.path("feed.geojson"));
  ASSERT_TRUE(output.write(sampleStates(), 1));
  const std::string oldFeed = dir.read("feed.geojson");
  const std::string oldKml = dir.read("feed.kml");
  // Writes that fail half way (a full disk) leave the files of the last write.
  const std::vector<NodeState> many(1001, sampleStates()[0]);
  EXPECT_EQ(faults::saveUnderFileSizeLimit(oldKml.size(), [&] { return output.write(many, 2); }),
            faults::SaveOutcome::kFailed);
  EXPECT_EQ(dir.read("feed.geojson"), oldFeed);
  EXPECT_EQ(dir.read("feed.kml"), oldKml);
  EXPECT_EQ(dir.entryCount(), 3);

  const std::string missing = dir.path("gone/feed.geojson");
  output.setPath(missing);
  testing::internal::CaptureStderr();
  EXPECT_FALSE(output.write(sampleStates(), 1));
  EXPECT_FALSE(output.write(sampleStates(), 1));
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "halvex: GeoJSON feed: cannot write " + missing + ": No such file or directory\n");
  EXPECT_EQ(output.status(), "cannot write " + missing + ": No such file or directory");
  EXPECT_EQ(output.failures(), 2);
  ASSERT_EQ(mkdir(dir.path("gone").c_str(), 0700), 0);
  EXPECT_TRUE(output.write(sampleStates(), 1));
  EXPECT_EQ(output.status(), "writing " + missing + "; 1 written");

  // A feed named .kml would be overwritten by its own placemarks.
  output.setPath(dir.path("feed.kml"));
  testing::internal::CaptureStderr();
  EXPECT_FALSE(output.write(sampleStates(), 1));
  EXPECT_NE(testing::internal::GetCapturedStderr().find("must not end in .kml"), std::string::npos);
  EXPECT_EQ(dir.read("feed.kml"), oldKml);
}

TEST(GeoFeed, StatusReadsWhileTheLoopWrites) {
  ScratchDir dir;
  GeoJsonOutput output;
  output.setPath(dir.path("feed.geojson"));
  std::thread reader([&] {
    for (int k = 0; k < 200; ++k) EXPECT_FALSE(output.status().empty());
  });
  for (int k = 0; k < 20; ++k) EXPECT_TRUE(output.write(sampleStates(), 1));
  reader.join();
  EXPECT_EQ(output.written(), 20);
}

}  // namespace

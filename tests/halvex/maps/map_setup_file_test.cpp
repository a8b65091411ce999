// A map's geo-reference without a display: reading setup files (complete, short and garbled),
// writing them and its failures, and the corner geometry of hit tests and edits.
#include "halvex/maps/map_setup_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "halvex/maps/geo_reference.h"
#include "tests/support/scratch_dir.h"

namespace {

constexpr double kUnset = -9;  ///< What the reader finds in the corners before it starts.

/// The corners after reading `text` over corners that are all kUnset; `complete` is the result.
GeoReference readText(const std::string& text, bool& complete) {
  GeoReference geo;
  for (int i = 0; i < 4; ++i) geo.setCorner(i, kUnset, kUnset);
  std::FILE* in = std::tmpfile();
  std::fputs(text.c_str(), in);
  std::rewind(in);
  complete = readMapSetup(in, geo.corners());
  std::fclose(in);
  return geo;
}

void expectCorners(const GeoReference& geo, const double (&xy)[4][2], const std::string& what) {
  for (int i = 0; i < 4; ++i) {
    EXPECT_NEAR(geo.corners()[i][0], xy[i][0], 1e-9) << what << " corner " << i;
    EXPECT_NEAR(geo.corners()[i][1], xy[i][1], 1e-9) << what << " corner " << i;
  }
}

TEST(MapSetupFile, ReadsFourCornerLinesAndFlagsIncompleteOnes) {
  const std::string longLine = "1 2 " + std::string(1000, 'x') + "\n";
  const double u = kUnset;
  const struct {
    std::string text;
    bool complete;
    double corners[4][2];
  } cases[] = {
      {"1 2\n3 4\n5 6\n7 8\n", true, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}},
      {longLine + "3 4\n5 6\n7 8\nextra\n", true, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}},
      {"1 2\r\n3 4\r\n5 6\r\n7 8", true, {{1, 2}, {3, 4}, {5, 6}, {7, 8}}},
      {"1 2\n3 4\n5 6\n", false, {{1, 2}, {3, 4}, {5, 6}, {u, u}}},
      {"1 2\n3 4\n5 6\n7\n", false, {{1, 2}, {3, 4}, {5, 6}, {7, u}}},
      {"1 2\nfive 6\n5 6\n7 8\n", false, {{1, 2}, {u, u}, {5, 6}, {7, 8}}},
      {"", false, {{u, u}, {u, u}, {u, u}, {u, u}}},
  };
  for (const auto& c : cases) {
    bool complete = !c.complete;
    const GeoReference geo = readText(c.text, complete);
    EXPECT_EQ(complete, c.complete) << c.text;
    expectCorners(geo, c.corners, c.text);
  }
  // Numbers that are no position.
  for (const char* text : {"nan 1\n1 1\n1 1\n1 1\n", "1 1\n1 1\n1 inf\n1 1\n"}) {
    bool complete = true;
    readText(text, complete);
    EXPECT_FALSE(complete) << text;
  }
}

TEST(MapSetupFile, WritesWhatReadsBackAndReportsFailures) {
  EXPECT_EQ(mapSetupPath("a.dir/area.tif"), "a.dir/area.mapSetUp");
  EXPECT_EQ(mapSetupPath(nullptr), "");
  ScratchDir dir;
  const std::string path = dir.path("area.mapSetUp");
  const double corners[4][2] = {{-122.419416, 37.774929}, {-122.1, 37.7}, {-122, 38.5}, {0, 0}};
  ASSERT_TRUE(writeMapSetupFile(path, corners));
  GeoReference again;
  ASSERT_TRUE(readMapSetupFile(path, again.corners()));
  expectCorners(again, corners, "read back");

  // Failures leave the corners as they were and say so.
  GeoReference untouched;
  untouched.setCorner(0, 3, 4);
  EXPECT_FALSE(readMapSetupFile(dir.path("missing.mapSetUp"), untouched.corners()));
  EXPECT_EQ(untouched.corners()[0][0], 3);
  EXPECT_FALSE(writeMapSetupFile(dir.path("no_dir/a.mapSetUp"), corners));
  // A full disk shows only when the lines are flushed at the close.
  ASSERT_EQ(symlink("/dev/full", dir.path("full.mapSetUp").c_str()), 0);
  MapSetupWriter full(dir.path("full.mapSetUp"));
  EXPECT_TRUE(full.isOpen());
  EXPECT_FALSE(full.write(corners));
}

/// The square 0..2 x 0..2 in corner order.
GeoReference square() {
  GeoReference geo;
  geo.setCorner(0, 0, 0);
  geo.setCorner(1, 2, 0);
  geo.setCorner(2, 2, 2);
  geo.setCorner(3, 0, 2);
  return geo;
}

TEST(GeoReference, EditsMoveResizeAndTurnTheCorners) {
  GeoReference geo = square();
  geo.setCorner(4, 9, 9);  // ignored
  geo.setCorner(-1, 9, 9);
  expectCorners(geo, {{0, 0}, {2, 0}, {2, 2}, {0, 2}}, "square");
  geo.move(0.5, 3);
  expectCorners(geo, {{3, 0.5}, {5, 0.5}, {5, 2.5}, {3, 2.5}}, "moved");
  geo.resize(2, 2);
  expectCorners(geo, {{2, -0.5}, {6, -0.5}, {6, 3.5}, {2, 3.5}}, "resized");
  EXPECT_DOUBLE_EQ(geo.width(), 4);
  geo.turn(90);  // a quarter turn counter-clockwise about (4, 1.5)
  expectCorners(geo, {{6, -0.5}, {6, 3.5}, {2, 3.5}, {2, -0.5}}, "turned");
  EXPECT_NEAR(geo.width(), 4, 1e-9);  // corner 2 now lies west of corner 0
}

TEST(GeoReference, PointsOnAnEdgeOrCornerAreInside) {
  GeoReference map = square();
  EXPECT_TRUE(map.contains(1, 1));
  EXPECT_TRUE(map.contains(0, 1));  // on the south edge (y, x)
  EXPECT_TRUE(map.contains(1, 2));  // on the east edge
  EXPECT_TRUE(map.contains(2, 2));  // a corner
  EXPECT_FALSE(map.contains(-1e-9, 1));
  EXPECT_FALSE(map.contains(1, 2.000001));
  EXPECT_FALSE(map.contains(1, std::nan("")));
  // Turned a quarter, the quadrilateral is a diamond.
  map.turn(45);
  EXPECT_TRUE(map.contains(1, 1));
  EXPECT_FALSE(map.contains(0.05, 0.05));
}

TEST(GeoReference, NearestCornerPrefersTheLowerIndexOnSinglePrecisionTies) {
  GeoReference map = square();
  EXPECT_EQ(map.nearestCorner(1, 1), 0);  // all four equally far
  EXPECT_EQ(map.nearestCorner(1, 2), 1);  // between 1 and 2
  EXPECT_EQ(map.nearestCorner(1.9, 0.2), 3);
  // Corner 3 is nearer in double precision, but the distances are equal as floats.
  map.setCorner(0, 5, 5);
  map.setCorner(1, 6, 5);
  map.setCorner(2, 1.0000000001, 0);
  map.setCorner(3, 0, 1.0);
  EXPECT_EQ(map.nearestCorner(0, 0), 2);
}

}  // namespace

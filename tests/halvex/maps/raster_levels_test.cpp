// The levels cache of a raster without overviews, made from a real GeoTIFF by the raster's own
// thread: its levels and averaged colours, its reuse, a changed raster, and what stands at the
// cache's name (garbage, a hostile file, a folder).
#include "halvex/maps/raster_levels.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "common/platform/file_stamp.h"
#include "halvex/maps/picture_limit.h"
#include "halvex/maps/sgi_image.h"
#include "tests/halvex/maps/raster_files.h"

namespace {

using raster_files::run;
using Rgba = std::array<int, 4>;

constexpr int kWidth = 3000, kHeight = 2000;
/// Every 2 x 2 block averages to kLeft in the left half and to kRight in the right half.
constexpr Rgba kLeft{150, 50, 50, 255}, kRight{40, 50, 50, 255};

std::mutex gMessagesMutex;
std::vector<std::string> gMessages;

void keepMessage(const char* message) {
  std::lock_guard<std::mutex> lock(gMessagesMutex);
  gMessages.push_back(message);
}

size_t messagesAbout(const std::string& text) {
  std::lock_guard<std::mutex> lock(gMessagesMutex);
  size_t n = 0;
  for (const std::string& m : gMessages) n += m.find(text) != std::string::npos ? 1 : 0;
  return n;
}

class RasterLevelsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gMessages.clear();
    const std::string ppm =
        raster_files::writePpm(dir_, "area.ppm", kWidth, kHeight, [](int x, int y) {
          const bool odd = (x + y) % 2 != 0;
          return Rgba{x < kWidth / 2 ? (odd ? 200 : 100) : (odd ? 20 : 60), y % 2 ? 0 : 100, 50,
                      255};
        });
    source_ = dir_.path("area.tif");
    cache_ = dir_.path("area.levels.tif");
    ASSERT_TRUE(run({"gdal_translate", "-q", "-a_srs", "EPSG:4326", "-a_ullr", "-120", "35", "-117",
                     "33", ppm, source_}));
  }

  /// Opens the raster and waits until its levels cache is read, made or given up.
  std::unique_ptr<RasterSource> openSettled() {
    std::string error;
    std::unique_ptr<RasterSource> raster = openRaster(source_, &error);
    EXPECT_TRUE(raster) << error;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(120);
    while (raster && raster->levelsPending() && std::chrono::steady_clock::now() < deadline) {
      // Read as the drawing thread does while the cache is made.
      const std::vector<RasterLevel>& levels = raster->levels();
      std::vector<uint8_t> rgba;
      EXPECT_TRUE(raster->readTile(static_cast<int>(levels.size()) - 1, 0, 0, 1, 1, rgba, nullptr));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_TRUE(raster && !raster->levelsPending());
    return raster;
  }

  /// Expects the cache's levels and their averaged colours at both ends of a row.
  static void expectCachedLevels(const RasterSource& raster) {
    const std::vector<RasterLevel> want = {{kWidth, kHeight}, {1500, 1000}, {750, 500}, {375, 250}};
    ASSERT_EQ(raster.levels().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(raster.levels()[i].width, want[i].width) << i;
      EXPECT_EQ(raster.levels()[i].height, want[i].height) << i;
    }
    EXPECT_EQ(raster.levelsVersion(), 1u);
    for (int level = 1; level < 4; ++level) {
      const int w = static_cast<int>(want[level].width);
      std::vector<uint8_t> rgba;
      std::string error;
      ASSERT_TRUE(raster.readTile(level, 0, 0, w, 1, rgba, &error)) << error;
      for (int k = 0; k < 4; ++k) {
        EXPECT_NEAR(rgba[k], kLeft[k], 1) << level;
        EXPECT_NEAR(rgba[(w - 1) * 4 + k], kRight[k], 1) << level;
      }
    }
  }

  ScopedSgiErrorHook hook_{keepMessage};
  ScratchDir dir_;
  std::string source_;
  std::string cache_;
};

TEST_F(RasterLevelsTest, MadeOnceReusedAndMadeAgainForAChangedRaster) {
  {
    // Closed at once: the making stops and leaves no part of a cache behind.
    std::string error;
    ASSERT_TRUE(openRaster(source_, &error)) << error;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.dir())) {
      EXPECT_NE(entry.path().filename().string()[0], '.') << entry.path();
    }
  }
  std::unique_ptr<RasterSource> raster = openSettled();
  ASSERT_TRUE(raster);
  expectCachedLevels(*raster);
  const FileStamp made = fileStamp(cache_);
  ASSERT_TRUE(made.exists);

  // Opened again, the cache is read at once rather than made again.
  std::string error;
  raster = openRaster(source_, &error);
  ASSERT_TRUE(raster) << error;
  EXPECT_FALSE(raster->levelsPending());
  expectCachedLevels(*raster);
  EXPECT_EQ(fileStamp(cache_), made);

  // A newer raster makes it stale.
  std::filesystem::last_write_time(
      source_, std::filesystem::last_write_time(source_) + std::chrono::seconds(10));
  raster = openRaster(source_, &error);
  ASSERT_TRUE(raster) << error;
  EXPECT_EQ(raster->levels().size(), 1u);
  raster = openSettled();
  expectCachedLevels(*raster);
  EXPECT_NE(fileStamp(cache_).inode, made.inode);
  EXPECT_EQ(messagesAbout("levels cache"), 0u);
}

TEST_F(RasterLevelsTest, WhatStandsAtTheCachesNameIsReplacedOrReported) {
  const int64_t limit = mapPictureLimit();
  struct Case {
    const char* name;
    /// Puts something at the cache's path.
    std::function<void()> place;
    bool replaced;  ///< Else the cache cannot be written: reported once, level 0 still read.
  };
  const Case cases[] = {
      {"garbage", [this] { dir_.write("area.levels.tif", "II*, then not a TIFF"); }, true},
      {"blocks above the picture limit, stamped as the raster's own",
       [this] {
         // Blocks of 1024 x 1024 pixels, above the limit set below.
         ASSERT_TRUE(run({"gdal_translate", "-q", "-outsize", "1500", "1000", "-co", "TILED=YES",
                          "-co", "BLOCKXSIZE=1024", "-co", "BLOCKYSIZE=1024", "-mo",
                          std::string(kRasterLevelsStampKey) + "=" + rasterLevelsStamp(source_),
                          source_, cache_}));
         ASSERT_TRUE(run({"gdaladdo", "-q", cache_, "2", "4"}));
         setMapPictureLimit(1000 * 1000);
       },
       true},
      {"a folder", [this] { std::filesystem::create_directory(cache_); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::filesystem::remove_all(cache_);
    c.place();
    for (int open = 0; open < 2; ++open) {
      std::unique_ptr<RasterSource> raster = openSettled();
      ASSERT_TRUE(raster);
      if (c.replaced) {
        expectCachedLevels(*raster);
        continue;
      }
      EXPECT_EQ(raster->levels().size(), 1u);
      std::vector<uint8_t> rgba;
      std::string error;
      EXPECT_TRUE(raster->readTile(0, 0, 0, 512, 512, rgba, &error)) << error;
      EXPECT_EQ(messagesAbout("cannot write the levels cache " + cache_), 1u);
    }
    setMapPictureLimit(limit);
  }
}

TEST(RasterLevelsSizes, HalvedRoundingUpDownToOneTile) {
  struct Case {
    int64_t width, height;
    std::vector<RasterLevel> levels;
  };
  const Case cases[] = {
      {513, 10, {{257, 5}}},
      {1025, 3, {{513, 2}, {257, 1}}},
      {40000,
       20000,
       {{20000, 10000},
        {10000, 5000},
        {5000, 2500},
        {2500, 1250},
        {1250, 625},
        {625, 313},
        {313, 157}}},
  };
  for (const Case& c : cases) {
    const std::vector<RasterLevel> got = rasterLevelsFor(c.width, c.height, 512);
    ASSERT_EQ(got.size(), c.levels.size()) << c.width;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].width, c.levels[i].width) << c.width << " " << i;
      EXPECT_EQ(got[i].height, c.levels[i].height) << c.width << " " << i;
    }
  }
  EXPECT_FALSE(rasterWantsLevels(512, 512, 1, 512));
  EXPECT_FALSE(rasterWantsLevels(4000, 4000, 3, 512));
  EXPECT_TRUE(rasterWantsLevels(513, 2, 1, 512));
}

}  // namespace

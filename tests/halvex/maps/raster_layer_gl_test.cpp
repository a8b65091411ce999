// Map rasters read through GDAL and drawn in tiles with a real context, read back: rasters in
// WGS 84, in UTM and as an MBTiles set land where their coordinates say, and a raster wider than
// the largest texture shows its single pixels when zoomed in.
#include <FL/Fl.H>
#include <GL/gl.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_raster.h"
#include "halvex/maps/raster_layer.h"
#include "tests/halvex/maps/gl_test_window.h"
#include "tests/halvex/maps/raster_files.h"
#include "tests/support/scratch_dir.h"

namespace {

using raster_files::run;
using raster_files::writePpm;

/// The quadrants' colours: upper-left red, upper-right green, lower-left blue, lower-right white.
const std::array<int, 4> kQuadrant[2][2] = {{rgba(255, 0, 0, 255), rgba(0, 255, 0, 255)},
                                            {rgba(0, 0, 255, 255), rgba(255, 255, 255, 255)}};
/// The 4-colour raster's ground: 0.1 degree square north-east of (-117.5, 33.4), in UTM zone 11.
constexpr double kWest = -117.5, kNorth = 33.5, kSide = 0.1;

class RasterLayerTest : public GlTest {
 protected:
  /// Draws `layer` over the view (centre, extent) until it is sharp (at most 10 s); false when it
  /// never is.
  bool drawSharp(MapLayer& layer, const MapLayer::Corners corners, double cx, double cy,
                 double extent) {
    camera_.setCenter(cx, cy);
    camera_.setExtent(extent);
    context_.camera = &camera_;
    context_.width = context_.height = kSize;
    projection(0, 0, extent, extent);
    auto* raster = dynamic_cast<RasterLayer*>(&layer);
    for (int i = 0; i < 500; ++i) {
      glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
      layer.draw(context_, corners, 1.0, 0);
      if (raster != nullptr && raster->sharp() && i > 0) return true;
      Fl::wait(0.02);
    }
    return false;
  }
  /// The window pixel over ground point (x, y) of the current view.
  std::array<int, 4> pixelAt(double x, double y) {
    const double extent = camera_.extent();
    return pixel(static_cast<int>((x - camera_.left()) / extent * kSize),
                 static_cast<int>((y - camera_.bottom()) / extent * kSize));
  }

  ScratchDir dir_;
  ViewCamera camera_;
  DrawContext context_;
};

TEST_F(RasterLayerTest, GeoreferencedRastersLandWhereTheirCoordinatesSay) {
  const std::string ppm = writePpm(dir_, "quadrants.ppm", 64, 64,
                                   [](int x, int y) { return kQuadrant[y / 32][x / 32]; });
  const std::string wgs = dir_.path("wgs84.tif");
  ASSERT_TRUE(run({"gdal_translate", "-q", "-a_srs", "EPSG:4326", "-a_ullr", std::to_string(kWest),
                   std::to_string(kNorth), std::to_string(kWest + kSide),
                   std::to_string(kNorth - kSide), ppm, wgs}));
  const std::string utm = dir_.path("utm.tif");
  ASSERT_TRUE(run({"gdalwarp", "-q", "-t_srs", "EPSG:32611", "-dstalpha", wgs, utm}));
  const std::string tiles = dir_.path("tiles.mbtiles");
  ASSERT_TRUE(run({"gdal_translate", "-q", "-of", "MBTILES", wgs, tiles}));

  for (const std::string& path : {wgs, utm, tiles}) {
    SCOPED_TRACE(path);
    const RasterPlacement placement = placeRaster(path);
    ASSERT_TRUE(placement.georeferenced()) << placement.error;
    std::unique_ptr<MapLayer> layer = makeMapLayer(path, placement.corners, &placement, 0, 100);
    ASSERT_NE(dynamic_cast<RasterLayer*>(layer.get()), nullptr);
    const double middle = kWest + kSide / 2;
    ASSERT_TRUE(drawSharp(*layer, placement.corners, middle, kNorth - kSide / 2, 2 * kSide));
    // The middle of each quadrant, where its colour is whatever the projection.
    for (int row = 0; row < 2; ++row) {
      for (int col = 0; col < 2; ++col) {
        const double x = kWest + kSide * (0.25 + 0.5 * col);
        const double y = kNorth - kSide * (0.25 + 0.5 * row);
        EXPECT_TRUE(sameColour(pixelAt(x, y), kQuadrant[row][col], 40))
            << "quadrant " << row << "," << col;
      }
    }
    // Outside the raster nothing is drawn: the cleared black shows.
    const std::array<int, 4> outside = pixelAt(kWest - kSide / 4, kNorth + kSide / 4);
    EXPECT_TRUE(outside[0] + outside[1] + outside[2] < 10) << outside[0] << " " << outside[1];
  }
}

TEST_F(RasterLayerTest, RasterWiderThanTheLargestTextureShowsItsPixels) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  const int width = static_cast<int>(largest) + 1000, height = 64;
  // One-pixel columns, black and white in turn.
  const std::string ppm = writePpm(dir_, "lines.ppm", width, height, [](int x, int) {
    return x % 2 == 0 ? rgba(0, 0, 0, 255) : rgba(255, 255, 255, 255);
  });
  const std::string tif = dir_.path("lines.tif");
  // One arc second a pixel, so 64 pixels of it fill the view as 128 window pixels.
  const double pixelDegrees = 1.0 / 3600;
  ASSERT_TRUE(run({"gdal_translate", "-q", "-co", "TILED=YES", "-a_srs", "EPSG:4326", "-a_ullr",
                   "10", "50", std::to_string(10 + width * pixelDegrees),
                   std::to_string(50 - height * pixelDegrees), ppm, tif}));
  ASSERT_TRUE(run({"gdaladdo", "-q", "-r", "average", tif, "2", "4", "8", "16", "32"}));
  const RasterPlacement placement = placeRaster(tif);
  ASSERT_TRUE(placement.georeferenced()) << placement.error;
  std::unique_ptr<MapLayer> layer = makeMapLayer(tif, placement.corners, &placement, 0, 1000);
  // Far to the east, beyond the first texture's width: two window pixels a raster pixel.
  const double x0 = 10 + (largest + 500) * pixelDegrees;
  ASSERT_TRUE(drawSharp(*layer, placement.corners, x0, 50 - 32 * pixelDegrees, 64 * pixelDegrees));
  int changes = 0;
  std::array<int, 4> last = pixel(0, kSize / 2);
  for (int x = 1; x < kSize; ++x) {
    const std::array<int, 4> now = pixel(x, kSize / 2);
    // Linear filtering blends neighbours at the texel edges: a quarter and three quarters.
    if (std::abs(now[0] - last[0]) > 100) ++changes;
    last = now;
  }
  // 64 raster columns across the window, each of its own shade: a change at almost every one.
  EXPECT_GE(changes, 56);
}

}  // namespace

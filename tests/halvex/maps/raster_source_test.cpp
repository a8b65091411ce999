// Rasters read through GDAL from files the GDAL command-line tools make in a scratch folder:
// where their pixels land on the ground (against gdaltransform), the colours of their tiles, their
// levels, the mesh over a projected raster, and damaged or oversized input.
#include "halvex/maps/raster_source.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <random>
#include <sstream>
#include <thread>

#include "halvex/maps/picture_limit.h"
#include "halvex/maps/raster_mesh.h"
#include "halvex/maps/sgi_image.h"
#include "tests/support/child_process.h"
#include "tests/support/scratch_dir.h"

namespace {

using testsupport::ChildOutput;
using testsupport::ChildProcess;
using Rgba = std::array<int, 4>;

constexpr int kSide = 64;
// The four-colour raster spans one degree each way, its top-left corner at 117.5 W 33.5 N.
constexpr double kWest = -117.5, kNorth = 33.5, kSpan = 1.0;
const Rgba kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kWhite{255, 255, 255, 255}, kClear{0, 0, 0, 0};

/// Runs a GDAL tool; its errors when it fails.
std::string run(const std::vector<std::string>& argv, std::string* output = nullptr) {
  ChildProcess child(argv, ChildOutput::kFiles);
  const int status = child.wait();
  if (output != nullptr) *output = child.output;
  return status == 0 ? "" : argv[0] + " failed: " + child.errors;
}

class RasterSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Red, green / blue, white quadrants, as a PPM placed with -a_ullr.
    std::string ppm = "P6\n64 64\n255\n";
    for (int y = 0; y < kSide; ++y) {
      for (int x = 0; x < kSide; ++x) {
        const Rgba& c =
            y < kSide / 2 ? (x < kSide / 2 ? kRed : kGreen) : (x < kSide / 2 ? kBlue : kWhite);
        for (int i = 0; i < 3; ++i) ppm += static_cast<char>(c[i]);
      }
    }
    plain_ = dir_.write("quad.ppm", ppm);
    quad_ = dir_.path("quad.tif");
    ASSERT_EQ("", run({"gdal_translate", "-q", "-a_srs", "EPSG:4326", "-a_ullr",
                       std::to_string(kWest), std::to_string(kNorth), std::to_string(kWest + kSpan),
                       std::to_string(kNorth - kSpan), plain_, quad_}));
  }

  /// Makes `name` from `source` with gdal_translate and `options`.
  std::string translate(const std::string& name, std::vector<std::string> options,
                        const std::string& source = "") {
    std::vector<std::string> argv = {"gdal_translate", "-q"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(source.empty() ? quad_ : source);
    argv.push_back(dir_.path(name));
    EXPECT_EQ("", run(argv));
    return dir_.path(name);
  }

  static std::unique_ptr<RasterSource> open(const std::string& path) {
    std::string error;
    std::unique_ptr<RasterSource> raster = openRaster(path, &error);
    EXPECT_TRUE(raster) << error;
    return raster;
  }

  ScratchDir dir_;
  std::string plain_;
  std::string quad_;
};

Rgba pixel(const std::vector<uint8_t>& rgba, int width, int x, int y) {
  const size_t i = (static_cast<size_t>(y) * width + x) * 4;
  return {rgba[i], rgba[i + 1], rgba[i + 2], rgba[i + 3]};
}

/// The colour the raster shows at a ground point, found through its mesh.
Rgba colourAt(const RasterSource& raster, const RasterMesh& mesh, double lon, double lat) {
  RasterPoint p;
  if (!meshToRaster(mesh, {lon, lat}, p)) return {-1, -1, -1, -1};
  std::vector<uint8_t> rgba;
  std::string error;
  EXPECT_TRUE(
      raster.readTile(0, static_cast<int64_t>(p.x), static_cast<int64_t>(p.y), 1, 1, rgba, &error))
      << error;
  return rgba.size() == 4 ? pixel(rgba, 1, 0, 0) : Rgba{-1, -1, -1, -1};
}

/// Quadrant centres on the ground and their colours.
struct Quadrant {
  double lon, lat;
  Rgba colour;
};
const Quadrant kQuadrants[] = {{kWest + 0.25, kNorth - 0.25, kRed},
                               {kWest + 0.75, kNorth - 0.25, kGreen},
                               {kWest + 0.25, kNorth - 0.75, kBlue},
                               {kWest + 0.75, kNorth - 0.75, kWhite}};

TEST_F(RasterSourceTest, GeographicRasterPlacesCornersAndQuadrants) {
  const auto raster = open(quad_);
  ASSERT_TRUE(raster);
  EXPECT_TRUE(raster->georeferenced());
  EXPECT_EQ(kSide, raster->width());
  ASSERT_EQ(1u, raster->levels().size());
  const struct {
    RasterPoint p;
    double lon, lat;
  } points[] = {{{0, 0}, kWest, kNorth},
                {{64, 64}, kWest + kSpan, kNorth - kSpan},
                {{64, 0}, kWest + kSpan, kNorth},
                {{16, 48}, kWest + 0.25, kNorth - 0.75}};
  for (const auto& t : points) {
    GroundPoint g;
    ASSERT_TRUE(raster->toGround(t.p, g));
    EXPECT_NEAR(t.lon, g.longitude, 1e-9) << t.p.x << "," << t.p.y;
    EXPECT_NEAR(t.lat, g.latitude, 1e-9) << t.p.x << "," << t.p.y;
  }
  const RasterMesh mesh = buildRasterMesh(*raster, 1.0, 4096);
  EXPECT_TRUE(mesh.withinTolerance);
  EXPECT_EQ(1, mesh.cols * mesh.rows);
  for (const Quadrant& q : kQuadrants) {
    EXPECT_EQ(q.colour, colourAt(*raster, mesh, q.lon, q.lat)) << q.lon << "," << q.lat;
  }
  RasterWindow window;
  ASSERT_TRUE(meshRasterWindow(mesh, {kWest + 0.5, kNorth - 0.5, kWest + 2, kNorth + 1}, window));
  EXPECT_EQ(31, window.x);  // the top-right quadrant, widened by a pixel
  EXPECT_EQ(0, window.y);
  EXPECT_EQ(33, window.width);
  EXPECT_EQ(33, window.height);
}

// Each file's level and the colours of its four quadrants' centres, read as one tile.
TEST_F(RasterSourceTest, TilesBecomeRgba) {
  const std::string grey = translate("grey.tif", {"-b", "1", "-a_nodata", "0"});
  // A palette over the grey band: 0 blue, 255 yellow.
  std::ostringstream vrt;
  vrt << "<VRTDataset rasterXSize=\"64\" rasterYSize=\"64\"><VRTRasterBand dataType=\"Byte\" "
         "band=\"1\"><ColorInterp>Palette</ColorInterp><ColorTable>";
  for (int i = 0; i < 256; ++i) {
    vrt << (i == 255 ? "<Entry c1=\"255\" c2=\"255\" c3=\"0\" c4=\"255\"/>"
                     : "<Entry c1=\"0\" c2=\"0\" c3=\"255\" c4=\"255\"/>");
  }
  vrt << "</ColorTable><SimpleSource><SourceFilename>" << grey
      << "</SourceFilename><SourceBand>1</SourceBand></SimpleSource></VRTRasterBand></VRTDataset>";
  const std::string withOverviews = translate("overviews.tif", {});
  ASSERT_EQ("", run({"gdaladdo", "-q", "-r", "nearest", withOverviews, "2", "4"}));
  const Rgba kYellow{255, 255, 0, 255};
  const struct {
    std::string path;
    int level;
    std::array<Rgba, 4> quadrants;
  } cases[] = {
      {quad_, 0, {kRed, kGreen, kBlue, kWhite}},
      {grey, 0, {kWhite, kClear, kClear, kWhite}},
      {translate("wide.tif", {"-ot", "UInt16", "-scale", "0", "255", "0", "1000"}),
       0,
       {kRed, kGreen, kBlue, kWhite}},
      {translate("alpha.tif",
                 {"-b", "1", "-b", "2", "-b", "3", "-b", "1", "-colorinterp_4", "alpha"}),
       0,
       {kRed, Rgba{0, 255, 0, 0}, Rgba{0, 0, 255, 0}, kWhite}},
      {dir_.write("palette.vrt", vrt.str()), 0, {kYellow, kBlue, kBlue, kYellow}},
      {withOverviews, 2, {kRed, kGreen, kBlue, kWhite}},
  };
  for (const auto& c : cases) {
    const auto raster = open(c.path);
    ASSERT_TRUE(raster) << c.path;
    ASSERT_LT(c.level, static_cast<int>(raster->levels().size())) << c.path;
    const int side = static_cast<int>(raster->levels()[c.level].width);
    std::vector<uint8_t> rgba;
    std::string error;
    ASSERT_TRUE(raster->readTile(c.level, 0, 0, side, side, rgba, &error)) << c.path << error;
    for (int q = 0; q < 4; ++q) {
      EXPECT_EQ(c.quadrants[q],
                pixel(rgba, side, (q % 2 * 2 + 1) * side / 4, (q / 2 * 2 + 1) * side / 4))
          << c.path << " quadrant " << q;
    }
  }
  const auto levels = open(withOverviews)->levels();
  ASSERT_EQ(3u, levels.size());
  EXPECT_EQ(32, levels[1].width);
  EXPECT_EQ(16, levels[2].height);
}

// The raster warped to UTM zone 11 and made an MBTiles set (web Mercator) shows each quadrant's
// colour at its ground position; the UTM raster's pixels land where gdaltransform puts them.
TEST_F(RasterSourceTest, ProjectedRastersLandOnTheirGround) {
  // 1 km pixels from 460 km E to 540 km E, 3610 km N to 3700 km N.
  const std::string utm = dir_.path("utm.tif");
  ASSERT_EQ("", run({"gdalwarp", "-q", "-t_srs", "EPSG:32611", "-te", "460000", "3610000", "540000",
                     "3700000", "-tr", "1000", "1000", quad_, utm}));
  const std::string mbtiles = translate("quad.mbtiles", {"-of", "MBTILES"});
  ASSERT_EQ("", run({"gdaladdo", "-q", mbtiles, "2"}));
  for (const std::string& path : {utm, mbtiles}) {
    const auto raster = open(path);
    ASSERT_TRUE(raster);
    EXPECT_TRUE(raster->georeferenced()) << path;
    EXPECT_EQ(path == mbtiles ? 2u : 1u, raster->levels().size()) << path;
    const RasterMesh mesh = buildRasterMesh(*raster, 1.0, 4096);
    ASSERT_TRUE(mesh.placed) << path;
    for (const Quadrant& q : kQuadrants) {
      EXPECT_EQ(q.colour, colourAt(*raster, mesh, q.lon, q.lat)) << path << " " << q.lon;
    }
  }
  const auto raster = open(utm);
  const RasterPoint points[] = {{0, 0}, {80, 90}, {12.5, 77.25}, {40, 45}, {79.9, 0.1}};
  std::string input, output;
  for (const RasterPoint& p : points) {
    input +=
        std::to_string(460000 + p.x * 1000) + " " + std::to_string(3700000 - p.y * 1000) + "\n";
  }
  const std::string coordinates = dir_.write("points.txt", input);
  ASSERT_EQ("",
            run({"sh", "-c",
                 "gdaltransform -s_srs EPSG:32611 -t_srs EPSG:4326 -output_xy < " + coordinates},
                &output));
  std::istringstream expected(output);
  for (const RasterPoint& p : points) {
    double lon = 0, lat = 0;
    ASSERT_TRUE(expected >> lon >> lat);
    GroundPoint g;
    ASSERT_TRUE(raster->toGround(p, g));
    EXPECT_NEAR(lon, g.longitude, 1e-7) << p.x << "," << p.y;
    EXPECT_NEAR(lat, g.latitude, 1e-7) << p.x << "," << p.y;
  }
}

TEST_F(RasterSourceTest, MeshOfLargeUtmRasterMeetsOneMetre) {
  // 10 km x 10 km at 1 m around 117 W 33 N, made sparse: only its georeference is read.
  const std::string big = dir_.path("big.tif");
  ASSERT_EQ("", run({"gdal_create", "-q", "-of", "GTiff", "-co", "SPARSE_OK=YES", "-outsize",
                     "10000", "10000", "-a_srs", "EPSG:32611", "-a_ullr", "495000", "3657000",
                     "505000", "3647000", big}));
  const auto raster = open(big);
  ASSERT_TRUE(raster);
  const RasterMesh mesh = buildRasterMesh(*raster, 1.0, 4096);
  ASSERT_TRUE(mesh.placed);
  EXPECT_TRUE(mesh.withinTolerance);
  EXPECT_GT(mesh.cols * mesh.rows, 1);
  std::mt19937 random(23);
  std::uniform_real_distribution<double> along(0, 10000);
  for (int i = 0; i < 500; ++i) {
    const RasterPoint p{along(random), along(random)};
    GroundPoint exact;
    ASSERT_TRUE(raster->toGround(p, exact));
    const GroundPoint meshed = meshToGround(mesh, p);
    ASSERT_LE(nearbyGroundDistance(exact, meshed), 1.0) << p.x << "," << p.y;
    RasterPoint back;
    ASSERT_TRUE(meshToRaster(mesh, meshed, back));
    ASSERT_NEAR(p.x, back.x, 1e-6);
    ASSERT_NEAR(p.y, back.y, 1e-6);
  }
}

// A PNG with a world file and no projection is taken for degrees when its corners lie within
// their ranges; one whose world file holds metres, or a picture without one, is not placed.
TEST_F(RasterSourceTest, WorldFilesAndMissingGeoreference) {
  const std::string png = translate("world.png", {"-of", "PNG", "-co", "WORLDFILE=YES"});
  std::remove((png + ".aux.xml").c_str());
  const std::string metres = translate("metres.png", {"-of", "PNG"}, plain_);
  dir_.write("metres.wld", "1000\n0\n0\n-1000\n460000\n3700000\n");
  const struct {
    std::string path;
    bool placed;
  } cases[] = {
      {png, true}, {metres, false}, {translate("plain.png", {"-of", "PNG"}, plain_), false}};
  for (const auto& c : cases) {
    const auto raster = open(c.path);
    ASSERT_TRUE(raster);
    EXPECT_EQ(c.placed, raster->georeferenced()) << c.path;
    GroundPoint g;
    EXPECT_EQ(c.placed, raster->toGround({64, 64}, g)) << c.path;
    if (c.placed) {
      EXPECT_NEAR(kWest + kSpan, g.longitude, 1e-9);
      EXPECT_NEAR(kNorth - kSpan, g.latitude, 1e-9);
    }
  }
}

std::string gHooked;
void keepMessage(const char* message) {
  gHooked += message;
}

// Files that are not rasters or are cut short fail with a message, also given to the image
// readers' hook; windows outside the level or above the picture limit are refused.
TEST_F(RasterSourceTest, BadInputFailsWithAMessage) {
  const SgiErrorHook previous = setSgiErrorHook(keepMessage);
  gHooked.clear();
  std::string error;
  EXPECT_FALSE(openRaster(dir_.write("notes.tif", "just some text\n"), &error));
  EXPECT_FALSE(error.empty());
  EXPECT_NE(std::string::npos, gHooked.find(error));

  const std::string whole = dir_.read("quad.tif");
  const std::string cut = dir_.write("cut.tif", whole.substr(0, whole.size() / 2));
  error.clear();
  std::unique_ptr<RasterSource> raster = openRaster(cut, &error);
  std::vector<uint8_t> rgba;
  if (raster) {
    EXPECT_FALSE(raster->readTile(0, 0, 0, kSide, kSide, rgba, &error));
    EXPECT_TRUE(rgba.empty());
  }
  EXPECT_FALSE(error.empty());
  setSgiErrorHook(previous);

  raster = open(quad_);
  const struct {
    int level;
    int64_t x, y;
    int w, h;
  } outside[] = {{1, 0, 0, 8, 8}, {0, 60, 0, 8, 8}, {0, -1, 0, 8, 8}, {0, 0, 0, 0, 8}};
  for (const auto& w : outside) {
    EXPECT_FALSE(raster->readTile(w.level, w.x, w.y, w.w, w.h, rgba, &error)) << w.x;
  }
  // Under a limit of 40 x 40 pixels a 64 x 64 tile is refused, and so is a small window of a
  // file whose blocks (strips of 64 x 42) GDAL would decode whole.
  const auto tiled = open(
      translate("tiled.tif", {"-co", "TILED=YES", "-co", "BLOCKXSIZE=16", "-co", "BLOCKYSIZE=16"}));
  const int64_t limit = setMapPictureLimit(40 * 40);
  EXPECT_FALSE(tiled->readTile(0, 0, 0, kSide, kSide, rgba, &error));
  EXPECT_NE(std::string::npos, error.find("above the map picture limit"));
  EXPECT_TRUE(tiled->readTile(0, 32, 32, 32, 32, rgba, &error)) << error;
  EXPECT_FALSE(raster->readTile(0, 0, 0, 8, 8, rgba, &error));
  EXPECT_NE(std::string::npos, error.find("raster block"));
  setMapPictureLimit(limit);
}

// Tiles read on several threads at once (more than the raster keeps handles for) come out as
// on one.
TEST_F(RasterSourceTest, ConcurrentReadsAgree) {
  const auto raster =
      open(translate("tiled.tif", {"-co", "TILED=YES", "-co", "BLOCKXSIZE=16", "-co",
                                   "BLOCKYSIZE=16", "-co", "COMPRESS=DEFLATE"}));
  ASSERT_TRUE(raster);
  std::vector<uint8_t> whole;
  ASSERT_TRUE(raster->readTile(0, 0, 0, kSide, kSide, whole, nullptr));
  constexpr int kThreads = 6;
  std::vector<int> mismatches(kThreads, 0);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        const int x = (t * 7 + round * 3) % 48, y = (t * 5 + round) % 48;
        std::vector<uint8_t> tile;
        GroundPoint g;
        if (!raster->readTile(0, x, y, 16, 16, tile, nullptr) || !raster->toGround({1, 1}, g)) {
          ++mismatches[t];
          continue;
        }
        for (int j = 0; j < 16; ++j) {
          if (pixel(tile, 16, j, j) != pixel(whole, kSide, x + j, y + j)) ++mismatches[t];
        }
      }
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(0, mismatches[t]) << "thread " << t;
}

}  // namespace

// Map layers drawn with a real context and read back: placement, visibility range, lazy loads
// spread over frames, opacity and blending, previews and the outline.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_layer.h"
#include "halvex/maps/map_texture.h"
#include "halvex/splash/splash_channel.h"
#include "halvex/splash/splash_link.h"
#include "tests/halvex/maps/gl_test_window.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/sgi_writer.h"

namespace {

const auto kRed = rgba(255, 0, 0, 255);
const auto kGreen = rgba(0, 255, 0, 255);
const auto kBlue = rgba(0, 0, 255, 255);
const auto kWhite = rgba(255, 255, 255, 255);
const auto kBlack = rgba(0, 0, 0, 255);

/// A 2 x 2 picture: lower-left red, lower-right green, upper-right blue, upper-left white.
std::string writeQuadrants(const ScratchDir& dir, const std::string& name) {
  SgiPicture p = makeSgiPicture(2, 2, 3, [](int x, int y, int z) {
    static const unsigned colours[2][2][3] = {{{255, 0, 0}, {0, 255, 0}},
                                              {{255, 255, 255}, {0, 0, 255}}};
    return colours[y][x][z];
  });
  return dir.write(name, encodeSgi(p));
}

/// Corners of the square (x0, y0) .. (x0 + size, y0 + size) in layer order.
struct Square {
  MapLayer::Corners c;
  Square(double x0, double y0, double size) {
    const double pts[4][2] = {{x0, y0}, {x0 + size, y0}, {x0 + size, y0 + size}, {x0, y0 + size}};
    for (int i = 0; i < 4; ++i) {
      c[i][0] = pts[i][0];
      c[i][1] = pts[i][1];
    }
  }
};

class MapLayerTest : public GlTest {
 protected:
  void SetUp() override {
    GlTest::SetUp();
    gMapLoadCountdown = 0;
    path_ = writeQuadrants(dir_, "map.sgi");
  }

  /// Draws with standard output (the loader's diagnostic lines) captured.
  void draw(MapLayer& layer, const DrawContext& context, const MapLayer::Corners corners,
            double opacity = 1.0, int outline = 0) {
    testing::internal::CaptureStdout();
    layer.draw(context, corners, opacity, outline);
    testing::internal::GetCapturedStdout();
  }
  void clear() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

  /// Expects the four quadrant colours of the map drawn over window square (x0, y0, size).
  void expectQuadrants(int x0, int y0, int size, const std::array<int, 4> colours[4]) {
    const int q = size / 4;
    const int at[4][2] = {
        {x0 + q, y0 + q}, {x0 + 3 * q, y0 + q}, {x0 + 3 * q, y0 + 3 * q}, {x0 + q, y0 + 3 * q}};
    for (int i = 0; i < 4; ++i) {
      EXPECT_TRUE(sameColour(pixel(at[i][0], at[i][1]), colours[i], 12))
          << "quadrant " << i << " at " << at[i][0] << "," << at[i][1];
    }
  }

  ScratchDir dir_;
  std::string path_;
  DrawContext noCamera_;
};

const std::array<int, 4> kUpright[4] = {kRed, kGreen, kBlue, kWhite};

class LayerModes : public MapLayerTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    MapLayerTest::SetUp();
    if (GetParam()) useTextureObjects();
  }
};

TEST_P(LayerModes, DrawnMapAppearsWhereItsCornersSay) {
  // Without a camera the view's lower-left corner is (0, 1) and the extent 1.
  MapLayer layer(path_.c_str(), 0, 0, 0, 0, 0.01, 100);
  draw(layer, noCamera_, Square(32, 33, 64).c);
  EXPECT_GT(layer.textureId(), 0);
  expectQuadrants(32, 32, 64, kUpright);
  EXPECT_TRUE(sameColour(pixel(20, 20), kBlack));
  EXPECT_TRUE(sameColour(pixel(100, 100), kBlack));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
}

TEST_P(LayerModes, CameraMakesVerticesViewLocal) {
  ViewCamera camera;
  camera.setCenter(-117.25, 32.75);
  camera.setExtent(0.5);  // left -117.5, bottom 32.5 with aspect 1.
  DrawContext context;
  context.camera = &camera;
  projection(0, 0, 0.5, 0.5);
  MapLayer layer(path_.c_str(), 0, 0, 0, 0, 0.001, 10);
  draw(layer, context, Square(-117.25, 32.5, 0.25).c);
  expectQuadrants(64, 0, 64, kUpright);
  EXPECT_TRUE(sameColour(pixel(30, 30), kBlack));
}

INSTANTIATE_TEST_SUITE_P(Modes, LayerModes, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "TextureObjects" : "DisplayLists";
                         });

/// Whether the layer drew its (white, untextured) map at extent e: the window shows exactly the
/// map's view-local square, so its centre pixel tells.
bool drawnAt(MapLayer& layer, double width, double e) {
  ViewCamera camera;
  camera.setCenter(0, 0);
  camera.setExtent(e);
  DrawContext context;
  context.camera = &camera;
  glClear(GL_COLOR_BUFFER_BIT);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(-camera.left() - width, -camera.left() + 2 * width, -camera.bottom() - width,
          -camera.bottom() + 2 * width, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  layer.draw(context, Square(0, 0, width).c, 1.0, 0);
  unsigned char p[4] = {};
  glReadPixels(GlTest::kSize / 2, GlTest::kSize / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
  return p[0] == 255 && p[1] == 255 && p[2] == 255;
}

TEST_F(MapLayerTest, VisibleFromAHundredthToAHundredTimesItsWidth) {
  const double w = 4;
  MapLayer layer(nullptr, 0, w, 0, w, 0.01 * w, 100 * w);
  layer.setTextureId(0);
  EXPECT_FALSE(drawnAt(layer, w, 0.0099 * w));
  EXPECT_TRUE(drawnAt(layer, w, 0.01 * w));
  EXPECT_TRUE(drawnAt(layer, w, 1 * w));
  EXPECT_TRUE(drawnAt(layer, w, 99.9 * w));
  EXPECT_FALSE(drawnAt(layer, w, 100 * w));
  // A preview that doubles the width doubles both ends of the range.
  layer.setSizeDelta(0, w);
  EXPECT_TRUE(drawnAt(layer, w, 150 * w));
  EXPECT_TRUE(drawnAt(layer, w, 199 * w));
  EXPECT_FALSE(drawnAt(layer, w, 200 * w));
  EXPECT_FALSE(drawnAt(layer, w, 0.015 * w));
  EXPECT_DOUBLE_EQ(layer.xScale(), 2.0);
  EXPECT_DOUBLE_EQ(layer.yScale(), 1.0);
}

TEST_F(MapLayerTest, TwoLayersNeedingLoadShareTheCountdown) {
  MapLayer first(path_.c_str(), 0, 0, 0, 0, 0.01, 100);
  MapLayer second(writeQuadrants(dir_, "other.sgi").c_str(), 0, 0, 0, 0, 0.01, 100);
  const Square square(32, 33, 64);
  draw(first, noCamera_, square.c);
  draw(second, noCamera_, square.c);
  EXPECT_EQ(first.textureId(), 2);
  EXPECT_EQ(second.textureId(), -1);
  EXPECT_EQ(gMapLoadCountdown, 9);
  for (int skipped = 2; skipped <= 10; ++skipped) {
    clear();
    draw(second, noCamera_, square.c);
    EXPECT_EQ(second.textureId(), -1) << skipped;
    EXPECT_TRUE(sameColour(pixel(64, 64), kBlack));
  }
  EXPECT_EQ(gMapLoadCountdown, 0);
  draw(second, noCamera_, square.c);
  EXPECT_EQ(second.textureId(), 3);
  EXPECT_EQ(gMapLoadCountdown, 10);
  expectQuadrants(32, 32, 64, kUpright);
}

TEST_F(MapLayerTest, LazyLoadPostsItsStatusAndAQuickOneLeavesTheSplashDown) {
  // A splash process that ends at once leaves the tracker's side of the block in place.
  SplashLink link("/bin/true", "_maps_" + std::to_string(::getpid()));
  if (!link.hasBlock()) GTEST_SKIP() << "no shared block";
  setSplashChannel(&link);
  MapLayer layer(path_.c_str(), 0, 0, 0, 0, 0.01, 100);
  draw(layer, noCamera_, Square(32, 33, 64).c);
  SplashBlock block;
  ASSERT_TRUE(link.snapshot(&block));
  EXPECT_EQ(block.showRequest, 0);  // shown only for a load of over a second
  EXPECT_EQ(std::string(block.statusText), "Done loading map " + path_ + "\n");
  gMapLoadCountdown = 0;
  const std::string absent = dir_.path("absent.jpg");
  MapLayer missing(absent.c_str(), 0, 0, 0, 0, 0.01, 100);
  draw(missing, noCamera_, Square(32, 33, 64).c);
  ASSERT_TRUE(link.snapshot(&block));
  EXPECT_EQ(std::string(block.statusText), "Error: loading map " + absent + "\n");
  setSplashChannel(nullptr);
}

TEST_F(MapLayerTest, FailedLoadIsRetriedAfterTenSkippedDraws) {
  MapLayer layer(dir_.path("absent.sgi").c_str(), 0, 0, 0, 0, 0.01, 100);
  const Square square(32, 33, 64);
  draw(layer, noCamera_, square.c);
  EXPECT_EQ(layer.textureId(), -1);
  EXPECT_TRUE(sameColour(pixel(64, 64), kBlack));  // Not drawn in the frame of the failure.
  for (int i = 0; i < 10; ++i) draw(layer, noCamera_, square.c);
  EXPECT_EQ(takeTextureId(), 3);  // One attempt so far (identifier 2).
  draw(layer, noCamera_, square.c);
  EXPECT_EQ(takeTextureId(), 5);  // The second attempt took 4.
}

TEST_F(MapLayerTest, IdentifierZeroOrBelowDrawsAWhiteUntexturedQuad) {
  for (int id : {0, -7}) {
    SCOPED_TRACE(id);
    clear();
    MapLayer layer(path_.c_str(), 0, 0, 0, 0, 0.01, 100);
    layer.setTextureId(id);
    glEnable(GL_TEXTURE_2D);
    draw(layer, noCamera_, Square(32, 33, 64).c);
    EXPECT_EQ(layer.textureId(), id);  // No load.
    EXPECT_TRUE(sameColour(pixel(40, 40), kWhite));
    EXPECT_TRUE(sameColour(pixel(90, 90), kWhite));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  }
}

TEST_F(MapLayerTest, OpacityDecidesBlendingAndDepthState) {
  MapLayer layer(nullptr, 0, 0, 0, 0, 0.01, 100);
  layer.setTextureId(0);
  const Square square(32, 33, 64);
  struct Case {
    double opacity;
    bool blendAfter;
    bool depthAfter;
    int grey;
  };
  // Opacity 1 (and above) leaves blending on and the depth state as it was.
  const Case cases[] = {{1.0, true, false, 255},
                        {2.5, true, false, 255},
                        {0.5, false, true, 128},
                        {-1.0, false, true, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.opacity);
    clear();
    glDisable(GL_BLEND);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    draw(layer, noCamera_, square.c, c.opacity);
    EXPECT_EQ(glIsEnabled(GL_BLEND), c.blendAfter);
    EXPECT_EQ(glIsEnabled(GL_DEPTH_TEST), c.depthAfter);
    GLboolean mask = GL_FALSE;
    glGetBooleanv(GL_DEPTH_WRITEMASK, &mask);
    EXPECT_EQ(mask == GL_TRUE, c.depthAfter);
    EXPECT_TRUE(sameColour(pixel(64, 64), rgba(c.grey, c.grey, c.grey, 255), 2));
    if (!c.blendAfter) {
      GLint src = 0, dst = 0;
      glGetIntegerv(GL_BLEND_SRC, &src);
      glGetIntegerv(GL_BLEND_DST, &dst);
      EXPECT_EQ(src, GL_ONE);
      EXPECT_EQ(dst, GL_ZERO);
    }
  }
}

TEST_F(MapLayerTest, OutlineIsARedBorder) {
  MapLayer layer(nullptr, 0, 0, 0, 0, 0.01, 100);
  layer.setTextureId(0);
  draw(layer, noCamera_, Square(32, 33, 64).c, 1.0, 1);
  const auto edge = pixel(32, 64);
  EXPECT_GT(edge[0], 150);
  EXPECT_LT(edge[1], 60);
  EXPECT_TRUE(sameColour(pixel(64, 64), kWhite));
  EXPECT_FALSE(glIsEnabled(GL_LINE_SMOOTH));
  draw(layer, noCamera_, Square(32, 33, 64).c, 1.0, 0);
  EXPECT_TRUE(sameColour(pixel(32, 64), kWhite, 10));
}

TEST_F(MapLayerTest, RotationPreviewTurnsAboutTheCentre) {
  MapLayer layer(path_.c_str(), 0, 0, 0, 0, 0.01, 100);
  const Square square(32, 33, 64);
  // A quarter turn anticlockwise: the lower-left corner goes to the lower right.
  const std::array<int, 4> turned[4] = {kWhite, kRed, kGreen, kBlue};
  for (int b : {9000, 45000, -27000}) {
    SCOPED_TRACE(b);
    clear();
    layer.setRotation(0, b);
    draw(layer, noCamera_, square.c);
    expectQuadrants(32, 32, 64, turned);
  }
  // A alone turns by B, which is zero.
  clear();
  layer.setRotation(5, 0);
  draw(layer, noCamera_, square.c);
  expectQuadrants(32, 32, 64, kUpright);
}

TEST_F(MapLayerTest, OffsetAndSizePreviewsMoveTheQuad) {
  MapLayer layer(nullptr, 0, 0, 0, 0, 0.01, 100);
  layer.setTextureId(0);
  layer.setOffset(10, 20);
  draw(layer, noCamera_, Square(32, 33, 64).c);
  EXPECT_TRUE(sameColour(pixel(53, 43), kWhite));
  EXPECT_TRUE(sameColour(pixel(50, 40), kBlack));
  EXPECT_TRUE(sameColour(pixel(115, 105), kWhite));
  clear();
  layer.setOffset(0, 0);
  layer.setSizeDelta(-32, 32);  // 96 wide, 32 high about the centre (64, 64).
  draw(layer, noCamera_, Square(32, 33, 64).c);
  EXPECT_TRUE(sameColour(pixel(18, 64), kWhite));
  EXPECT_TRUE(sameColour(pixel(64, 45), kBlack));
  EXPECT_TRUE(sameColour(pixel(64, 50), kWhite));
}

TEST(MapLayerCorners, ResizeScalesAboutTheBoundingBoxCentre) {
  MapLayer layer(nullptr, 0, 0, 0, 0, 0, 1);
  Square s(10, 20, 4);
  layer.resizeCorners(s.c, 4, -2);
  EXPECT_DOUBLE_EQ(s.c[0][0], 11);
  EXPECT_DOUBLE_EQ(s.c[0][1], 18);
  EXPECT_DOUBLE_EQ(s.c[2][0], 13);
  EXPECT_DOUBLE_EQ(s.c[2][1], 26);
  EXPECT_DOUBLE_EQ(layer.xScale(), 0.5);
  EXPECT_DOUBLE_EQ(layer.yScale(), 2.0);
  // A flat map keeps its flat side instead of spreading to infinity.
  MapLayer::Corners flat = {{0, 5}, {4, 5}, {4, 5}, {0, 5}};
  layer.resizeCorners(flat, 2, 4);
  EXPECT_DOUBLE_EQ(flat[0][1], 5);
  EXPECT_DOUBLE_EQ(flat[0][0], -2);
  EXPECT_DOUBLE_EQ(layer.yScale(), 1.0);
}

TEST_F(MapLayerTest, DrawRectUsesTheConstructorsRectangleOpaque) {
  MapLayer layer(path_.c_str(), 32, 96, 33, 97, 1, 2);
  glDisable(GL_DEPTH_TEST);
  testing::internal::CaptureStdout();
  layer.drawRect(noCamera_);
  testing::internal::GetCapturedStdout();
  expectQuadrants(32, 32, 64, kUpright);
  EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
  EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
  // Visible while minimum <= extent < maximum (extent 1 without a camera).
  clear();
  layer.setVisibleRange(0.5, 1);
  layer.drawRect(noCamera_);
  EXPECT_TRUE(sameColour(pixel(64, 64), kBlack));
}

}  // namespace

// The trails' picture: a segment covers a band two pixels wide with the opacity it should have,
// and segments that meet neither leave a gap nor cover their shared pixel twice.
#include "halvex/view/trail_layer.h"

#include <gtest/gtest.h>

namespace {

constexpr int kSide = 40;
const unsigned char kGreen[3] = {0, 255, 0};

/// Pixels of the picture whose opacity is `alpha` (within a level), and those with any other
/// opacity but none.
void countAlpha(const TrailLayer& layer, int alpha, int& exact, int& other) {
  exact = other = 0;
  for (int y = 0; y < kSide; ++y) {
    for (int x = 0; x < kSide; ++x) {
      const int a = layer.pixel(x, y)[3];
      if (a == 0) continue;
      (std::abs(a - alpha) <= 1 ? exact : other) += 1;
    }
  }
}

TEST(TrailLayerTest, JoinedSegmentsCoverABandTwoPixelsWideOnce) {
  struct Case {
    const char* what;
    float x0, y0, x1, y1, x2, y2;  ///< Two segments meeting at (x1, y1).
    int pixels;                    ///< Pixels covered.
  };
  const Case cases[] = {
      {"east", 5.3f, 20.2f, 17.6f, 20.2f, 30.1f, 20.2f, 2 * 25},
      {"south", 12.5f, 33.4f, 12.5f, 21.0f, 12.5f, 8.7f, 2 * 24},
      {"diagonal", 5.2f, 5.1f, 15.2f, 15.1f, 25.2f, 25.1f, 2 * 20},
  };
  for (const Case& c : cases) {
    TrailLayer layer;
    layer.begin(kSide, kSide);
    layer.addSegment(c.x0, c.y0, 0.5f, c.x1, c.y1, 0.5f, kGreen);
    layer.addSegment(c.x1, c.y1, 0.5f, c.x2, c.y2, 0.5f, kGreen);
    int exact = 0, other = 0;
    countAlpha(layer, 128, exact, other);
    EXPECT_EQ(exact, c.pixels) << c.what;
    EXPECT_EQ(other, 0) << c.what << ": pixels covered twice";
    // Premultiplied: green at half opacity.
    const unsigned char* middle = layer.pixel(static_cast<int>(c.x1), static_cast<int>(c.y1));
    EXPECT_EQ(middle[1], 128) << c.what;
    EXPECT_EQ(middle[0] + middle[2], 0) << c.what;
  }
}

TEST(TrailLayerTest, OpacityRunsAlongAndOverlapsComposite) {
  TrailLayer layer;
  layer.begin(kSide, kSide);
  layer.addSegment(0, 10.5f, 0, 40, 10.5f, 1, kGreen);
  EXPECT_NEAR(layer.pixel(10, 10)[3], 0.2625 * 255, 1.5);
  EXPECT_NEAR(layer.pixel(30, 10)[3], 0.7625 * 255, 1.5);
  // Another half-opaque line across it: over-composited, 1 - (1 - a)(1 - 0.5).
  const unsigned char red[3] = {255, 0, 0};
  layer.addSegment(30.5f, 0, 0.5f, 30.5f, 40, 0.5f, red);
  const unsigned char* crossing = layer.pixel(30, 10);
  EXPECT_NEAR(crossing[3], (1 - (1 - 0.7625) * 0.5) * 255, 1.5);
  EXPECT_NEAR(crossing[0], 0.5 * 255, 1.5);
  EXPECT_NEAR(crossing[1], 0.7625 * 0.5 * 255, 1.5);
  // Far off the picture, nothing; begin() clears what was drawn.
  layer.addSegment(-500, -500, 1, -100, -400, 1, kGreen);
  layer.begin(kSide, kSide);
  int exact = 0, other = 0;
  countAlpha(layer, 0, exact, other);
  EXPECT_EQ(exact + other, 0);
}

}  // namespace

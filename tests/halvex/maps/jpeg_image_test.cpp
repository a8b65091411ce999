// JPEG decoding into the padded bottom-up buffer, and damaged JPEG files failing cleanly.
#include "halvex/maps/jpeg_image.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/halvex/maps/jpeg_writer.h"
#include "tests/support/scratch_dir.h"

namespace {

/// Colour of picture row y of buffer p at column x.
const unsigned char* pixelAt(const JpegPicture& p, int x, int row) {
  return p.pixels.get() + (size_t(row) * p.paddedWidth + x) * 3;
}

bool near(const unsigned char* got, int r, int g, int b, int tolerance = 12) {
  return std::abs(got[0] - r) <= tolerance && std::abs(got[1] - g) <= tolerance &&
         std::abs(got[2] - b) <= tolerance;
}

std::string redOverBlueJpeg(int width, int height) {
  return encodeJpeg(width, height, 3, [height](int x, int y, unsigned char rgb[3]) {
    redOverBlue(x, y, height, rgb);
  });
}

TEST(JpegDecode, PictureLandsBottomUpInThePaddedBuffer) {
  ScratchDir dir;
  const std::string path = dir.write("map.jpg", redOverBlueJpeg(1000, 750));
  JpegPicture p;
  testing::internal::CaptureStdout();
  ASSERT_EQ(decodeJpegFile(path.c_str(), p), 1);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Opened " + path + "\n"), std::string::npos);
  EXPECT_NE(out.find("cinfo.output_components is 3\n"), std::string::npos);
  EXPECT_EQ(out.find("ci.o_sl="), std::string::npos);  // Only with the trace variable set.
  EXPECT_EQ(p.width, 1000);
  EXPECT_EQ(p.height, 750);
  EXPECT_EQ(p.paddedWidth, 1000);
  EXPECT_EQ(p.paddedHeight, 752);
  // The top scanline is the last row, the bottom scanline row 2.
  EXPECT_TRUE(near(pixelAt(p, 500, 751), 220, 20, 10));
  EXPECT_TRUE(near(pixelAt(p, 0, 751), 220, 20, 10));
  EXPECT_TRUE(near(pixelAt(p, 500, 2), 10, 20, 220));
  EXPECT_TRUE(near(pixelAt(p, 500, 751 - 400), 10, 20, 220));
  EXPECT_TRUE(near(pixelAt(p, 500, 751 - 300), 220, 20, 10));
  // The two rows below the picture repeat its bottom row.
  EXPECT_EQ(0, std::memcmp(pixelAt(p, 0, 0), pixelAt(p, 0, 2), 3000));
  EXPECT_EQ(0, std::memcmp(pixelAt(p, 0, 1), pixelAt(p, 0, 2), 3000));
}

TEST(JpegDecode, OddSizesArePaddedToFourWithRepeatedEdges) {
  // Left column black, the rest white: the padding columns must repeat white.
  const std::string bytes = encodeJpeg(
      10, 5, 3,
      [](int x, int, unsigned char rgb[3]) { rgb[0] = rgb[1] = rgb[2] = x < 5 ? 0 : 255; }, 100);
  FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  JpegPicture p;
  ASSERT_EQ(decodeJpeg(f, p), 1);
  std::fclose(f);
  EXPECT_EQ(p.paddedWidth, 12);
  EXPECT_EQ(p.paddedHeight, 8);
  for (int row = 0; row < 8; ++row) {
    EXPECT_TRUE(near(pixelAt(p, 11, row), 255, 255, 255)) << row;
    EXPECT_TRUE(near(pixelAt(p, 0, row), 0, 0, 0)) << row;
  }
}

TEST(JpegDecode, GreyPicturesComeOutAsRgb) {
  const std::string bytes = encodeJpeg(
      8, 8, 1, [](int, int, unsigned char rgb[3]) { rgb[0] = 128; }, 100);
  FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  JpegPicture p;
  ASSERT_EQ(decodeJpeg(f, p), 1);
  std::fclose(f);
  EXPECT_TRUE(near(pixelAt(p, 3, 3), 128, 128, 128, 2));
}

TEST(JpegDecode, TraceVariablePrintsOneLinePerScanline) {
  ScratchDir dir;
  const std::string path = dir.write("map.jpg", redOverBlueJpeg(16, 6));
  setenv("HALVEX_IMAGE_TRACE", "1", 1);
  JpegPicture p;
  testing::internal::CaptureStdout();
  EXPECT_EQ(decodeJpegFile(path.c_str(), p), 1);
  const std::string out = testing::internal::GetCapturedStdout();
  unsetenv("HALVEX_IMAGE_TRACE");
  EXPECT_NE(out.find("ci.o_sl=0 h=8 ci.o_sl-1-h=7\n"), std::string::npos);
  EXPECT_NE(out.find("ci.o_sl=5 h=8 ci.o_sl-1-h=2\n"), std::string::npos);
  EXPECT_EQ(out.find("ci.o_sl=6 "), std::string::npos);
}

/// Damaged files: each fails with -1, a message on standard error and an empty picture.
TEST(JpegDecode, DamagedFilesFailCleanly) {
  ScratchDir dir;
  const std::string good = redOverBlueJpeg(64, 48);
  std::string corrupt = good;
  for (size_t i = 2; i < corrupt.size(); ++i) corrupt[i] = static_cast<char>(0xA5);
  struct Case {
    const char* what;
    std::string bytes;
  };
  const Case cases[] = {
      {"cut in the data", good.substr(0, good.size() / 2)},
      {"cut in the header", good.substr(0, 30)},
      {"empty", ""},
      {"no marker after the start", corrupt},
      {"not a JPEG", std::string(500, 'x')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.write("bad.jpg", c.bytes);
    JpegPicture p;
    testing::internal::CaptureStderr();
    EXPECT_EQ(decodeJpegFile(path.c_str(), p), -1);
    EXPECT_FALSE(testing::internal::GetCapturedStderr().empty());
    EXPECT_FALSE(p.pixels);
    EXPECT_EQ(p.width, 0);
  }
}

TEST(JpegDecode, MissingFileAndLimits) {
  ScratchDir dir;
  JpegPicture p;
  testing::internal::CaptureStdout();
  EXPECT_EQ(decodeJpegFile(dir.path("absent.jpg").c_str(), p), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "could not open " + dir.path("absent.jpg") + "\n");

  const std::string path = dir.write("map.jpg", redOverBlueJpeg(64, 48));
  JpegLimits small;
  small.maxDimension = 63;
  testing::internal::CaptureStderr();
  EXPECT_EQ(decodeJpegFile(path.c_str(), p, small), -1);
  small = JpegLimits();
  small.maxPixels = 64 * 47;
  EXPECT_EQ(decodeJpegFile(path.c_str(), p, small), -1);
  testing::internal::GetCapturedStderr();
  small.maxPixels = 64 * 48;
  EXPECT_EQ(decodeJpegFile(path.c_str(), p, small), 1);
}

}  // namespace

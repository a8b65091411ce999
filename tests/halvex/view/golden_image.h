// RGB pictures kept as binary PPM files, and the per-pixel comparison of a rendered frame with a
// kept one, for the golden-frame tests of the view.
#pragma once

#include <string>
#include <vector>

#include "tests/halvex/view/scene_test_support.h"

namespace golden {

/// An 8-bit RGB picture, top row first.
struct Image {
  int width = 0;
  int height = 0;
  std::vector<unsigned char> rgb;
};

/// The last frame `shown` read back.
Image frameOf(const scene_test::ShownSurface& shown);

/// Reads a binary PPM file (P6, maximum value 255); false when it cannot be read.
bool readPpm(const std::string& path, Image& image);
/// Writes `image` as a binary PPM file; false on failure.
bool writePpm(const std::string& path, const Image& image);

/// How far a frame is from a kept one.
struct Comparison {
  double share = 0;  ///< Pixels whose every channel is within the tolerance (0 for other sizes).
  Image difference;  ///< Kept pixels dimmed, pixels out of tolerance in full red.
};

/// Compares `frame` with `kept` pixel by pixel; channels may differ by `tolerance` levels.
Comparison compare(const Image& frame, const Image& kept, int tolerance);

}  // namespace golden

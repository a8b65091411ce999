#include "tests/halvex/view/golden_image.h"

#include <cstdlib>
#include <fstream>

namespace golden {

namespace {

constexpr int kMaxValue = 255;
constexpr int kDimDivisor = 3;  ///< Kept pixels in the difference image, this much darker.

}  // namespace

Image frameOf(const scene_test::ShownSurface& shown) {
  Image image;
  image.width = shown.width();
  image.height = shown.height();
  image.rgb.reserve(static_cast<size_t>(image.width) * image.height * 3);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const scene_test::Rgb p = shown.pixel(x, y);
      for (int c : {p.r, p.g, p.b}) image.rgb.push_back(static_cast<unsigned char>(c));
    }
  }
  return image;
}

bool readPpm(const std::string& path, Image& image) {
  std::ifstream in(path, std::ios::binary);
  std::string magic;
  int maxValue = 0;
  in >> magic >> image.width >> image.height >> maxValue;
  if (!in || magic != "P6" || maxValue != kMaxValue || image.width <= 0 || image.height <= 0) {
    return false;
  }
  in.get();  // the one blank before the pixels
  image.rgb.resize(static_cast<size_t>(image.width) * image.height * 3);
  in.read(reinterpret_cast<char*>(image.rgb.data()),
          static_cast<std::streamsize>(image.rgb.size()));
  return static_cast<bool>(in);
}

bool writePpm(const std::string& path, const Image& image) {
  std::ofstream out(path, std::ios::binary);
  out << "P6\n" << image.width << " " << image.height << "\n" << kMaxValue << "\n";
  out.write(reinterpret_cast<const char*>(image.rgb.data()),
            static_cast<std::streamsize>(image.rgb.size()));
  return static_cast<bool>(out);
}

Comparison compare(const Image& frame, const Image& kept, int tolerance) {
  Comparison result;
  if (frame.width != kept.width || frame.height != kept.height ||
      frame.rgb.size() != kept.rgb.size() || frame.rgb.empty()) {
    return result;
  }
  result.difference = kept;
  size_t within = 0;
  const size_t pixels = frame.rgb.size() / 3;
  for (size_t i = 0; i < pixels; ++i) {
    unsigned char* out = &result.difference.rgb[i * 3];
    bool close = true;
    for (int c = 0; c < 3; ++c) {
      close = close && std::abs(frame.rgb[i * 3 + c] - kept.rgb[i * 3 + c]) <= tolerance;
    }
    if (close) {
      ++within;
      for (int c = 0; c < 3; ++c) out[c] = static_cast<unsigned char>(out[c] / kDimDivisor);
    } else {
      out[0] = kMaxValue;
      out[1] = 0;
      out[2] = 0;
    }
  }
  result.share = static_cast<double>(within) / static_cast<double>(pixels);
  return result;
}

}  // namespace golden

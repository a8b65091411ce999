// Map pictures above the picture limit: every reader refuses them before allocating, so that a
// small file declaring a huge picture fails fast in little memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

#include "halvex/maps/jpeg_image.h"
#include "halvex/maps/sgi_image.h"
#include "halvex/maps/texture_cache.h"
#include "tests/halvex/maps/hostile_pictures.h"
#include "tests/support/scratch_dir.h"

namespace {

/// Reads the picture at path with the reader its extension names; true when it decoded.
bool loadPicture(const std::string& path) {
  const std::string ext = path.substr(path.rfind('.'));
  if (ext == ".sgi") {
    ScopedSgiErrorHook hook;
    return longimagedata(path.c_str()) != nullptr;
  }
  if (ext == ".jpg") {
    JpegPicture picture;
    return decodeJpegFile(path.c_str(), picture) == 1;
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  CachedTexture texture;
  const bool read = readTextureCache(fd, texture) == 1 && texture.pixels;
  if (fd >= 0) ::close(fd);
  return read;
}

TEST(HostilePictures, FailFastInBoundedMemory) {
  ScratchDir dir;
  struct Case {
    const char* what;
    const char* name;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"SGI of 16384 x 16384 in 131,586 bytes", "huge.sgi", hostileSgi(), "above the limit"},
      {"JPEG declaring 16000 x 16000", "huge.jpg", jpegDeclaring(16000, 16000), "too large"},
      {"JPEG of 200 scans", "scans.jpg", jpegWithScans(64, 64, 200), "scans"},
  };
  EXPECT_EQ(cases[0].bytes.size(), 131586u);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = dir.write(c.name, c.bytes);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const ChildCost cost = costInChild([&] { return loadPicture(path); });
    const std::string err = testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
    EXPECT_FALSE(cost.succeeded);
    EXPECT_NE(err.find(c.message), std::string::npos) << err;
    EXPECT_LT(cost.peakGrowthKiB, 64 * 1024);
    EXPECT_LT(cost.seconds, 1.0);
  }
}

/// With the limit at one megapixel every reader takes a picture of exactly that size and refuses
/// a larger one (JPEG counts its rows padded to a multiple of 4); the scan count has its own limit.
TEST(PictureLimit, EveryReaderHoldsToIt) {
  ScratchDir dir;
  ScopedMapPictureLimit limit(kPixelsPerMegapixel);
  auto grey = [](int width, int height) {
    return encodeJpeg(width, height, 1, [](int x, int, unsigned char rgb[3]) { rgb[0] = x; });
  };
  auto cache = [](int width, int height) {
    return cacheHeader(width, height, 3) + std::string(size_t(width) * height * 3, 'c');
  };
  struct Case {
    const char* what;
    const char* name;
    std::string bytes;
    bool loads;
  };
  const Case cases[] = {
      {"SGI at the limit", "a.sgi", hostileSgi(1024), true},
      {"SGI a row above", "b.sgi", hostileSgi(1025), false},
      {"JPEG at the limit", "a.jpg", grey(1024, 1024), true},
      {"JPEG a padded row above", "b.jpg", grey(1024, 1025), false},
      {"JPEG of 64 scans", "c.jpg", jpegWithScans(64, 64, 64), true},
      {"JPEG of 65 scans", "d.jpg", jpegWithScans(64, 64, 65), false},
      {"cache at the limit", "a.qtex", cache(1024, 1024), true},
      {"cache a row above", "b.qtex", cache(1024, 1025), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(loadPicture(dir.write(c.name, c.bytes)), c.loads);
    testing::internal::GetCapturedStderr();
    testing::internal::GetCapturedStdout();
  }
  // A cache above the limit is never written.
  const std::vector<unsigned char> pixels(size_t(1024) * 1025 * 3);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(writeTextureCache(dir.path("c.qtex").c_str(), 1024, 1025, 3, pixels.data()), -1);
  EXPECT_EQ(writeTextureCache(dir.path("d.qtex").c_str(), 1024, 1024, 3, pixels.data()), 1);
  testing::internal::GetCapturedStderr();
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(dir.read("c.qtex"), "");
  EXPECT_EQ(dir.read("d.qtex").size(), 12u + 1024 * 1024 * 3);
}

TEST(PictureLimit, BytesAreCountedWithoutOverflow) {
  ScopedMapPictureLimit limit(INT64_MAX);
  EXPECT_EQ(mapPictureBytes(3, 5, 4), 60u);
  EXPECT_EQ(mapPictureBytes(INT64_MAX / 2, 3, 1), 0u);
  EXPECT_EQ(mapPictureBytes(INT64_MAX / 4, 2, 4), 0u);
}

}  // namespace

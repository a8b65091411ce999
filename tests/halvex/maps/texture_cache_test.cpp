// The .qtex cache: exact file layout, round trip, and headers that lie about their sizes.
#include "halvex/maps/texture_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace {

/// Reads the cache at path through a descriptor.
int readCache(const std::string& path, CachedTexture& texture) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const int result = readTextureCache(fd, texture);
  if (fd >= 0) ::close(fd);
  return result;
}

std::string header(int32_t w, int32_t h, int32_t d) {
  std::string s(12, '\0');
  for (int i = 0; i < 4; ++i) {
    s[i] = static_cast<char>(uint32_t(w) >> (8 * i));
    s[4 + i] = static_cast<char>(uint32_t(h) >> (8 * i));
    s[8 + i] = static_cast<char>(uint32_t(d) >> (8 * i));
  }
  return s;
}

TEST(TextureCache, DepthThreeFileIsHeaderAndTightRows) {
  ScratchDir dir;
  const int w = 6, h = 3;
  std::vector<unsigned char> pixels(w * h * 3);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<unsigned char>(i * 7);
  const std::string path = dir.path("map.qtex");
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeTextureCache(path.c_str(), w, h, 3, pixels.data()), 1);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("Finished writing to  " + path + " wrote 12 bytes\n"), std::string::npos);
  EXPECT_NE(out.find("w h d 6 3 3\n"), std::string::npos);
  EXPECT_NE(out.find("Finished writing to  " + path + " wrote 54 bytes\n"), std::string::npos);

  const std::string bytes = dir.read("map.qtex");
  ASSERT_EQ(bytes.size(), 12u + w * h * 3);
  EXPECT_EQ(bytes.substr(0, 12), header(6, 3, 3));
  EXPECT_EQ(bytes.substr(12), std::string(pixels.begin(), pixels.end()));

  CachedTexture t;
  ASSERT_EQ(readCache(path, t), 1);
  EXPECT_EQ(t.width, 6);
  EXPECT_EQ(t.height, 3);
  EXPECT_EQ(t.depth, 3);
  ASSERT_TRUE(t.pixels);
  EXPECT_EQ(0, std::memcmp(t.pixels.get(), pixels.data(), pixels.size()));
}

TEST(TextureCache, WriterRefusesMissingArgumentsAndToleratesAnUncreatableFile) {
  ScratchDir dir;
  const unsigned char pixel[4] = {};
  EXPECT_EQ(writeTextureCache(nullptr, 1, 1, 4, pixel), -1);
  EXPECT_EQ(writeTextureCache(dir.path("a.qtex").c_str(), 1, 1, 4, nullptr), -1);
  EXPECT_EQ(writeTextureCache(dir.path("a.qtex").c_str(), -1, 1, 4, pixel), -1);
  EXPECT_EQ(dir.entryCount(), 0);
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeTextureCache(dir.path("no/such/dir.qtex").c_str(), 1, 1, 4, pixel), 1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Could not open for writing file " + dir.path("no/such/dir.qtex") + "\n");
}

TEST(TextureCache, WriteFailureIsReported) {
  if (::access("/dev/full", W_OK) != 0) GTEST_SKIP() << "no /dev/full";
  std::vector<unsigned char> pixels(64 * 64 * 4);
  testing::internal::CaptureStdout();
  EXPECT_EQ(writeTextureCache("/dev/full", 64, 64, 4, pixels.data()), -1);
  testing::internal::GetCapturedStdout();
}

/// Headers that lie: each is refused without allocating what they claim.
TEST(TextureCache, HostileHeadersAreRefused) {
  ScratchDir dir;
  struct Case {
    const char* what;
    std::string bytes;
    int result;
  };
  const Case cases[] = {
      {"empty", "", -1},
      {"short header", header(2, 2, 3).substr(0, 11), -1},
      {"negative width", header(-2, 2, 3) + std::string(12, 'p'), -1},
      {"negative height", header(2, -2, 3) + std::string(12, 'p'), -1},
      {"zero width", header(0, 2, 3), -1},
      {"absurd width", header(1 << 20, 1, 3) + std::string(12, 'p'), -1},
      {"product overflows 32 bits", header(65536, 65536, 4) + std::string(64, 'p'), -1},
      {"one byte short", header(2, 2, 3) + std::string(11, 'p'), -1},
      {"longer than needed", header(2, 2, 3) + std::string(20, 'p'), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CachedTexture t;
    EXPECT_EQ(readCache(dir.write("x.qtex", c.bytes), t), c.result);
    EXPECT_EQ(bool(t.pixels), c.result == 1);
  }
}

TEST(TextureCache, OtherDepthsGiveNoPixels) {
  ScratchDir dir;
  for (int depth : {0, 1, 5, -3, 1 << 30}) {
    SCOPED_TRACE(depth);
    CachedTexture t;
    EXPECT_EQ(readCache(dir.write("x.qtex", header(2, 2, depth)), t), 1);
    EXPECT_EQ(t.depth, depth);
    EXPECT_FALSE(t.pixels);
  }
  CachedTexture t;
  EXPECT_EQ(readTextureCache(-1, t), -1);
}

}  // namespace

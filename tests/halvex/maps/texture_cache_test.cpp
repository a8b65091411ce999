// The .qtex cache: exact file layout, round trip, and headers that lie about their sizes.
#include "halvex/maps/texture_cache.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "tests/halvex/maps/hostile_pictures.h"
#include "tests/support/fault_injection.h"
#include "tests/support/scratch_dir.h"

namespace {

/// Reads the cache at path through a descriptor.
int readCache(const std::string& path, CachedTexture& texture) {
  const int fd = ::open(path.c_str(), O_RDONLY);
  const int result = readTextureCache(fd, texture);
  if (fd >= 0) ::close(fd);
  return result;
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
  EXPECT_EQ(bytes.substr(0, 12), cacheHeader(6, 3, 3));
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

/// Whatever stands at the cache's path, a write replaces it whole by a regular file: nothing is
/// written through a link or into the old file.
TEST(TextureCache, WriteReplacesWhatStandsAtThePath) {
  ScratchDir dir;
  const std::string path = dir.path("map.qtex");
  const std::string victim = dir.path("victim");
  const std::string old = cacheHeader(1, 1, 3) + "old";
  struct Case {
    const char* what;
    std::function<void()> plant;
  };
  const Case cases[] = {
      {"nothing", [] {}},
      {"a link to another file", [&] { ASSERT_EQ(::symlink(victim.c_str(), path.c_str()), 0); }},
      {"a dangling link", [&] { ASSERT_EQ(::symlink(dir.path("made").c_str(), path.c_str()), 0); }},
      {"an older cache with a second name",
       [&] {
         dir.write("map.qtex", old);
         ASSERT_EQ(::link(path.c_str(), dir.path("made").c_str()), 0);
       }},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); }},
  };
  const std::vector<unsigned char> pixels(2 * 2 * 4, 7);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path);
    std::filesystem::remove(dir.path("made"));
    dir.write("victim", "victim bytes");
    c.plant();
    testing::internal::CaptureStdout();
    EXPECT_EQ(writeTextureCache(path.c_str(), 2, 2, 4, pixels.data()), 1);
    testing::internal::GetCapturedStdout();
    struct stat info {};
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(dir.read("map.qtex"),
              cacheHeader(2, 2, 4) + std::string(pixels.begin(), pixels.end()));
    EXPECT_EQ(dir.read("victim"), "victim bytes");
    const std::string made = dir.read("made");
    EXPECT_TRUE(made.empty() || made == old) << made;
  }
}

TEST(TextureCache, WriteFailingHalfWayKeepsTheOldCache) {
  ScratchDir dir;
  const std::string path = dir.write("map.qtex", cacheHeader(1, 1, 3) + "old");
  const std::vector<unsigned char> pixels(64 * 64 * 4, 9);
  testing::internal::CaptureStdout();
  EXPECT_EQ(
      faults::saveUnderFileSizeLimit(
          4096, [&] { return writeTextureCache(path.c_str(), 64, 64, 4, pixels.data()) == 1; }),
      faults::SaveOutcome::kFailed);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(dir.read("map.qtex"), cacheHeader(1, 1, 3) + "old");
  EXPECT_EQ(dir.entryCount(), 1);
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
      {"short header", cacheHeader(2, 2, 3).substr(0, 11), -1},
      {"negative width", cacheHeader(-2, 2, 3) + std::string(12, 'p'), -1},
      {"negative height", cacheHeader(2, -2, 3) + std::string(12, 'p'), -1},
      {"zero width", cacheHeader(0, 2, 3), -1},
      {"absurd width", cacheHeader(1 << 20, 1, 3) + std::string(12, 'p'), -1},
      {"product overflows 32 bits", cacheHeader(65536, 65536, 4) + std::string(64, 'p'), -1},
      {"one byte short", cacheHeader(2, 2, 3) + std::string(11, 'p'), -1},
      {"longer than its header says", cacheHeader(2, 2, 3) + std::string(13, 'p'), -1},
      {"exactly as long as its header says", cacheHeader(2, 2, 4) + std::string(16, 'p'), 1},
      {"depth 0", cacheHeader(2, 2, 0), -1},
      {"depth 1", cacheHeader(2, 2, 1) + std::string(4, 'p'), -1},
      {"depth 5", cacheHeader(2, 2, 5) + std::string(20, 'p'), -1},
      {"negative depth", cacheHeader(2, 2, -3), -1},
      {"huge depth", cacheHeader(2, 2, 1 << 30), -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CachedTexture t;
    EXPECT_EQ(readCache(dir.write("x.qtex", c.bytes), t), c.result);
    EXPECT_EQ(bool(t.pixels), c.result == 1);
  }
}

TEST(TextureCache, ReaderRefusesAMissingDescriptor) {
  CachedTexture t;
  EXPECT_EQ(readTextureCache(-1, t), -1);
}

}  // namespace

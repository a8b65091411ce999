// Map images loaded into textures with a real context: identifiers, the cache beside the image,
// power-of-two sizes and both texture modes.
#include <GL/gl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "halvex/maps/map_texture.h"
#include "halvex/maps/sgi_image.h"
#include "halvex/maps/texture_cache.h"
#include "halvex/maps/texture_cache_place.h"
#include "tests/halvex/maps/gl_test_window.h"
#include "tests/halvex/maps/hostile_pictures.h"
#include "tests/halvex/maps/jpeg_writer.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/sgi_writer.h"

namespace {

/// R, G, B, A of texel (x, y) of a test picture.
unsigned texel(int x, int y, int z) {
  const unsigned values[4] = {unsigned(40 * x + 10), unsigned(60 * y + 5), unsigned(x * y * 20),
                              unsigned(255 - 30 * x)};
  return values[z] & 0xFF;
}

std::string writeSgi(const ScratchDir& dir, const std::string& name, int w, int h) {
  SgiPicture p = makeSgiPicture(w, h, 4, texel);
  p.runLength = true;
  return dir.write(name, encodeSgi(p));
}

std::string writeJpeg(const ScratchDir& dir, const std::string& name, int w, int h) {
  return dir.write(name, encodeJpeg(w, h, 3, [h](int x, int y, unsigned char rgb[3]) {
                     redOverBlue(x, y, h, rgb);
                   }));
}

class MapTextureTest : public GlTest {
 protected:
  /// Size and pixels of the texture that identifier id defines, read back from GL.
  std::vector<unsigned char> textureOf(int id, GLenum format, int& w, int& h) {
    if (glExtensions().textureObjects) {
      glBindTexture(GL_TEXTURE_2D, id);
    } else {
      glBindTexture(GL_TEXTURE_2D, 0);
      glCallList(id);
    }
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    const int depth = format == GL_RGB ? 3 : 4;
    std::vector<unsigned char> pixels(size_t(w) * h * depth);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (!pixels.empty()) glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
  }

  /// Loads path with standard output captured; returns the result.
  int quietLoad(const std::string& path, std::string* out = nullptr) {
    testing::internal::CaptureStdout();
    const int id = loadMapImage(path.c_str());
    const std::string text = testing::internal::GetCapturedStdout();
    if (out) *out = text;
    return id;
  }

  ScratchDir dir_;
};

TEST_F(MapTextureTest, IdentifiersIncreaseFromTwoOnEveryAttempt) {
  const std::string sgi = writeSgi(dir_, "a.sgi", 4, 2);
  const std::string jpeg = writeJpeg(dir_, "b.jpg", 16, 8);
  const std::string badJpeg = dir_.write("c.jpeg", "not a picture");
  testing::internal::CaptureStderr();
  EXPECT_EQ(quietLoad(dir_.path("absent.sgi")), -1);  // 2
  EXPECT_EQ(quietLoad(sgi), 3);
  std::string out;
  EXPECT_EQ(quietLoad(dir_.path("d.rgb"), &out), -1);  // Refused before any reader runs.
  EXPECT_EQ(out, "Warning: .rgb extention not supported\n");
  EXPECT_EQ(quietLoad(badJpeg), -1);  // 4
  EXPECT_EQ(quietLoad(jpeg), 5);
  EXPECT_EQ(quietLoad(sgi), 6);  // From its cache now.
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(takeTextureId(), 7);
}

TEST_F(MapTextureTest, ExtensionsAreComparedWithoutCaseOnTheirFirstCharacters) {
  // ".SGI" and ".Rle" read as SGI, ".JPEG" as JPEG; no other extension is read.
  EXPECT_GT(quietLoad(writeSgi(dir_, "a.SGI", 2, 2)), 0);
  EXPECT_GT(quietLoad(writeSgi(dir_, "b.Rle", 2, 2)), 0);
  EXPECT_GT(quietLoad(writeJpeg(dir_, "c.JPEG", 8, 8)), 0);
  EXPECT_EQ(quietLoad(writeSgi(dir_, "d.png", 2, 2)), -1);
  EXPECT_EQ(quietLoad(writeSgi(dir_, "noextension", 2, 2)), -1);
  EXPECT_EQ(loadMapImage(nullptr), -1);
}

class BothModes : public MapTextureTest, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    MapTextureTest::SetUp();
    if (GetParam()) useTextureObjects();
  }
};

TEST_P(BothModes, SgiTextureHoldsThePicture) {
  const int id = quietLoad(writeSgi(dir_, "map.sgi", 4, 2));
  ASSERT_EQ(id, 2);
  int w = 0, h = 0;
  const std::vector<unsigned char> pixels = textureOf(id, GL_RGBA, w, h);
  ASSERT_EQ(w, 4);
  ASSERT_EQ(h, 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) {
      for (int z = 0; z < 4; ++z) {
        EXPECT_NEAR(pixels[(y * 4 + x) * 4 + z], texel(x, y, z), 1) << x << "," << y << "," << z;
      }
    }
  }
  // The cache holds what GL got.
  EXPECT_EQ(dir_.read("map.qtex").size(), 12u + 4 * 2 * 4);
}

TEST_P(BothModes, SecondLoadReadsOnlyTheCache) {
  const std::string sgi = writeSgi(dir_, "map.sgi", 4, 2);
  const std::string jpeg = writeJpeg(dir_, "photo.jpg", 40, 24);
  const int first = quietLoad(sgi);
  const int firstJpeg = quietLoad(jpeg);
  ASSERT_GT(first, 0);
  ASSERT_GT(firstJpeg, 0);
  int w = 0, h = 0;
  const std::vector<unsigned char> before = textureOf(first, GL_RGBA, w, h);
  const std::vector<unsigned char> beforeJpeg = textureOf(firstJpeg, GL_RGB, w, h);
  ASSERT_EQ(std::remove(sgi.c_str()), 0);
  ASSERT_EQ(std::remove(jpeg.c_str()), 0);

  std::string out;
  const int second = quietLoad(sgi, &out);
  ASSERT_EQ(second, firstJpeg + 1);
  EXPECT_NE(out.find("  1111111111111111111  Opening file\n"), std::string::npos);
  EXPECT_NE(out.find("  2222222222222222222  read file now submitting texture\n"),
            std::string::npos);
  EXPECT_EQ(textureOf(second, GL_RGBA, w, h), before);
  const int secondJpeg = quietLoad(jpeg);
  ASSERT_GT(secondJpeg, 0);
  EXPECT_EQ(textureOf(secondJpeg, GL_RGB, w, h), beforeJpeg);
}

TEST_P(BothModes, JpegTextureIsHalvedToPowersOfTwoBottomUp) {
  const int id = quietLoad(writeJpeg(dir_, "map.jpg", 1000, 750));
  ASSERT_EQ(id, 2);
  int w = 0, h = 0;
  const std::vector<unsigned char> pixels = textureOf(id, GL_RGB, w, h);
  ASSERT_EQ(w, 1024);
  ASSERT_EQ(h, 1024);
  EXPECT_EQ(dir_.read("map.qtex").size(), 12u + 1024 * 1024 * 3);
  // Texture row 0 is the picture's bottom (blue), the last row its top (red).
  const unsigned char* bottom = &pixels[(10 * 1024 + 512) * 3];
  const unsigned char* top = &pixels[(1013 * 1024 + 512) * 3];
  EXPECT_GT(bottom[2], 200);
  EXPECT_LT(bottom[0], 40);
  EXPECT_GT(top[0], 200);
  EXPECT_LT(top[2], 40);
}

INSTANTIATE_TEST_SUITE_P(Modes, BothModes, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "TextureObjects" : "DisplayLists";
                         });

TEST_F(MapTextureTest, SgiSizesRoundUpToPowersOfTwo) {
  useTextureObjects();
  const int id = quietLoad(writeSgi(dir_, "odd.sgi", 5, 3));
  int w = 0, h = 0;
  textureOf(id, GL_RGBA, w, h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 4);
  EXPECT_EQ(dir_.read("odd.qtex").size(), 12u + 8 * 4 * 4);
}

TEST_F(MapTextureTest, JpegOfExactlyHalfTheNextPowerDoubles) {
  GLint max = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &max);
  if (max < 2048) GTEST_SKIP() << "maximum texture size " << max;
  useTextureObjects();
  const int id = quietLoad(writeJpeg(dir_, "strip.jpg", 1024, 8));
  int w = 0, h = 0;
  textureOf(id, GL_RGB, w, h);
  EXPECT_EQ(w, 2048);
  EXPECT_EQ(h, 16);
}

TEST_F(MapTextureTest, DamagedSgiFailsOnlyItsOwnLoad) {
  SgiPicture p = makeSgiPicture(4, 4, 3, texel);
  p.runLength = true;
  std::string bytes = encodeSgi(p);
  bytes[512 + 16 * 3] = 0x7F;  // First row length entry far beyond the file.
  const std::string path = dir_.write("bad.sgi", bytes);
  ASSERT_EQ(sgiErrorHook(), nullptr);
  testing::internal::CaptureStderr();
  EXPECT_EQ(quietLoad(path), -1);
  EXPECT_NE(
      testing::internal::GetCapturedStderr().find("iopen: row table entry outside the file\n"),
      std::string::npos);
  EXPECT_EQ(sgiErrorHook(), nullptr);
  EXPECT_GT(quietLoad(writeSgi(dir_, "good.sgi", 2, 2)), 0);
}

/// Whatever is wrong with the cache beside a map, the map loads from its image and the cache is
/// written anew as a regular file (a folder in its place stays); nothing is read or written
/// through a link, and a pipe never blocks the load.
TEST_F(MapTextureTest, BadCacheFallsBackToTheImageAndIsRewritten) {
  const std::string sgi = writeSgi(dir_, "map.sgi", 4, 2);
  const std::string cache = dir_.path("map.qtex");
  const std::string victim = dir_.path("victim");
  struct Case {
    const char* what;
    std::function<void()> plant;
    bool rewritten;
  };
  const Case cases[] = {
      {"cut short", [&] { dir_.write("map.qtex", cacheHeader(64, 64, 3) + "short"); }, true},
      {"depth 5", [&] { dir_.write("map.qtex", cacheHeader(4, 2, 5) + std::string(40, 'x')); },
       true},
      {"a folder", [&] { ASSERT_EQ(::mkdir(cache.c_str(), 0700), 0); }, false},
      {"a link to a sound cache",
       [&] {
         dir_.write("victim", cacheHeader(4, 2, 3) + std::string(4 * 2 * 3, 'v'));
         ASSERT_EQ(::symlink(victim.c_str(), cache.c_str()), 0);
       },
       true},
      {"a FIFO", [&] { ASSERT_EQ(::mkfifo(cache.c_str(), 0600), 0); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(cache);
    dir_.write("victim", "victim bytes");
    c.plant();
    const std::string victimBefore = dir_.read("victim");
    const int before = takeTextureId();
    std::string out;
    testing::internal::CaptureStderr();
    const int id = quietLoad(sgi, &out);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(id, before + 2);  // One identifier went to the failed cache read.
    EXPECT_NE(out.find("is damaged"), std::string::npos);
    struct stat info {};
    ASSERT_EQ(::lstat(cache.c_str(), &info), 0);
    if (c.rewritten) {
      EXPECT_TRUE(S_ISREG(info.st_mode));
      EXPECT_EQ(dir_.read("map.qtex").size(), 12u + 4 * 2 * 4);
    } else {
      EXPECT_TRUE(S_ISDIR(info.st_mode));
    }
    EXPECT_EQ(dir_.read("victim"), victimBefore);
  }
}

TEST_F(MapTextureTest, HostileSgiFailsOnlyItsOwnLoad) {
  testing::internal::CaptureStderr();
  EXPECT_EQ(quietLoad(dir_.write("huge.sgi", hostileSgi())), -1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find(
                "longimagedata: picture of 16384 x 16384 pixels is above the limit"),
            std::string::npos);
  EXPECT_EQ(dir_.entryCount(), 1);  // No cache.
  EXPECT_GT(quietLoad(writeSgi(dir_, "good.sgi", 2, 2)), 0);
}

/// With a limit of 16 pixels: a larger picture fails, a larger cache is ignored for the image,
/// and no texture or cache above the limit is made.
TEST_F(MapTextureTest, PicturesAndCachesAboveTheLimitAreRefused) {
  ScopedMapPictureLimit limit(16);
  testing::internal::CaptureStderr();
  EXPECT_EQ(quietLoad(writeSgi(dir_, "big.sgi", 8, 4)), -1);
  EXPECT_EQ(quietLoad(writeJpeg(dir_, "big.jpg", 8, 8)), -1);
  testing::internal::GetCapturedStderr();
  EXPECT_EQ(dir_.entryCount(), 2);

  const std::string sgi = writeSgi(dir_, "map.sgi", 4, 2);
  dir_.write("map.qtex", cacheHeader(8, 4, 4) + std::string(8 * 4 * 4, 'x'));
  std::string out;
  EXPECT_GT(quietLoad(sgi, &out), 0);
  EXPECT_NE(out.find("is damaged"), std::string::npos);
  EXPECT_EQ(dir_.read("map.qtex").size(), 12u + 4 * 2 * 4);

  // A picture within the limit whose power-of-two texture is not: the texture is halved.
  useTextureObjects();
  const int id = quietLoad(writeSgi(dir_, "wide.sgi", 5, 3));
  int w = 0, h = 0;
  textureOf(id, GL_RGBA, w, h);
  EXPECT_EQ(w * h, 16);
  EXPECT_EQ(dir_.read("wide.qtex").size(), 12u + 16 * 4);
}

TEST_F(MapTextureTest, CachedPathEdgeCases) {
  EXPECT_EQ(loadCachedTexture(nullptr), -1);
  testing::internal::CaptureStdout();
  // A cache that cannot be opened, or holds a depth the loader has no format for, fails so that
  // the image is read instead; each attempt still takes its identifier.
  EXPECT_EQ(loadCachedTexture(dir_.path("absent.qtex").c_str()), -1);
  EXPECT_EQ(loadCachedTexture(
                dir_.write("five.qtex", cacheHeader(2, 2, 5) + std::string(20, 'x')).c_str()),
            -1);
  EXPECT_EQ(loadCachedTexture(dir_.write("cut.qtex", cacheHeader(2, 2, 3) + "abc").c_str()), -1);
  EXPECT_EQ(takeTextureId(), 5);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(glIsList(3));
}

TEST_F(MapTextureTest, OddCacheWidthKeepsItsRows) {
  useTextureObjects();
  // 3 x 2 pixels, depth 3: defined 2 wide, each row still read from its own start.
  const std::string rows =
      "\x01\x01\x01\x02\x02\x02\x03\x03\x03\x04\x04\x04\x05\x05\x05\x06\x06\x06";
  testing::internal::CaptureStdout();
  const int id = loadCachedTexture(dir_.write("odd.qtex", cacheHeader(3, 2, 3) + rows).c_str());
  testing::internal::GetCapturedStdout();
  int w = 0, h = 0;
  const std::vector<unsigned char> pixels = textureOf(id, GL_RGB, w, h);
  ASSERT_EQ(w, 2);
  ASSERT_EQ(h, 2);
  EXPECT_EQ(pixels, (std::vector<unsigned char>{1, 1, 1, 2, 2, 2, 4, 4, 4, 5, 5, 5}));
}

TEST_F(MapTextureTest, RedefiningAnIdentifierWarns) {
  const unsigned char pixels[4 * 4] = {};
  testing::internal::CaptureStderr();
  defineTexture(40, 4, 2, 2, GL_RGBA, pixels);
  endTextureDefinition();
  defineTexture(40, 4, 2, 2, GL_RGBA, pixels);
  endTextureDefinition();
  useTextureObjects();
  defineTexture(41, 4, 2, 2, GL_RGBA, pixels);
  defineTexture(41, 4, 2, 2, GL_RGBA, pixels);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_NE(err.find("Warning: display list 40 exists.\n"), std::string::npos) << err;
  EXPECT_NE(err.find("Warning: Texture Object 41 exists.\n"), std::string::npos) << err;
}

TEST(TextureCachePath, BesideTheImageOrInTheUsersCacheFolder) {
  ScratchDir dir;
  const std::string cache = dir.path("cache");
  ASSERT_EQ(setenv("XDG_CACHE_HOME", cache.c_str(), 1), 0);
  EXPECT_EQ(textureCacheBeside("town.photo.JPEG"), "town.photo.qtex");
  EXPECT_EQ(textureCacheBeside("dir.v2/town"), "dir.v2/town.qtex");
  EXPECT_EQ(textureCachePath(dir.path("town.jpg")), dir.path("town.qtex"));

  // A folder that is missing or a system folder gets no cache: the user's cache folder holds it,
  // named by the image and a hash of its full path.
  const std::string missing = textureCachePath(dir.path("gone/town.jpg"));
  const std::string system = textureCachePath("/usr/share/maps/town.jpg");
  for (const std::string& path : {missing, system}) {
    EXPECT_EQ(path.rfind(cache + "/halvex/town-", 0), 0u) << path;
    EXPECT_EQ(path.size(), cache.size() + std::string("/halvex/town-0123456789abcdef.qtex").size());
  }
  EXPECT_NE(missing, system);
  EXPECT_EQ(textureCachePath("/usr/share/maps/town.jpg"), system);
  EXPECT_TRUE(folderTakesTextureCache(dir.path("")));
  EXPECT_FALSE(folderTakesTextureCache("/usr/lib"));
  unsetenv("XDG_CACHE_HOME");
}

}  // namespace

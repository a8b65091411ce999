// The SGI reader on files written here in every layout, and on damaged and hostile files.
#include "halvex/maps/sgi_image.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/scratch_dir.h"
#include "tests/support/sgi_writer.h"

namespace {

std::vector<std::string> gMessages;

void collect(const char* message) {
  gMessages.emplace_back(message);
}

/// Installs the collecting hook for one test and clears what earlier tests left.
class SgiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gMessages.clear();
    previous_ = setSgiErrorHook(collect);
  }
  void TearDown() override {
    setSgiErrorHook(previous_);
    setSgiDimensionLimit(0);
  }
  std::string write(const std::string& bytes) { return dir_.write("picture.sgi", bytes); }
  std::string lastMessage() const { return gMessages.empty() ? "" : gMessages.back(); }

  ScratchDir dir_;
  SgiErrorHook previous_ = nullptr;
};

/// The R, G, B, A bytes longimagedata must give for pixel (x, y) of p.
void expectedPixel(const SgiPicture& p, int x, int y, unsigned char out[4]) {
  auto v = [&](int z) { return static_cast<unsigned char>(p.at(x, p.dim == 1 ? 0 : y, z) & 0xFF); };
  if (p.zsize >= 3) {
    out[0] = v(0);
    out[1] = v(1);
    out[2] = v(2);
    out[3] = p.zsize >= 4 ? v(3) : 255;
  } else {
    out[0] = out[1] = out[2] = v(0);
    out[3] = 255;
  }
}

void expectPicture(const SgiPicture& p, const std::string& path) {
  int width = 0, height = 0;
  std::unique_ptr<uint32_t[]> data = longimagedata(path.c_str(), &width, &height);
  ASSERT_TRUE(data) << gMessages.size();
  ASSERT_EQ(width, p.xsize);
  ASSERT_EQ(height, p.ysize);
  const auto* bytes = reinterpret_cast<const unsigned char*>(data.get());
  for (int y = 0; y < p.ysize; ++y) {
    for (int x = 0; x < p.xsize; ++x) {
      unsigned char want[4];
      expectedPixel(p, x, y, want);
      const unsigned char* got = bytes + 4 * (size_t(y) * p.xsize + x);
      for (int c = 0; c < 4; ++c) {
        ASSERT_EQ(got[c], want[c]) << "pixel " << x << "," << y << " byte " << c;
      }
    }
  }
}

/// Values that exercise both packet kinds: runs in the left part of a row, noise elsewhere.
unsigned pattern(int x, int y, int z, int bpc) {
  if (x < 9) return (y * 7 + z * 50) & 0xFF;
  const unsigned v = (x * 31 + y * 17 + z * 101) & 0xFF;
  return bpc == 2 ? (v | ((x + y) & 0xFF) << 8) : v;
}

TEST_F(SgiTest, EveryLayoutReadsPixelForPixel) {
  for (bool runLength : {false, true}) {
    for (int bpc : {1, 2}) {
      for (bool bigEndian : {true, false}) {
        for (int zsize = 1; zsize <= 4; ++zsize) {
          SCOPED_TRACE(testing::Message() << "rle " << runLength << " bpc " << bpc << " big "
                                          << bigEndian << " channels " << zsize);
          SgiPicture p = makeSgiPicture(
              140, 5, zsize, [bpc](int x, int y, int z) { return pattern(x, y, z, bpc); });
          p.bpc = bpc;
          p.runLength = runLength;
          p.bigEndian = bigEndian;
          expectPicture(p, write(encodeSgi(p)));
          EXPECT_TRUE(gMessages.empty()) << lastMessage();
        }
      }
    }
  }
}

TEST_F(SgiTest, GetrowGivesWideValuesAndTheHeaderInHostOrder) {
  SgiPicture p = makeSgiPicture(3, 2, 1, [](int x, int y, int) { return 0x1234 + x + 16 * y; });
  p.bpc = 2;
  p.runLength = true;
  const std::string path = write(encodeSgi(p));
  SgiImage* image = iopen(path.c_str(), "r");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->imagic, 474);
  EXPECT_TRUE(image->swap);
  EXPECT_EQ(image->max, 65535u);
  EXPECT_STREQ(image->name, "test picture");
  unsigned short row[3];
  ASSERT_EQ(getrow(image, row, 1, 0), 3);
  EXPECT_EQ(row[0], 0x1244);
  EXPECT_EQ(row[2], 0x1246);
  ASSERT_EQ(getrow(image, row, 0, 0), 3);
  EXPECT_EQ(row[0], 0x1234);
  EXPECT_EQ(getrow(image, row, 2, 0), -1);
  EXPECT_EQ(lastMessage(), "img_seek: row number out of range\n");
  EXPECT_EQ(getrow(image, row, 0, 1), -1);
  EXPECT_EQ(iclose(image), 0);
}

TEST_F(SgiTest, OneAndTwoDimensionalFiles) {
  // dim 1: every row is the row at 512; dim 2: one channel, the channel term left out.
  SgiPicture line = makeSgiPicture(6, 3, 1, [](int x, int, int) { return 10 * x; });
  line.dim = 1;
  for (bool runLength : {false, true}) {
    line.runLength = runLength;
    expectPicture(line, write(encodeSgi(line)));
  }
  SgiPicture grey = makeSgiPicture(4, 3, 1, [](int x, int y, int) { return x + 4 * y; });
  grey.dim = 2;
  expectPicture(grey, write(encodeSgi(grey)));
  EXPECT_TRUE(gMessages.empty()) << lastMessage();
}

TEST_F(SgiTest, RunLengthRowWithCountZeroFirstReadsAsZeros) {
  SgiPicture p = makeSgiPicture(4, 2, 1, [](int x, int, int) { return 200 + x; });
  p.runLength = true;
  std::string bytes = encodeSgi(p);
  // Row 0 of the file starts right after the tables; make its first control unit end the row.
  const size_t rowStart = 512 + 8 * 2;
  ASSERT_EQ(static_cast<unsigned char>(bytes[rowStart]) & 0x7F, 4);
  bytes[rowStart] = 0;
  const std::string path = write(bytes);
  int width = 0, height = 0;
  auto data = longimagedata(path.c_str(), &width, &height);
  ASSERT_TRUE(data);
  const auto* px = reinterpret_cast<const unsigned char*>(data.get());
  for (int x = 0; x < 4; ++x) {
    EXPECT_EQ(px[4 * x], 0);
    EXPECT_EQ(px[4 * x + 3], 255);
    EXPECT_EQ(px[16 + 4 * x], 200 + x);
  }
}

TEST_F(SgiTest, RleExpandKeepsInsideItsRowAndItsInput) {
  unsigned short out[8] = {};
  const unsigned char runThenLiteral[] = {3, 9, 0x82, 5, 6, 0};
  EXPECT_EQ(rle_expand(runThenLiteral, sizeof runThenLiteral, out, 8, 1), 5);
  EXPECT_EQ(out[2], 9);
  EXPECT_EQ(out[4], 6);
  const unsigned char tooLong[] = {9, 1, 0};
  EXPECT_EQ(rle_expand(tooLong, sizeof tooLong, out, 8, 1), -1);
  const unsigned char literalTooLong[] = {0x85, 1, 2, 3, 4, 5, 0};
  EXPECT_EQ(rle_expand(literalTooLong, sizeof literalTooLong, out, 4, 1), -1);
  const unsigned char cutLiteral[] = {0x84, 1, 2};
  EXPECT_EQ(rle_expand(cutLiteral, sizeof cutLiteral, out, 8, 1), -2);
  const unsigned char cutRun[] = {4};
  EXPECT_EQ(rle_expand(cutRun, sizeof cutRun, out, 8, 1), -2);
  // Data that stop between packets end the row.
  const unsigned char noEnd[] = {2, 7};
  EXPECT_EQ(rle_expand(noEnd, sizeof noEnd, out, 8, 1), 2);
  const uint16_t wide[] = {0x82, 0x1234, 0x5678, 0};
  EXPECT_EQ(rle_expand(reinterpret_cast<const unsigned char*>(wide), sizeof wide, out, 8, 2), 2);
  EXPECT_EQ(out[1], 0x5678);
}

TEST_F(SgiTest, MissingFileOpensNothingSilently) {
  EXPECT_EQ(iopen(dir_.path("absent.sgi").c_str(), "r"), nullptr);
  EXPECT_TRUE(gMessages.empty());
  EXPECT_FALSE(longimagedata(dir_.path("absent.sgi").c_str()));
  EXPECT_EQ(lastMessage(),
            "longimagedata: can't open image file " + dir_.path("absent.sgi") + "\n");
}

TEST_F(SgiTest, OnlyReadingIsOffered) {
  SgiPicture p = makeSgiPicture(2, 2, 1, [](int, int, int) { return 1; });
  const std::string path = write(encodeSgi(p));
  EXPECT_EQ(iopen(path.c_str(), "r+"), nullptr);
  EXPECT_EQ(lastMessage(), "iopen: read/write mode not supported\n");
  EXPECT_EQ(iopen(path.c_str(), "w"), nullptr);
  EXPECT_EQ(gMessages.size(), 2u);
}

/// Damaged and hostile headers: each is refused with a message, before any allocation that its
/// sizes would ask for.
TEST_F(SgiTest, DamagedHeadersAreRefused) {
  SgiPicture base = makeSgiPicture(8, 4, 3, [](int x, int y, int z) { return x + y + z; });
  base.runLength = true;
  const std::string good = encodeSgi(base);
  auto patched = [&](size_t at, std::initializer_list<unsigned char> bytes) {
    std::string s = good;
    for (unsigned char b : bytes) s[at++] = static_cast<char>(b);
    return s;
  };
  struct Case {
    const char* what;
    std::string bytes;
    const char* message;
  };
  const Case cases[] = {
      {"bad magic", patched(0, {0x12, 0x34}), "iopen: bad magic in image file 3412\n"},
      {"short header", good.substr(0, 100), "iopen: error on read of image header\n"},
      {"empty file", "", "iopen: error on read of image header\n"},
      {"storage 2", patched(2, {2, 1}), "iopen: weird image type\n"},
      {"bpc 3", patched(2, {1, 3}), "iopen: weird bpp\n"},
      {"dim 4", patched(4, {0, 4}), "iopen: weird dim\n"},
      {"zero width", patched(6, {0, 0}), "iopen: bad image size 0 x 4 x 3\n"},
      {"zero channels", patched(10, {0, 0}), "iopen: bad image size 8 x 4 x 0\n"},
      // 65535 rows of 65535 channels: tables of 32 GiB are never allocated.
      {"huge tables", patched(8, {0xFF, 0xFF, 0xFF, 0xFF}), "iopen: error on read of rowstart\n"},
      {"tables cut", good.substr(0, 512 + 40), "iopen: error on read of rowstart\n"},
      {"row start outside", patched(512, {0x7F, 0, 0, 0}),
       "iopen: row table entry outside the file\n"},
      {"row length outside", patched(512 + 48, {0, 0x10, 0, 0}),
       "iopen: row table entry outside the file\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    gMessages.clear();
    const std::string path = write(c.bytes);
    EXPECT_EQ(iopen(path.c_str(), "r"), nullptr);
    EXPECT_EQ(lastMessage(), c.message);
    EXPECT_FALSE(longimagedata(path.c_str()));
  }
}

TEST_F(SgiTest, VerbatimDataMustBeInTheFile) {
  SgiPicture p = makeSgiPicture(8, 4, 3, [](int, int, int) { return 5; });
  std::string bytes = encodeSgi(p);
  SgiImage* whole = iopen(write(bytes).c_str(), "r");
  EXPECT_NE(whole, nullptr);
  iclose(whole);
  EXPECT_EQ(iopen(write(bytes.substr(0, bytes.size() - 1)).c_str(), "r"), nullptr);
  // 65535 x 65535 x 3 claimed by a file of a few hundred bytes.
  bytes[6] = bytes[7] = bytes[8] = bytes[9] = static_cast<char>(0xFF);
  EXPECT_EQ(iopen(write(bytes).c_str(), "r"), nullptr);
  EXPECT_EQ(lastMessage(), "iopen: image data beyond end of file\n");
}

TEST_F(SgiTest, DimensionsBeyondTheLimitAreRefused) {
  SgiPicture p = makeSgiPicture(120, 2, 1, [](int, int, int) { return 5; });
  const std::string path = write(encodeSgi(p));
  setSgiDimensionLimit(100);
  EXPECT_EQ(iopen(path.c_str(), "r"), nullptr);
  EXPECT_EQ(lastMessage(), "iopen: bad image size 120 x 2 x 1\n");
  setSgiDimensionLimit(120);
  SgiImage* image = iopen(path.c_str(), "r");
  EXPECT_NE(image, nullptr);
  iclose(image);
}

TEST_F(SgiTest, DamagedRowsFailTheRead) {
  SgiPicture p = makeSgiPicture(6, 2, 1, [](int x, int, int) { return x; });
  p.runLength = true;
  const std::string good = encodeSgi(p);
  const size_t row0 = 512 + 16;

  std::string tooLong = good;
  tooLong[row0] = static_cast<char>(0x80 | 100);  // A literal of 100 in a row of 6.
  const std::string path = write(tooLong);
  SgiImage* image = iopen(path.c_str(), "r");
  ASSERT_NE(image, nullptr);
  unsigned short row[6];
  EXPECT_EQ(getrow(image, row, 0, 0), -1);
  EXPECT_EQ(lastMessage(), "getrow: run longer than row\n");
  EXPECT_EQ(getrow(image, row, 1, 0), 6);
  iclose(image);
  EXPECT_FALSE(longimagedata(path.c_str()));

  // A row whose length entry stops inside its last packet.
  std::string cut = good;
  SgiBytes size(true);
  size.u32(3);
  cut.replace(512 + 8, 4, size.data());
  EXPECT_FALSE(longimagedata(write(cut).c_str()));
  EXPECT_EQ(lastMessage(), "getrow: row data end inside a run\n");
}

TEST_F(SgiTest, ARowLongerThanItsBufferIsRefused) {
  // One pixel wide, with a row length entry far above what one value can need; the file is
  // made long enough for the entry to lie inside it.
  SgiPicture p = makeSgiPicture(1, 1, 1, [](int, int, int) { return 3; });
  p.runLength = true;
  std::string bytes = encodeSgi(p);
  bytes.resize(bytes.size() + 4096, '\0');
  SgiBytes size(true);
  size.u32(4000);
  bytes.replace(512 + 4, 4, size.data());
  EXPECT_FALSE(longimagedata(write(bytes).c_str()));
  EXPECT_EQ(lastMessage(), "getrow: row longer than its buffer\n");
}

TEST_F(SgiTest, WithoutAHookADamagedFileEndsTheProgram) {
  SgiPicture p = makeSgiPicture(2, 2, 1, [](int, int, int) { return 1; });
  std::string bytes = encodeSgi(p);
  bytes[0] = 0x77;
  const std::string path = write(bytes);
  setSgiErrorHook(nullptr);
  EXPECT_EXIT(longimagedata(path.c_str()), testing::ExitedWithCode(1),
              "iopen: bad magic in image file");
}

TEST(SgiHookGuard, InstallsOnlyWhenNoneIsThere) {
  setSgiErrorHook(nullptr);
  {
    ScopedSgiErrorHook guard;
    EXPECT_EQ(sgiErrorHook(), &sgiErrorToStderr);
  }
  EXPECT_EQ(sgiErrorHook(), nullptr);
  setSgiErrorHook(collect);
  {
    ScopedSgiErrorHook guard;
    EXPECT_EQ(sgiErrorHook(), &collect);
  }
  EXPECT_EQ(sgiErrorHook(), &collect);
  setSgiErrorHook(nullptr);
}

}  // namespace

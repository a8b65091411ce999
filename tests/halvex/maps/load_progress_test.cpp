// The share of a map decode as the load-status sink hears it: rising in whole percents to 100,
// with the loading screen asked for only once the load has run for over a second.
#include "halvex/core/load_progress.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/platform/perf_counter.h"
#include "halvex/core/load_status.h"
#include "halvex/maps/jpeg_image.h"
#include "halvex/maps/sgi_image.h"
#include "tests/halvex/maps/hostile_pictures.h"
#include "tests/support/scratch_dir.h"

namespace {

/// A clock that moves on by gStep counts each time it is read.
int64_t gNow = 0;
int64_t gStep = 0;
int64_t steppingClock() {
  return gNow += gStep;
}

/// The percents given, and the clock when the loading screen was asked for.
struct RecordingSink : LoadStatusSink {
  std::vector<int> percents;
  std::vector<int64_t> shownAt;
  size_t percentsAtShow = 0;
  bool open() const override { return true; }
  void status(const char*) override {}
  void show() override {
    shownAt.push_back(gNow);
    percentsAtShow = percents.size();
  }
  void hide() override {}
  void progress(int percent) override { percents.push_back(percent); }
};

TEST(LoadProgress, DecodesRiseToAHundredAndShowTheScreenAfterASecond) {
  const auto colour = [](int x, int y) { return static_cast<unsigned char>(x * 5 + y); };
  const struct {
    const char* file;
    std::string bytes;
    int msPerReading;  ///< how far the clock moves each time it is read
  } cases[] = {
      {"baseline.jpg",
       encodeJpeg(
           64, 600, 3,
           [&](int x, int y, unsigned char rgb[3]) { rgb[0] = rgb[1] = rgb[2] = colour(x, y); }),
       5},
      // More scans than libjpeg guesses: its input pass raises its limit and the share steps back.
      {"progressive.jpg", jpegWithScans(256, 256, 24), 5},
      {"map.sgi",
       encodeSgi(makeSgiPicture(40, 500, 3, [&](int x, int y, int) { return colour(x, y); })), 5},
      {"quick.jpg", jpegWithScans(64, 64, 3), 0},
  };
  ScratchDir dir;
  const int64_t second = LoadProgress::kShowAfterMs * perfFrequency() / 1000;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string path = dir.write(c.file, c.bytes);
    RecordingSink sink;
    setLoadStatusSink(&sink);
    gNow = 0;
    gStep = c.msPerReading * perfFrequency() / 1000;
    LoadProgress progress(steppingClock);
    testing::internal::CaptureStdout();  // the decoders' diagnostic lines
    JpegPicture picture;
    const bool decoded = path.back() == 'i'
                             ? longimagedata(path.c_str(), nullptr, nullptr, &progress) != nullptr
                             : decodeJpegFile(path.c_str(), picture, {}, &progress) == 1;
    testing::internal::GetCapturedStdout();
    setLoadStatusSink(nullptr);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(progress.percent(), 100);
    if (gStep == 0) {
      EXPECT_TRUE(sink.shownAt.empty() && sink.percents.empty());
      continue;
    }
    // Shown once, at the first reading past a second from the start (the clock's first reading),
    // after the share it comes up with; then the share rises to 100.
    ASSERT_EQ(sink.shownAt.size(), 1u);
    EXPECT_GT(sink.shownAt[0] - gStep, second);
    EXPECT_LE(sink.shownAt[0] - gStep, second + gStep);
    EXPECT_EQ(sink.percentsAtShow, 1u);
    ASSERT_GT(sink.percents.size(), 10u);
    EXPECT_TRUE(std::adjacent_find(sink.percents.begin(), sink.percents.end(),
                                   std::greater_equal<int>()) == sink.percents.end());
    EXPECT_EQ(sink.percents.back(), 100);
  }
}

}  // namespace

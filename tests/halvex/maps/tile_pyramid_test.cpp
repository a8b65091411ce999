// The tile pyramid of a large raster (levels, tiles of a view, stand-ins), the texture budget, and
// the tile loader's threads with a read function that sleeps or waits on a gate.
#include "halvex/maps/tile_pyramid.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>

#include "halvex/maps/texture_budget.h"
#include "halvex/maps/tile_loader.h"

/// Shows a key as level/col/row in failures.
void PrintTo(const TileKey& k, std::ostream* os) {
  *os << k.level << "/" << k.col << "/" << k.row;
}

namespace {

using std::chrono::milliseconds;

std::set<TileKey> asSet(const std::vector<TileKey>& v) {
  return {v.begin(), v.end()};
}

/// Polls `done` until it holds or 10 s pass.
template <class F>
bool waitFor(F done) {
  for (int i = 0; i < 10000 && !done(); ++i) std::this_thread::sleep_for(milliseconds(1));
  return done();
}

TEST(TilePyramid, LevelForPicksTheCoarsestSharpLevel) {
  const TilePyramid pow2({{40000, 40000}, {20000, 20000}, {10000, 10000}, {5000, 5000}});
  const TilePyramid odd({{10000, 8000}, {2564, 2051}, {1000, 800}});  // factors 1, 3.9..., 10
  struct Case {
    const TilePyramid& p;
    double ratio;
    int level;
  } cases[] = {{pow2, 0.25, 0}, {pow2, 1, 0},    {pow2, 1.99, 0}, {pow2, 2, 1},   {pow2, 3.9, 1},
               {pow2, 4, 2},    {pow2, 7.99, 2}, {pow2, 8, 3},    {pow2, 1e9, 3}, {pow2, NAN, 0},
               {odd, 3.8, 0},   {odd, 3.91, 1},  {odd, 9.99, 1},  {odd, 10, 2}};
  for (const Case& c : cases) EXPECT_EQ(c.p.levelFor(c.ratio), c.level) << c.ratio;

  // Empty levels and ones not coarser than the one before are left out.
  EXPECT_EQ(TilePyramid({{100, 100}, {0, 5}, {100, 50}, {50, 50}, {60, 20}}).levelCount(), 2);
  const TilePyramid none({{0, 100}, {50, 50}});
  std::vector<TileKey> out{{0, 0, 0}};
  none.tilesCovering(0, 0, 0, 100, 100, out);
  EXPECT_EQ(none.levelCount(), 0);
  EXPECT_TRUE(out.empty());
}

TEST(TilePyramid, TilesCoveringClipsToTheRasterAndStartsAtTheCentre) {
  const TilePyramid p({{1300, 1000}, {650, 500}});  // level 0: 3 x 2 tiles; level 1: 2 x 1
  struct Case {
    int level;
    double x0, y0, x1, y1;
    std::set<TileKey> tiles;
  } cases[] = {
      {0,
       -100,
       -100,
       5000,
       5000,
       {{0, 0, 0}, {0, 1, 0}, {0, 2, 0}, {0, 0, 1}, {0, 1, 1}, {0, 2, 1}}},
      {0, 512, 0, 1024, 512, {{0, 1, 0}}},  // exactly one tile: its far edges touch no other
      {0, 1030, 520, 1000, 500, {{0, 1, 0}, {0, 2, 0}, {0, 1, 1}, {0, 2, 1}}},  // corners swapped
      {0, 1299, 999, 1400, 1100, {{0, 2, 1}}},
      {1, 1023, 0, 1030, 10, {{1, 0, 0}, {1, 1, 0}}},  // level-1 tile edge at level-0 x 1024
      {0, 1300, 0, 2000, 500, {}},
      {0, NAN, 0, 100, 100, {}},
      {2, 0, 0, 100, 100, {}},
  };
  std::vector<TileKey> out;
  for (const Case& c : cases) {
    p.tilesCovering(c.level, c.x0, c.y0, c.x1, c.y1, out);
    EXPECT_EQ(asSet(out), c.tiles) << c.x0 << "," << c.y0;
    EXPECT_EQ(out.size(), c.tiles.size());
  }

  // 10 x 10 tiles, a view centred on tile (6, 4): it comes first, the four beside it next, and no
  // tile is farther from the centre than one after it.
  const TilePyramid big({{5120, 5120}});
  big.tilesCovering(0, 6.5 * 512 - 3500, 4.5 * 512 - 1500, 6.5 * 512 + 3500, 4.5 * 512 + 1500, out);
  ASSERT_EQ(out.size(), 10u * 7u);
  EXPECT_EQ(out[0], (TileKey{0, 6, 4}));
  EXPECT_EQ(asSet({out.begin() + 1, out.begin() + 5}),
            (std::set<TileKey>{{0, 5, 4}, {0, 7, 4}, {0, 6, 3}, {0, 6, 5}}));
  auto distance = [](const TileKey& k) { return std::hypot(k.col - 6.0, k.row - 4.0); };
  for (size_t i = 1; i < out.size(); ++i) EXPECT_LE(distance(out[i - 1]), distance(out[i]));
}

TEST(TilePyramid, EdgeTilesAreSmallerAndMapToTheRastersEdge) {
  const TilePyramid p({{1300, 1000}, {650, 500}});
  struct Case {
    TileKey key;
    int64_t x, y;
    int w, h;
    PixelRect level0;
  } cases[] = {
      {{0, 0, 0}, 0, 0, 512, 512, {0, 0, 512, 512}},
      {{0, 2, 1}, 1024, 512, 276, 488, {1024, 512, 1300, 1000}},
      {{1, 1, 0}, 512, 0, 138, 500, {1024, 0, 1300, 1000}},
      {{1, 2, 0}, 0, 0, 0, 0, {0, 0, 0, 0}},  // outside
      {{0, -1, 0}, 0, 0, 0, 0, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    const TileWindow w = p.windowOf(c.key);
    const PixelRect r = p.level0RectOf(c.key);
    EXPECT_EQ(std::make_tuple(w.x, w.y, w.w, w.h), std::make_tuple(c.x, c.y, c.w, c.h));
    EXPECT_EQ(std::make_tuple(r.x0, r.y0, r.x1, r.y1),
              std::make_tuple(c.level0.x0, c.level0.y0, c.level0.x1, c.level0.y1));
  }
}

TEST(TilePyramid, CoarserCoversAreOneParentOrUpToFourWithOddFactors) {
  const TilePyramid pow2({{40000, 40000}, {20000, 20000}, {10000, 10000}});
  const TilePyramid odd({{40000, 40000}, {10256, 10256}});  // factor 3.9002
  struct Case {
    const TilePyramid& p;
    TileKey key;
    int coarser;
    std::set<TileKey> covers;
  } cases[] = {
      {pow2, {0, 3, 5}, 1, {{1, 1, 2}}},
      {pow2, {0, 3, 5}, 2, {{2, 0, 1}}},
      {pow2, {1, 39, 39}, 2, {{2, 19, 19}}},  // edge tiles
      {odd, {0, 7, 0}, 1, {{1, 1, 0}, {1, 2, 0}}},
      {odd, {0, 7, 7}, 1, {{1, 1, 1}, {1, 2, 1}, {1, 1, 2}, {1, 2, 2}}},
      {odd, {0, 0, 0}, 1, {{1, 0, 0}}},
      {pow2, {1, 0, 0}, 1, {}},  // not coarser
      {pow2, {0, 0, 0}, 3, {}},
  };
  std::vector<TileKey> out;
  for (const Case& c : cases) {
    c.p.coversAt(c.key, c.coarser, out);
    EXPECT_EQ(asSet(out), c.covers) << c.key.level << " " << c.key.col << "," << c.key.row;
  }
}

TEST(TilePyramid, FramePlanDrawsCoarserTilesWhileTheWantedOnesLoad) {
  const TilePyramid p({{4096, 4096}, {2048, 2048}, {1024, 1024}});
  const std::set<TileKey> view = {{0, 2, 2}, {0, 3, 2}, {0, 2, 3}, {0, 3, 3}};
  struct Case {
    std::set<TileKey> resident;
    std::vector<TileKey> draw;
    size_t requests;
  } cases[] = {
      {{}, {}, 4},
      {{{2, 0, 0}}, {{2, 0, 0}}, 4},  // one stand-in for all four
      {{{2, 0, 0}, {1, 1, 1}, {0, 2, 2}}, {{1, 1, 1}, {0, 2, 2}}, 3},
      {{{2, 0, 0}, {0, 3, 3}}, {{2, 0, 0}, {0, 3, 3}}, 3},
      {view, {}, 0},
  };
  FramePlan plan;
  for (const Case& c : cases) {
    p.planFrame(
        1024, 1024, 2048, 2048, 1.0, [&c](const TileKey& k) { return c.resident.count(k) != 0; },
        plan);
    EXPECT_EQ(plan.level, 0);
    EXPECT_EQ(asSet(plan.wanted), view);
    EXPECT_EQ(plan.request.size(), c.requests);
    for (const TileKey& k : plan.request) EXPECT_EQ(c.resident.count(k), 0u);
    EXPECT_EQ(plan.draw, c.resident == view ? plan.wanted : c.draw);
  }
  // Zoomed out, the coarsest level alone.
  p.planFrame(
      -1e6, -1e6, 1e6, 1e6, 4.5, [](const TileKey&) { return false; }, plan);
  EXPECT_EQ(plan.level, 2);
  EXPECT_EQ(plan.request, (std::vector<TileKey>{{2, 0, 0}, {2, 1, 0}, {2, 0, 1}, {2, 1, 1}}));
}

TEST(TextureBudget, ReleasesTheLeastRecentlyDrawnButNeverThisFramesTiles) {
  TextureBudget budget(300);
  const TileKey a{0, 0, 0}, b{0, 1, 0}, c{0, 2, 0}, d{0, 3, 0};
  budget.add(a, 100, 1);
  budget.add(b, 100, 2);
  budget.add(c, 100, 3);
  budget.touch(a, 4);
  budget.add(d, 100, 4);
  EXPECT_EQ(budget.evict(4), std::vector<TileKey>{b});
  EXPECT_EQ(budget.bytes(), 300u);
  EXPECT_FALSE(budget.resident(b));

  // All on screen and above the budget: nothing goes, and it says so.
  for (const TileKey& k : {a, c, d}) budget.touch(k, 5);
  budget.add(b, 150, 5);
  EXPECT_TRUE(budget.evict(5).empty());
  EXPECT_TRUE(budget.overBudget());
  EXPECT_EQ(budget.overflows(), 1u);
  budget.touch(b, 6);
  budget.touch(c, 6);
  EXPECT_EQ(asSet(budget.evict(6)), (std::set<TileKey>{a, d}));
  EXPECT_FALSE(budget.overBudget());
  budget.add(b, 50, 7);  // a new size replaces the old
  EXPECT_EQ(budget.bytes(), 150u);
  budget.setBudget(0);
  budget.evict(8);
  EXPECT_EQ(budget.bytes(), 0u);

  // 1e5 tiles: each operation stays cheap.
  budget.setBudget(50000);
  for (int64_t i = 0; i < 100000; ++i) budget.add({0, i, 0}, 1, uint64_t(i / 100));
  for (int64_t i = 0; i < 100000; i += 2) budget.touch({0, i, 0}, 2000);
  EXPECT_EQ(budget.evict(2000).size(), 50000u);
  EXPECT_TRUE(budget.resident({0, 99998, 0}));
}

/// Records which keys a read function was called with.
struct ReadLog {
  std::mutex mutex;
  std::map<TileKey, int> reads;
  int count(const TileKey& k) {
    std::lock_guard<std::mutex> lock(mutex);
    return reads[k];
  }
  std::atomic<size_t> total{0};
  /// A read that logs `key`, sleeps 2 ms and makes a 2 x 2 tile whose first byte is its column.
  bool read(const TileKey& key, TileImage& image) {
    {
      std::lock_guard<std::mutex> lock(mutex);
      ++reads[key];
    }
    ++total;
    std::this_thread::sleep_for(milliseconds(2));
    image.width = image.height = 2;
    image.rgba.assign(16, uint8_t(key.col));
    return true;
  }
};

TEST(TileLoader, EveryRequestedTileArrivesOnceWithinTheFinishedBound) {
  ReadLog log;
  TileLoader loader(
      2, [&log](const TileKey& k, TileImage& i, std::string*) { return log.read(k, i); }, 4);
  std::atomic<int> wakes{0};
  loader.setWake([&wakes] { ++wakes; });
  for (int64_t i = 0; i < 40; ++i) loader.request({0, i, 0}, int(i));
  loader.request({0, 39, 0}, -1);  // re-prioritised, not queued twice
  ASSERT_TRUE(waitFor([&] { return loader.finished() == 4; }));
  std::this_thread::sleep_for(milliseconds(20));
  EXPECT_EQ(log.total.load(), 4u);  // nothing more is read while 4 wait to be taken
  EXPECT_EQ(log.count({0, 39, 0}), 1);
  std::vector<std::pair<TileKey, TileImage>> got;
  for (int64_t i = 0; i < 40; ++i) loader.request({0, i, 0}, 0);  // queued, loading or finished
  ASSERT_TRUE(waitFor([&] {
    loader.takeFinished(got);
    return got.size() >= 40;
  }));
  EXPECT_TRUE(waitFor([&] { return wakes == 40; }));
  loader.takeFinished(got);
  EXPECT_EQ(got.size(), 40u);
  for (const auto& g : got) {
    EXPECT_EQ(log.count(g.first), 1);
    EXPECT_EQ(g.second.rgba[0], uint8_t(g.first.col));
  }
  EXPECT_EQ(loader.queued() + loader.loading() + loader.finished(), 0u);
}

/// A read function that waits until the gate opens.
struct Gate {
  std::mutex mutex;
  std::condition_variable opened;
  bool open = false;
  void pass() {
    std::unique_lock<std::mutex> lock(mutex);
    opened.wait(lock, [this] { return open; });
  }
  void openNow() {
    std::lock_guard<std::mutex> lock(mutex);
    open = true;
    opened.notify_all();
  }
};

TEST(TileLoader, DroppedRequestsAreNotRead) {
  ReadLog log;
  Gate gate;
  TileLoader loader(2, [&](const TileKey& k, TileImage& i, std::string*) {
    gate.pass();
    return log.read(k, i);
  });
  for (int64_t i = 0; i < 10; ++i) loader.request({0, i, 0}, int(i));
  const bool busy = waitFor([&] { return loader.loading() == 2; });
  if (!busy) gate.openNow();
  ASSERT_TRUE(busy);
  loader.retainOnly([](const TileKey& k) { return k.col % 2 == 0; });
  EXPECT_EQ(loader.queued(), 4u);  // 2, 4, 6, 8
  loader.setWanted({{0, 8, 0}, {0, 5, 0}});
  EXPECT_EQ(loader.queued(), 2u);
  gate.openNow();
  std::vector<std::pair<TileKey, TileImage>> got;
  ASSERT_TRUE(waitFor([&] {
    loader.takeFinished(got);
    return got.size() == 4;
  }));
  std::set<TileKey> read;
  for (const auto& g : got) read.insert(g.first);
  EXPECT_EQ(read, (std::set<TileKey>{{0, 0, 0}, {0, 1, 0}, {0, 5, 0}, {0, 8, 0}}));
  EXPECT_EQ(log.total.load(), 4u);
}

TEST(TileLoader, FailedReadsAreRememberedUntilForgotten) {
  std::atomic<int> reads{0};
  TileLoader loader(2, [&reads](const TileKey& k, TileImage& image, std::string* error) {
    ++reads;
    if (k.col == 0) {
      *error = "damaged tile";
      return false;
    }
    image.width = image.height = 2;
    image.rgba.resize(k.col == 1 ? 15 : 16);  // one byte short, or whole
    return true;
  });
  std::vector<std::pair<TileKey, std::string>> failures;
  for (int64_t i = 0; i < 3; ++i) loader.request({0, i, 0}, 0);
  ASSERT_TRUE(waitFor([&] {
    loader.takeFailures(failures);
    return failures.size() == 2 && loader.finished() == 1;
  }));
  std::map<int64_t, std::string> errors;
  for (const auto& f : failures) errors[f.first.col] = f.second;
  EXPECT_EQ(errors[0], "damaged tile");
  EXPECT_EQ(errors[1], "the tile read has the wrong size");
  loader.request({0, 0, 0}, 0);
  loader.request({0, 1, 0}, 0);
  EXPECT_EQ(loader.queued(), 0u);
  loader.forgetFailures();
  loader.request({0, 0, 0}, 0);
  ASSERT_TRUE(waitFor([&] { return reads == 4; }));
}

TEST(TileLoader, DestructionWhileReadingFinishesTheReadsAndStartsNoOther) {
  std::atomic<int> started{0}, ended{0}, wakes{0};
  Gate gate;
  std::thread opener;
  {
    TileLoader loader(2, [&](const TileKey&, TileImage& image, std::string*) {
      ++started;
      gate.pass();
      image.width = image.height = 1;
      image.rgba.resize(4);
      ++ended;
      return true;
    });
    loader.setWake([&wakes] { ++wakes; });
    for (int64_t i = 0; i < 20; ++i) loader.request({0, i, 0}, 0);
    const bool busy = waitFor([&] { return loader.loading() == 2; });
    if (!busy) gate.openNow();
    ASSERT_TRUE(busy);
    opener = std::thread([&gate] {
      std::this_thread::sleep_for(milliseconds(500));
      gate.openNow();
    });
  }
  EXPECT_EQ(started.load(), 2);
  EXPECT_EQ(ended.load(), 2);
  EXPECT_EQ(wakes.load(), 0);
  opener.join();
}

}  // namespace

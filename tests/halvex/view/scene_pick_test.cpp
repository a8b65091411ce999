// Choosing the picked name from selection hit records, and the pick name registry.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "halvex/view/scene.h"

namespace {

constexpr uint32_t kNear = 0x10000000u;  ///< Minimum depths as the selection buffer holds them.
constexpr uint32_t kMid = 0x40000000u;
constexpr uint32_t kFar = 0x80000000u;

/// Appends one hit record: count, minimum depth, maximum depth, names.
void addHit(std::vector<uint32_t>& buffer, uint32_t minDepth, std::vector<uint32_t> names) {
  buffer.push_back(static_cast<uint32_t>(names.size()));
  buffer.push_back(minDepth);
  buffer.push_back(minDepth);
  buffer.insert(buffer.end(), names.begin(), names.end());
}

uint32_t choose(const std::vector<uint32_t>& buffer, int hits) {
  return chooseHit(buffer.data(), static_cast<int>(buffer.size()), hits);
}

TEST(ChooseHit, NearestNamedHitWins) {
  std::vector<uint32_t> buffer;
  addHit(buffer, kFar, {11});
  addHit(buffer, kNear, {22});
  addHit(buffer, kMid, {33});
  EXPECT_EQ(choose(buffer, 3), 22u);
}

TEST(ChooseHit, NameZeroIsIgnoredEvenWhenNearest) {
  std::vector<uint32_t> buffer;
  addHit(buffer, kMid, {44});
  addHit(buffer, kNear, {0});
  EXPECT_EQ(choose(buffer, 2), 44u);
  std::vector<uint32_t> onlyZero;
  addHit(onlyZero, kNear, {0});
  EXPECT_EQ(choose(onlyZero, 1), 0u);
}

TEST(ChooseHit, EqualDepthKeepsTheFirst) {
  std::vector<uint32_t> buffer;
  addHit(buffer, kMid, {5});
  addHit(buffer, kMid, {6});
  EXPECT_EQ(choose(buffer, 2), 5u);
}

TEST(ChooseHit, EmptyRecordsStillTakeThreeWords) {
  std::vector<uint32_t> buffer;
  addHit(buffer, kNear, {});
  addHit(buffer, kMid, {7, 8});
  EXPECT_EQ(choose(buffer, 2), 7u);
}

TEST(ChooseHit, OverflowAndNoHitsGiveNothing) {
  std::vector<uint32_t> buffer;
  addHit(buffer, kNear, {9});
  EXPECT_EQ(choose(buffer, -1), 0u);
  EXPECT_EQ(choose(buffer, 0), 0u);
  EXPECT_EQ(chooseHit(nullptr, 0, 3), 0u);
}

TEST(ChooseHit, RecordsRunningPastTheBufferEndTheWalk) {
  std::vector<uint32_t> buffer;
  addHit(buffer, kMid, {12});
  // Claims 1000 names in a buffer that ends after one.
  buffer.push_back(1000);
  buffer.push_back(kNear);
  buffer.push_back(kNear);
  buffer.push_back(13);
  EXPECT_EQ(choose(buffer, 2), 12u);
  // More hits announced than the buffer holds.
  EXPECT_EQ(choose(buffer, 50), 12u);
}

TEST(PickNames, UniqueNonZeroAndMappedBack) {
  PickNames names;
  int a = 0, b = 0;
  const uint32_t nameA = names.nameFor(&a);
  const uint32_t nameB = names.nameFor(&b);
  EXPECT_NE(nameA, 0u);
  EXPECT_NE(nameB, 0u);
  EXPECT_NE(nameA, nameB);
  EXPECT_EQ(names.nameFor(&a), nameA);
  EXPECT_EQ(names.objectFor(nameA), &a);
  EXPECT_EQ(names.objectFor(nameB), &b);
  EXPECT_EQ(names.objectFor(0), nullptr);
  EXPECT_EQ(names.nameFor(nullptr), 0u);

  names.forget(&a);
  EXPECT_EQ(names.objectFor(nameA), nullptr);
  EXPECT_EQ(names.size(), 1u);
  const uint32_t again = names.nameFor(&a);
  EXPECT_NE(again, nameB);
  EXPECT_EQ(names.objectFor(again), &a);
  names.clear();
  EXPECT_EQ(names.objectFor(nameB), nullptr);
}

}  // namespace

// Which node labels are drawn when they crowd each other.
#include "halvex/view/label_declutter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <random>
#include <vector>

namespace {

constexpr int kView = 800;

LabelCandidate box(int id, float x, float y, LabelRole role = LabelRole::kOther, int rank = 0) {
  return {id, role, rank, x, y, x + 180, y + 60};
}

bool overlap(const LabelCandidate& a, const LabelCandidate& b) {
  return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

TEST(LabelDeclutter, CrowdOfLabelsLeavesNoOverlapAndNoNeedlessGap) {
  constexpr int kPointer = 500;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> at(0, kView - 180);
  std::vector<LabelCandidate> labels;
  for (int id = 0; id <= 1000; ++id) {
    const LabelRole role = id == 1               ? LabelRole::kTarget
                           : id == 2             ? LabelRole::kChase
                           : id <= 11 && id >= 3 ? LabelRole::kClose
                                                 : LabelRole::kOther;
    labels.push_back(box(id, at(random), at(random), role, id - 2));
  }
  LabelDeclutter declutter;
  for (int frame = 0; frame < 3; ++frame) {
    const std::vector<bool>& placed = declutter.place(labels, kView, kView, true, kPointer);
    ASSERT_EQ(placed.size(), labels.size());
    EXPECT_TRUE(placed[kPointer] && placed[1]);
    int count = 0;
    for (size_t a = 0; a < labels.size(); ++a) {
      bool blocked = false;
      for (size_t b = 0; b < labels.size(); ++b) {
        if (a == b || !placed[b] || !overlap(labels[a], labels[b])) continue;
        blocked = true;
        // Only the two labels that are always drawn may overlap each other.
        EXPECT_TRUE(!placed[a] || (a == 1 && b == kPointer) || (a == kPointer && b == 1)) << a;
      }
      EXPECT_TRUE(placed[a] || blocked) << a;  // a label left out has a placed one in its way
      count += placed[a];
    }
    EXPECT_GT(count, 20);
    for (LabelCandidate& label : labels) label.x0 += 1, label.x1 += 1;  // a slow drift
  }
  const std::vector<bool>& all = declutter.place(labels, kView, kView, false, kPointer);
  EXPECT_EQ(std::vector<bool>(all), std::vector<bool>(labels.size(), true));
}

TEST(LabelDeclutter, PriorityDecidesBetweenTwoOverlappingLabels) {
  using R = LabelRole;
  const float nan = std::nanf("");
  struct Case {
    LabelCandidate a, b;
    int pointer;
    bool aPlaced, bPlaced;
  } cases[] = {
      {box(9, 0, 0), box(3, 50, 20), -1, false, true},             // lower id first
      {box(9, 0, 0, R::kChase), box(3, 50, 20), -1, true, false},  // chase before others
      {box(9, 0, 0, R::kClose, 2), box(8, 50, 20, R::kClose, 1), -1, false, true},  // by rank
      {box(9, 0, 0, R::kClose, 1), box(3, 50, 20, R::kChase), -1, false, true},
      {box(9, 0, 0, R::kTarget), box(3, 50, 20, R::kChase), -1, true, false},
      {box(9, 0, 0), box(3, 50, 20, R::kTarget), 9, true, true},  // both always drawn
      {box(9, 0, 0), box(3, 50, 20, R::kChase), 9, true, false},  // pointer first
      {box(9, 0, 0), box(3, 180, 60), -1, true, true},            // edges touch only
      {box(9, -300, 0), box(3, -250, 20), -1, true, true},        // outside the view
      {box(9, 900, 900), box(3, 50, 20), -1, true, true},
      {{9, R::kOther, 0, 200, 80, 20, 0}, box(3, 50, 20), -1, false, true},    // corners swapped
      {{3, R::kOther, 0, nan, 0, 100, 100}, box(9, 50, 20), -1, false, true},  // left out
      {box(INT_MIN, 0, 0, R::kReport), box(9, 50, 20), -1, false, true},  // nodes before reports
      {box(INT_MIN + 7, 0, 0, R::kReport), box(INT_MIN, 50, 20, R::kReport), -1, false, true},
  };
  for (const Case& c : cases) {
    LabelDeclutter declutter;
    const std::vector<bool>& placed = declutter.place({c.a, c.b}, kView, kView, true, c.pointer);
    EXPECT_EQ(placed[0], c.aPlaced) << c.a.id << " over " << c.b.id << " x " << c.a.x0;
    EXPECT_EQ(placed[1], c.bPlaced) << c.a.id << " over " << c.b.id << " x " << c.a.x0;
  }
}

TEST(LabelDeclutter, LabelDrawnLastFrameKeepsItsPlace) {
  using Labels = std::vector<LabelCandidate>;
  const Labels five = {box(5, 100, 100)};
  const Labels both = {box(3, 150, 120), box(5, 100, 100)};
  const Labels closeFirst = {box(3, 150, 120, LabelRole::kClose, 1), box(5, 100, 100)};
  // Id 3 comes in over id 5 and stays out while 5 is drawn; a close vehicle's label beats that.
  const std::pair<const Labels*, std::vector<bool>> frames[] = {
      {&five, {true}},        {&both, {false, true}},
      {&both, {false, true}}, {&closeFirst, {true, false}},
      {&both, {true, false}}, {&five, {true}}};
  LabelDeclutter declutter;
  for (const auto& [labels, placed] : frames) {
    EXPECT_EQ(std::vector<bool>(declutter.place(*labels, kView, kView, true)), placed);
  }
  declutter.forget();
  EXPECT_EQ(std::vector<bool>(declutter.place(both, kView, kView, true)),
            (std::vector<bool>{true, false}));
  // A huge or empty view is cut, never a huge grid.
  EXPECT_TRUE(declutter.place(both, 1 << 30, -4, true)[0]);
}

}  // namespace

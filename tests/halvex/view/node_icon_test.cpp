// Node icon appearances over the pulse's second and the choice of a node's icons.
#include "halvex/view/node_icon.h"

#include <gtest/gtest.h>

#include "halvex/tracking/node_record.h"
#include "tests/halvex/view/scene_test_support.h"

namespace {

constexpr int64_t kFrequency = 1000;

NodeIconDef pulsingDefinition() {
  NodeIconDef def;
  def.kind = NodeIconKind::Default;
  def.look[0] = {2.0, 1.0, 0.0, 0.0};  // normal: red
  def.look[1] = {4.0, 0.0, 1.0, 0.0};  // idle: green
  def.look[2] = {6.0, 0.0, 0.0, 1.0};  // lost: blue
  return def;
}

void expectLook(const NodeIconLook& look, double size, double r, double g, double b) {
  EXPECT_DOUBLE_EQ(look.size, size);
  EXPECT_DOUBLE_EQ(look.red, r);
  EXPECT_DOUBLE_EQ(look.green, g);
  EXPECT_DOUBLE_EQ(look.blue, b);
}

TEST(NodeIconAppearance, AliveNeverPulses) {
  NodeIcon icon(pulsingDefinition());
  icon.setStatus(0);
  for (int64_t counter : {0, 100, 250, 500, 999, 12345}) {
    expectLook(icon.appearance(counter, kFrequency), 2.0, 1.0, 0.0, 0.0);
  }
}

TEST(NodeIconAppearance, LostPulsesOnceASecond) {
  NodeIcon icon(pulsingDefinition());
  EXPECT_EQ(icon.status(), 2);  // lost until told otherwise
  // First quarter: the lost look; then half a second back to normal; last quarter normal.
  expectLook(icon.appearance(7000, kFrequency), 6.0, 0.0, 0.0, 1.0);
  expectLook(icon.appearance(7250, kFrequency), 6.0, 0.0, 0.0, 1.0);
  expectLook(icon.appearance(7500, kFrequency), 4.0, 0.5, 0.0, 0.5);
  expectLook(icon.appearance(7750, kFrequency), 2.0, 1.0, 0.0, 0.0);
  expectLook(icon.appearance(7999, kFrequency), 2.0, 1.0, 0.0, 0.0);
}

TEST(NodeIconAppearance, IdleUsesItsOwnLook) {
  NodeIcon icon(pulsingDefinition());
  icon.setStatus(1);
  expectLook(icon.appearance(0, kFrequency), 4.0, 0.0, 1.0, 0.0);
  expectLook(icon.appearance(500, kFrequency), 3.0, 0.5, 0.5, 0.0);
}

TEST(NodeIconAppearance, OddInputsStaySane) {
  NodeIcon icon(pulsingDefinition());
  // A status no icon has draws as lost, as the node table reads such a state record.
  icon.setStatus(7);
  expectLook(icon.appearance(0, kFrequency), 6.0, 0.0, 0.0, 1.0);
  icon.setStatus(-1);
  expectLook(icon.appearance(0, kFrequency), 6.0, 0.0, 0.0, 1.0);
  // No counter frequency: the status look, without dividing by zero.
  icon.setStatus(2);
  expectLook(icon.appearance(123, 0), 6.0, 0.0, 0.0, 1.0);
  // A negative counter still falls into the current second.
  expectLook(icon.appearance(-250, kFrequency), 2.0, 1.0, 0.0, 0.0);
}

/// Node graphics read from `text`.
NodeGraphics graphicsFrom(const std::string& name, const std::string& text) {
  NodeGraphics graphics;
  EXPECT_TRUE(graphics.read(scene_test::writeScratchFile(name, text)));
  return graphics;
}

TEST(NodeIconSet, BaseIconIsOwnElseLastDefaultElseFirst) {
  const NodeGraphics graphics = graphicsFrom("set.def",
                                             "T t.jpg 1\n"
                                             "D d1.jpg 2\n"
                                             "ID7 i7.jpg 3\n"
                                             "D d2.jpg 4\n"
                                             "P___2 p2.jpg 5\n");
  NodeIconSet icons(graphics);
  ASSERT_EQ(icons.count(), 5);
  EXPECT_EQ(icons.role(0)->imagePath(), "d2.jpg");
  EXPECT_EQ(icons.role(1)->imagePath(), "t.jpg");
  EXPECT_EQ(icons.role(2), nullptr);
  EXPECT_EQ(icons.role(4)->imagePath(), "p2.jpg");
  EXPECT_EQ(icons.role(-1), nullptr);
  EXPECT_EQ(icons.role(icons.roleCount()), nullptr);

  NodeRecord own(7, "seven", 0, 1000, 2000);
  own.setIcon(graphics.individualFor(7));
  EXPECT_EQ(icons.baseFor(own)->imagePath(), "i7.jpg");
  NodeRecord plain(8, "eight", 1, 1000, 2000);
  EXPECT_EQ(icons.baseFor(plain)->imagePath(), "d2.jpg");
}

TEST(NodeIconSet, WithoutDefaultTheFirstIconServes) {
  const NodeGraphics graphics = graphicsFrom("nodefault.def", "T t.jpg 1\nC c.jpg 2\n");
  NodeIconSet icons(graphics);
  NodeRecord node(3, "three", 0, 1000, 2000);
  EXPECT_EQ(icons.baseFor(node)->imagePath(), "t.jpg");
  // A definition of some other graphics is not one of this set's icons.
  NodeIconDef stranger;
  node.setIcon(&stranger);
  EXPECT_EQ(icons.baseFor(node)->imagePath(), "t.jpg");

  NodeIconSet empty;
  EXPECT_EQ(empty.baseFor(node), nullptr);
  EXPECT_EQ(empty.icon(0), nullptr);
}

}  // namespace

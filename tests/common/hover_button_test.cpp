// The hover button with a real pointer under the virtual X server: it sinks while the pointer
// is over it, rises again when the pointer leaves, and is redrawn each time.
#include "common/popup/hover_button.h"

#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <memory>

#include "tests/common/window_test_support.h"

namespace {

using window_test::pixelAt;
using window_test::pointerTo;
using window_test::showAndWait;

constexpr int kWindowX = 100;
constexpr int kWindowY = 100;
constexpr int kButtonX = 40;
constexpr int kButtonY = 30;
constexpr int kButtonW = 120;
constexpr int kButtonH = 40;

struct Calls {
  int count = 0;
  static void record(Fl_Widget*, void* self) { ++static_cast<Calls*>(self)->count; }
};

class HoverButtonTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fl_open_display();
    ASSERT_TRUE(pointerTo(1000, 800));
    window_ = std::make_unique<Fl_Window>(kWindowX, kWindowY, 200, 100);
    button_ = new HoverButton(kButtonX, kButtonY, kButtonW, kButtonH, "next map ->");
    button_->callback(Calls::record, &calls_);
    window_->end();
    ASSERT_TRUE(showAndWait(window_.get()));
  }

  /// The pixel just inside the button's top left corner, where the frame's light or dark
  /// edge is drawn.
  unsigned long edgePixel() { return pixelAt(window_.get(), kButtonX + 1, kButtonY + 1); }
  void pointerOnButton() {
    ASSERT_TRUE(pointerTo(kWindowX + kButtonX + kButtonW / 2, kWindowY + kButtonY + kButtonH / 2));
  }

  std::unique_ptr<Fl_Window> window_;
  HoverButton* button_ = nullptr;  ///< Owned by the window.
  Calls calls_;
};

TEST_F(HoverButtonTest, SinksWhileThePointerIsOverIt) {
  EXPECT_EQ(button_->box(), FL_UP_BOX);
  const unsigned long raised = edgePixel();
  pointerOnButton();
  EXPECT_EQ(button_->box(), FL_DOWN_BOX);
  const unsigned long sunken = edgePixel();
  EXPECT_NE(sunken, raised) << "redrawn sunken";
  // Leaving onto the window around it.
  ASSERT_TRUE(pointerTo(kWindowX + 10, kWindowY + 10));
  EXPECT_EQ(button_->box(), FL_UP_BOX);
  EXPECT_EQ(edgePixel(), raised);
  // Leaving the window altogether.
  pointerOnButton();
  EXPECT_EQ(button_->box(), FL_DOWN_BOX);
  ASSERT_TRUE(pointerTo(1000, 800));
  EXPECT_EQ(button_->box(), FL_UP_BOX);
  EXPECT_EQ(edgePixel(), raised);
  EXPECT_EQ(calls_.count, 0);
}

TEST_F(HoverButtonTest, StillAButton) {
  pointerOnButton();
  ASSERT_TRUE(window_test::xdo("click 1"));
  EXPECT_TRUE(window_test::waitUntil([this] { return calls_.count == 1; }));
  EXPECT_EQ(button_->box(), FL_DOWN_BOX);
  EXPECT_EQ(button_->handle(FL_ENTER), 1);
  EXPECT_EQ(button_->handle(FL_LEAVE), 1);
}

}  // namespace

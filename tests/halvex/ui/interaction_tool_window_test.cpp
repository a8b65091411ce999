// The interaction tool window with a real pointer under the virtual X server: its layout, the
// three exclusive mode toggles, the buttons that do nothing, the drag box that moves the
// window, and the button images.
#include "halvex/ui/interaction_tool_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "halvex/ui/interaction_tool_pixmaps.h"
#include "tests/common/window_test_support.h"

namespace {

using window_test::pointerTo;
using window_test::pump;
using window_test::showAndWait;
using window_test::xdo;
using Slot = InteractionToolWindow::Slot;

constexpr int kStartX = 400;
constexpr int kStartY = 300;
constexpr int kStripHeight = 20;

class InteractionTool : public ::testing::Test {
 protected:
  void SetUp() override {
    fl_open_display();
    ASSERT_TRUE(pointerTo(1000, 800));
    window_ = std::make_unique<InteractionToolWindow>(kStartX, kStartY);
    window_->setModeCallback(recordMode, &modes_);
    ASSERT_TRUE(showAndWait(window_.get()));
  }
  void TearDown() override { xdo("mouseup 1"); }

  static void recordMode(int mode, void* modes) {
    static_cast<std::vector<int>*>(modes)->push_back(mode);
  }

  /// Clicks the centre of a button and lets the events arrive.
  void click(Slot slot) {
    const Fl_Button* b = window_->button(slot);
    ASSERT_TRUE(pointerTo(window_->x() + b->x() + b->w() / 2, window_->y() + b->y() + b->h() / 2));
    ASSERT_TRUE(xdo("click 1"));
    pump(0.1);
  }

  /// The slots whose buttons are on.
  std::vector<int> onSlots() const {
    std::vector<int> on;
    for (int i = 0; i < InteractionToolWindow::kSlotCount; ++i) {
      if (window_->button(static_cast<Slot>(i))->value()) on.push_back(i);
    }
    return on;
  }

  std::unique_ptr<InteractionToolWindow> window_;
  std::vector<int> modes_;  ///< Modes reported by the mode callback.
};

TEST_F(InteractionTool, Layout) {
  EXPECT_EQ(window_->w(), 59);
  EXPECT_EQ(window_->h(), 106);
  EXPECT_EQ(window_->border(), 0);
  const Fl_Group* strip = window_->dragStrip();
  EXPECT_EQ(strip->x(), 0);
  EXPECT_EQ(strip->y(), 0);
  EXPECT_EQ(strip->w(), 58);
  EXPECT_EQ(strip->h(), kStripHeight);
  const Kf_dragBox* drag = window_->dragBox();
  EXPECT_EQ(drag->parent(), strip);
  EXPECT_EQ(drag->x(), 3);
  EXPECT_EQ(drag->y(), 3);
  EXPECT_EQ(drag->w(), 52);
  EXPECT_EQ(drag->h(), 14);

  // Two columns of three below the strip, inside the window, none overlapping.
  const Fl_Button* left[] = {window_->button(InteractionToolWindow::kNavigationSlot),
                             window_->button(InteractionToolWindow::kDataSetSlot),
                             window_->button(InteractionToolWindow::kSpareLeftSlot)};
  const Fl_Button* right[] = {window_->button(InteractionToolWindow::kMapEditSlot),
                              window_->button(InteractionToolWindow::kSpareMiddleSlot),
                              window_->button(InteractionToolWindow::kSpareBottomSlot)};
  for (int row = 0; row < 3; ++row) {
    for (const Fl_Button* b : {left[row], right[row]}) {
      EXPECT_GE(b->y(), kStripHeight) << row;
      EXPECT_GE(b->x(), 0);
      EXPECT_LE(b->x() + b->w(), window_->w());
      EXPECT_LE(b->y() + b->h(), window_->h());
      ASSERT_NE(b->image(), nullptr);
      EXPECT_EQ(b->image()->w(), kToolImageSize);
      EXPECT_EQ(b->image()->h(), kToolImageSize);
    }
    EXPECT_EQ(left[row]->x(), left[0]->x());
    EXPECT_EQ(right[row]->x(), right[0]->x());
    EXPECT_GE(right[row]->x(), left[row]->x() + left[row]->w());
    EXPECT_EQ(left[row]->y(), right[row]->y());
    if (row > 0) {
      EXPECT_GE(left[row]->y(), left[row - 1]->y() + left[row - 1]->h());
    }
  }
}

TEST_F(InteractionTool, StartsInNavigationWithOnlyItsToggleOn) {
  EXPECT_EQ(window_->mode(), InteractionToolWindow::kNavigationMode);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kNavigationSlot});
}

TEST_F(InteractionTool, TogglesAreExclusiveAndSetTheMode) {
  click(InteractionToolWindow::kDataSetSlot);
  EXPECT_EQ(window_->mode(), 3);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kDataSetSlot});
  // Pressing the one that is on leaves it on and reports nothing new.
  click(InteractionToolWindow::kDataSetSlot);
  EXPECT_EQ(window_->mode(), 3);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kDataSetSlot});

  click(InteractionToolWindow::kMapEditSlot);
  EXPECT_EQ(window_->mode(), 1);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kMapEditSlot});

  click(InteractionToolWindow::kNavigationSlot);
  EXPECT_EQ(window_->mode(), 0);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kNavigationSlot});
  click(InteractionToolWindow::kNavigationSlot);
  EXPECT_EQ(modes_, (std::vector<int>{3, 1, 0}));
}

TEST_F(InteractionTool, TheOtherThreeButtonsDoNothing) {
  click(InteractionToolWindow::kMapEditSlot);
  modes_.clear();
  for (Slot slot : {InteractionToolWindow::kSpareLeftSlot, InteractionToolWindow::kSpareMiddleSlot,
                    InteractionToolWindow::kSpareBottomSlot}) {
    click(slot);
    EXPECT_EQ(window_->mode(), 1);
    EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kMapEditSlot});
  }
  EXPECT_TRUE(modes_.empty());
}

TEST_F(InteractionTool, SetModeTurnsItsToggleOnWithoutReporting) {
  EXPECT_FALSE(window_->setMode(2));  // the map group's second mode has no toggle
  EXPECT_FALSE(window_->setMode(-1));
  EXPECT_EQ(window_->mode(), 0);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kNavigationSlot});
  EXPECT_TRUE(window_->setMode(InteractionToolWindow::kDataSetMode));
  EXPECT_EQ(window_->mode(), 3);
  EXPECT_EQ(onSlots(), std::vector<int>{InteractionToolWindow::kDataSetSlot});
  EXPECT_TRUE(modes_.empty());
  // The operator's next change is reported against the mode set.
  click(InteractionToolWindow::kDataSetSlot);
  EXPECT_TRUE(modes_.empty());
  click(InteractionToolWindow::kNavigationSlot);
  EXPECT_EQ(modes_, std::vector<int>{0});
}

TEST_F(InteractionTool, DraggingTheDragBoxMovesTheWindowWithThePointer) {
  const Kf_dragBox* drag = window_->dragBox();
  const int grabX = kStartX + drag->x() + 10;
  const int grabY = kStartY + drag->y() + drag->h() / 2;
  ASSERT_TRUE(pointerTo(grabX, grabY));
  ASSERT_TRUE(xdo("mousedown 1"));
  pump(0.05);
  // On drag, before any release.
  ASSERT_TRUE(pointerTo(grabX + 37, grabY + 23));
  pump(0.1);
  EXPECT_EQ(window_->x(), kStartX + 37);
  EXPECT_EQ(window_->y(), kStartY + 23);
  ASSERT_TRUE(pointerTo(grabX + 120, grabY - 90));
  ASSERT_TRUE(xdo("mouseup 1"));
  pump(0.1);
  EXPECT_EQ(window_->x(), kStartX + 120);
  EXPECT_EQ(window_->y(), kStartY - 90);
  // The X server agrees on where the window is.
  XWindowAttributes attributes{};
  ASSERT_TRUE(XGetWindowAttributes(fl_display, fl_xid(window_.get()), &attributes));
  EXPECT_EQ(attributes.x, kStartX + 120);
  EXPECT_EQ(attributes.y, kStartY - 90);
  // Moving the pointer afterwards leaves the window where it is.
  ASSERT_TRUE(pointerTo(grabX, grabY));
  EXPECT_EQ(window_->x(), kStartX + 120);
  EXPECT_EQ(window_->mode(), 0);
}

TEST_F(InteractionTool, DraggingOutsideTheDragBoxMovesNothing) {
  // On the strip's edge beside the drag box, and on a button.
  const Fl_Button* nav = window_->button(InteractionToolWindow::kNavigationSlot);
  const int starts[][2] = {{kStartX + 56, kStartY + 10},
                           {kStartX + nav->x() + 5, kStartY + nav->y() + 5}};
  for (const auto& start : starts) {
    ASSERT_TRUE(pointerTo(start[0], start[1]));
    ASSERT_TRUE(xdo("mousedown 1"));
    ASSERT_TRUE(pointerTo(start[0] + 50, start[1] + 50));
    ASSERT_TRUE(xdo("mouseup 1"));
    pump(0.1);
    EXPECT_EQ(window_->x(), kStartX);
    EXPECT_EQ(window_->y(), kStartY);
  }
}

TEST_F(InteractionTool, IsKeptAboveOtherWindows) {
  Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
  Atom above = XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  ASSERT_EQ(XGetWindowProperty(fl_display, fl_xid(window_.get()), state, 0, 16, False,
                               AnyPropertyType, &type, &format, &count, &after, &data),
            Success);
  ASSERT_NE(data, nullptr);
  ASSERT_EQ(count, 1u);
  EXPECT_EQ(reinterpret_cast<const Atom*>(data)[0], above);
  XFree(data);
}

TEST_F(InteractionTool, ButtonsShowTheirImages) {
  // Each button's middle holds several colours: its face and the picture's.
  for (int i = 0; i < InteractionToolWindow::kSlotCount; ++i) {
    const Fl_Button* b = window_->button(static_cast<Slot>(i));
    const int x0 = b->x() + (b->w() - kToolImageSize) / 2;
    const int y0 = b->y() + (b->h() - kToolImageSize) / 2;
    XSync(fl_display, False);
    XImage* image = XGetImage(fl_display, fl_xid(window_.get()), x0, y0, kToolImageSize,
                              kToolImageSize, AllPlanes, ZPixmap);
    ASSERT_NE(image, nullptr);
    std::set<unsigned long> colours;
    for (int y = 0; y < kToolImageSize; ++y) {
      for (int x = 0; x < kToolImageSize; ++x) colours.insert(XGetPixel(image, x, y));
    }
    XDestroyImage(image);
    EXPECT_GE(colours.size(), 3u) << "button " << i;
  }
}

/// Checks an XPM image of one character a pixel: its header, its colour lines and that every
/// row is exactly as wide as the header says and uses only defined colours.
void expectWellFormed(const char* const* xpm, const char* name) {
  int w = 0, h = 0, colours = 0, perPixel = 0;
  ASSERT_EQ(std::sscanf(xpm[0], "%d %d %d %d", &w, &h, &colours, &perPixel), 4) << name;
  EXPECT_EQ(w, kToolImageSize) << name;
  EXPECT_EQ(h, kToolImageSize) << name;
  ASSERT_EQ(perPixel, 1) << name;
  std::set<char> defined;
  for (int i = 1; i <= colours; ++i) {
    const char* line = xpm[i];
    ASSERT_GE(std::strlen(line), 5u) << name << " colour " << i;
    EXPECT_EQ(std::strncmp(line + 1, " c ", 3), 0) << name << " colour " << i;
    EXPECT_TRUE(defined.insert(line[0]).second) << name << " colour defined twice";
  }
  EXPECT_EQ(defined.count('.'), 1u) << name << " has a transparent colour";
  for (int row = 0; row < h; ++row) {
    const char* line = xpm[1 + colours + row];
    ASSERT_EQ(std::strlen(line), static_cast<std::size_t>(w)) << name << " row " << row;
    for (int x = 0; x < w; ++x) EXPECT_EQ(defined.count(line[x]), 1u) << name << " row " << row;
  }
}

TEST(InteractionToolPixmaps, AreWellFormedAndDistinct) {
  const char* const* images[] = {kNavigationXpm, kDataSetPickXpm, kMapEditXpm,
                                 kRulerXpm,      kMagnifierXpm,   kLabelTagXpm};
  const char* names[] = {"navigation", "data set", "map edit", "ruler", "magnifier", "tag"};
  std::set<std::string> pictures;
  for (int i = 0; i < 6; ++i) {
    expectWellFormed(images[i], names[i]);
    int colours = 0;
    std::sscanf(images[i][0], "%*d %*d %d", &colours);
    std::string picture;
    for (int row = 0; row < kToolImageSize; ++row) picture += images[i][1 + colours + row];
    EXPECT_TRUE(pictures.insert(picture).second) << names[i];
  }
}

}  // namespace

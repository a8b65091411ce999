// The popup event tool with real windows and a real pointer under the virtual X server: which
// presses dismiss a popup, what each variant does then, and that its entry in the
// "manu event tool" list comes and goes with it.
#include "common/popup/popup_tool_window.h"

#include <FL/Fl_Button.H>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/callback_list.h"
#include "common/name_registry.h"
#include "tests/common/window_test_support.h"

namespace {

using window_test::ButtonPoller;
using window_test::pointerTo;
using window_test::pump;
using window_test::showAndWait;
using window_test::xdo;
using Variant = PopupToolWindow::Variant;

constexpr int kX = 300;
constexpr int kY = 200;
constexpr int kW = 191;
constexpr int kH = 60;
/// A point over the bare root window, far from every window of these tests.
constexpr int kFarX = 1000;
constexpr int kFarY = 800;
/// The button inside the popup, in popup coordinates.
constexpr int kButtonX = 10;
constexpr int kButtonY = 10;
constexpr int kButtonW = 90;
constexpr int kButtonH = 30;

/// Counts the calls of a widget callback.
struct Calls {
  int count = 0;
  static void record(Fl_Widget*, void* self) { ++static_cast<Calls*>(self)->count; }
};

/// The registered list and a pointer parked far away; every test leaves the buttons up.
class PopupTool : public ::testing::Test {
 protected:
  void SetUp() override {
    fl_open_display();
    ASSERT_NE(fl_display, nullptr);
    NameRegistry::instance().add(PopupToolWindow::kEventToolName, &list_);
    ASSERT_TRUE(pointerTo(kFarX, kFarY));
  }
  void TearDown() override {
    xdo("mouseup 1 mouseup 3");
    pump(0.05);
    NameRegistry::instance().remove(PopupToolWindow::kEventToolName, &list_);
  }

  /// A popup at (kX, kY), with a button when `withButton`; dismissals are counted.
  std::unique_ptr<PopupToolWindow> makePopup(Variant variant, bool withButton = false) {
    auto popup = std::make_unique<PopupToolWindow>(kX, kY, kW, kH, variant);
    popup->box(FL_FLAT_BOX);
    popup->color(FL_RED);
    if (withButton) {
      button_ = new Fl_Button(kButtonX, kButtonY, kButtonW, kButtonH, "Select");
      button_->callback(Calls::record, &buttonCalls_);
    }
    popup->end();
    popup->callback(Calls::record, &dismissals_);
    return popup;
  }

  /// Shows the popup and checks that it holds one entry.
  void show(PopupToolWindow& popup) {
    ASSERT_TRUE(showAndWait(&popup));
    ASSERT_EQ(popup.x(), kX);
    ASSERT_EQ(popup.y(), kY);
    EXPECT_TRUE(popup.listed());
    EXPECT_EQ(list_.size(), 1u);
  }

  /// Whether `popup` holds _NET_WM_STATE_ABOVE in its window state.
  static bool keptAbove(PopupToolWindow& popup) {
    Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
    Atom above = XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False);
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    bool found = false;
    if (XGetWindowProperty(fl_display, fl_xid(&popup), state, 0, 16, False, AnyPropertyType, &type,
                           &format, &count, &after, &data) == Success &&
        data != nullptr) {
      const Atom* atoms = reinterpret_cast<const Atom*>(data);
      for (unsigned long i = 0; i < count; ++i) found = found || atoms[i] == above;
      XFree(data);
    }
    return found;
  }

  CallbackList list_;
  Fl_Button* button_ = nullptr;  ///< Owned by its popup.
  Calls dismissals_;
  Calls buttonCalls_;
};

TEST_F(PopupTool, PressOnAnyEdgeIncludingRightAndBottomKeepsThePopup) {
  auto popup = makePopup(Variant::kTracker);
  show(*popup);
  const int corners[][2] = {{kX, kY}, {kX + kW, kY}, {kX, kY + kH}, {kX + kW, kY + kH}};
  for (const auto& corner : corners) {
    ASSERT_TRUE(pointerTo(corner[0], corner[1]));
    EXPECT_EQ(popup->mouseChanged(1), 1) << corner[0] << "," << corner[1];
    EXPECT_TRUE(popup->shown());
  }
  EXPECT_EQ(dismissals_.count, 0);
  EXPECT_EQ(list_.size(), 1u);
}

TEST_F(PopupTool, PressOnePixelOutsideAnyEdgeDismissesAndRunsTheWindowCallback) {
  auto popup = makePopup(Variant::kTracker);
  const int outside[][2] = {
      {kX - 1, kY}, {kX, kY - 1}, {kX + kW + 1, kY + kH}, {kX + kW, kY + kH + 1}};
  int expected = 0;
  for (const auto& point : outside) {
    show(*popup);
    ASSERT_TRUE(pointerTo(point[0], point[1]));
    EXPECT_EQ(popup->mouseChanged(1), 1);
    EXPECT_FALSE(popup->shown()) << point[0] << "," << point[1];
    EXPECT_EQ(dismissals_.count, ++expected);
    EXPECT_EQ(list_.size(), 0u);
    EXPECT_FALSE(popup->listed());
  }
}

TEST_F(PopupTool, ReleasingNeverDismisses) {
  auto popup = makePopup(Variant::kTracker);
  show(*popup);
  // Outside, where a press would dismiss it.
  EXPECT_EQ(popup->mouseChanged(0), 0);
  list_.fire(0);
  EXPECT_TRUE(popup->shown());
  EXPECT_EQ(dismissals_.count, 0);
  EXPECT_EQ(list_.size(), 1u);
}

TEST_F(PopupTool, HiddenPopupIgnoresPresses) {
  auto popup = makePopup(Variant::kTracker);
  EXPECT_EQ(popup->mouseChanged(1), 0);
  show(*popup);
  list_.fire(1);
  EXPECT_EQ(dismissals_.count, 1);
  // A second press after the dismissal finds no entry and nothing to do.
  list_.fire(1);
  EXPECT_EQ(popup->mouseChanged(1), 0);
  EXPECT_EQ(dismissals_.count, 1);
}

TEST_F(PopupTool, ConverterPopupOnlyHides) {
  auto popup = makePopup(Variant::kConverter);
  show(*popup);
  EXPECT_FALSE(keptAbove(*popup));
  list_.fire(1);
  EXPECT_FALSE(popup->shown());
  EXPECT_EQ(dismissals_.count, 0);
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(PopupTool, TrackerPopupIsKeptAbove) {
  auto popup = makePopup(Variant::kTracker);
  show(*popup);
  EXPECT_TRUE(keptAbove(*popup));
}

TEST_F(PopupTool, EachShowingHoldsOneEntry) {
  auto popup = makePopup(Variant::kTracker);
  show(*popup);
  popup->show();  // raising a shown popup
  pump(0.1);
  EXPECT_EQ(list_.size(), 1u);
  // Hidden by its owner, not dismissed: the entry goes all the same.
  popup->hide();
  EXPECT_EQ(list_.size(), 0u);
  show(*popup);
  list_.fire(1);
  EXPECT_EQ(dismissals_.count, 1);
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(PopupTool, DeletedPopupLeavesNoEntry) {
  auto popup = makePopup(Variant::kTracker);
  show(*popup);
  popup.reset();
  EXPECT_EQ(list_.size(), 0u);
  list_.fire(1);
  list_.fire(0);
}

TEST_F(PopupTool, WindowCallbackMayDeleteThePopup) {
  struct Owner {
    std::unique_ptr<PopupToolWindow> popup;
    static void dismissed(Fl_Widget*, void* self) { static_cast<Owner*>(self)->popup.reset(); }
  } owner;
  owner.popup = makePopup(Variant::kTracker);
  owner.popup->callback(Owner::dismissed, &owner);
  show(*owner.popup);
  list_.fire(1);
  EXPECT_EQ(owner.popup, nullptr);
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(PopupTool, WithoutARegisteredListNothingIsListed) {
  NameRegistry::instance().remove(PopupToolWindow::kEventToolName, &list_);
  auto popup = makePopup(Variant::kTracker);
  ASSERT_TRUE(showAndWait(popup.get()));
  EXPECT_FALSE(popup->listed());
  EXPECT_EQ(popup->mouseChanged(1), 1);
  EXPECT_FALSE(popup->shown());
  NameRegistry::instance().add(PopupToolWindow::kEventToolName, &list_);
  EXPECT_EQ(list_.size(), 0u);
}

// ---- real presses, with the list fired from the buttons as the programs' loops do ----

TEST_F(PopupTool, ClickOnAButtonInsideHidesThePopupAndRunsTheButton) {
  auto popup = makePopup(Variant::kTracker, true);
  show(*popup);
  ButtonPoller poller(list_);
  ASSERT_TRUE(pointerTo(kX + kButtonX + kButtonW / 2, kY + kButtonY + kButtonH / 2));
  ASSERT_TRUE(xdo("click 1"));
  poller.run(2.0, [&] { return !popup->shown() && buttonCalls_.count > 0; });
  EXPECT_FALSE(popup->shown());
  EXPECT_EQ(buttonCalls_.count, 1);
  EXPECT_EQ(dismissals_.count, 0);
  EXPECT_EQ(list_.size(), 0u);
  // Shown again, it starts disarmed with one entry.
  show(*popup);
  EXPECT_FALSE(popup->armed());
}

TEST_F(PopupTool, PressOnAButtonDraggedOffItHidesWithoutRunningIt) {
  auto popup = makePopup(Variant::kTracker, true);
  show(*popup);
  ButtonPoller poller(list_);
  ASSERT_TRUE(pointerTo(kX + kButtonX + kButtonW / 2, kY + kButtonY + kButtonH / 2));
  ASSERT_TRUE(xdo("mousedown 1"));
  poller.run(0.2);
  EXPECT_TRUE(popup->armed());
  ASSERT_TRUE(xdo("mousemove " + std::to_string(kX + kW - 20) + " " + std::to_string(kY + 20)));
  poller.run(0.2);
  ASSERT_TRUE(xdo("mouseup 1"));
  poller.run(2.0, [&] { return !popup->shown(); });
  pump(0.1);
  EXPECT_FALSE(popup->shown());
  EXPECT_EQ(buttonCalls_.count, 0);
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(PopupTool, ClickOnTheBareFaceHidesThePopup) {
  auto popup = makePopup(Variant::kTracker, true);
  show(*popup);
  ButtonPoller poller(list_);
  ASSERT_TRUE(pointerTo(kX + kW - 20, kY + kH - 10));
  ASSERT_TRUE(xdo("click 1"));
  poller.run(2.0, [&] { return !popup->shown(); });
  EXPECT_FALSE(popup->shown());
  EXPECT_EQ(buttonCalls_.count, 0);
  EXPECT_EQ(dismissals_.count, 0);
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(PopupTool, ConverterPopupKeepsPressesFromItsChildren) {
  auto popup = makePopup(Variant::kConverter, true);
  show(*popup);
  ButtonPoller poller(list_);
  ASSERT_TRUE(pointerTo(kX + kButtonX + kButtonW / 2, kY + kButtonY + kButtonH / 2));
  ASSERT_TRUE(xdo("click 1"));
  poller.run(2.0, [&] { return !popup->shown(); });
  pump(0.1);
  EXPECT_FALSE(popup->shown());
  EXPECT_EQ(buttonCalls_.count, 0);
  EXPECT_EQ(list_.size(), 0u);
}

TEST_F(PopupTool, PressOverTheBareRootWindowDismissesWithinAPoll) {
  for (Variant variant : {Variant::kTracker, Variant::kConverter}) {
    dismissals_.count = 0;
    auto popup = makePopup(variant);
    show(*popup);
    ButtonPoller poller(list_);
    ASSERT_TRUE(pointerTo(kFarX, kFarY));
    ASSERT_TRUE(xdo("mousedown 3"));
    EXPECT_EQ(poller.run(1.0, [&] { return !popup->shown(); }), 1);
    EXPECT_FALSE(popup->shown());
    EXPECT_EQ(dismissals_.count, variant == Variant::kTracker ? 1 : 0);
    EXPECT_EQ(list_.size(), 0u);
    ASSERT_TRUE(xdo("mouseup 3"));
    EXPECT_EQ(poller.run(0.2), 1);  // the release reaches nobody
    EXPECT_EQ(dismissals_.count, variant == Variant::kTracker ? 1 : 0);
  }
}

TEST_F(PopupTool, PressOverAnotherProgramsWindowBesideThePopupDismisses) {
  // Another client's window right of the popup: the pointer leaves the popup onto its right
  // edge coordinate (x + w), which counts as inside, and then moves on unseen by the toolkit.
  Display* other = XOpenDisplay(nullptr);
  ASSERT_NE(other, nullptr);
  const Window foreign = XCreateSimpleWindow(other, DefaultRootWindow(other), kX + kW, kY - 50, 300,
                                             200, 0, 0, WhitePixel(other, 0));
  XMapWindow(other, foreign);
  XSync(other, False);
  auto popup = makePopup(Variant::kTracker);
  show(*popup);
  ButtonPoller poller(list_);
  ASSERT_TRUE(pointerTo(kX + kW - 5, kY + 10));
  ASSERT_TRUE(pointerTo(kX + kW, kY + 10));
  ASSERT_TRUE(pointerTo(kX + kW + 150, kY + 10));
  ASSERT_TRUE(xdo("mousedown 1"));
  poller.run(1.0, [&] { return !popup->shown(); });
  EXPECT_FALSE(popup->shown());
  EXPECT_EQ(dismissals_.count, 1);
  ASSERT_TRUE(xdo("mouseup 1"));
  XDestroyWindow(other, foreign);
  XCloseDisplay(other);
}

TEST_F(PopupTool, PressInsideDuringAnotherPopupsDismissalKeepsIt) {
  // Two popups side by side: a press in the first dismisses only the second.
  auto first = makePopup(Variant::kTracker);
  auto second = std::make_unique<PopupToolWindow>(kX, kY + kH + 50, kW, kH, Variant::kTracker);
  Calls secondDismissals;
  second->end();
  second->callback(Calls::record, &secondDismissals);
  show(*first);
  ASSERT_TRUE(showAndWait(second.get()));
  EXPECT_EQ(list_.size(), 2u);
  ButtonPoller poller(list_);
  ASSERT_TRUE(pointerTo(kX + kW / 2, kY + kH / 2));
  ASSERT_TRUE(xdo("mousedown 1"));
  poller.run(1.0, [&] { return !second->shown(); });
  EXPECT_TRUE(first->shown());
  EXPECT_FALSE(second->shown());
  EXPECT_EQ(dismissals_.count, 0);
  EXPECT_EQ(secondDismissals.count, 1);
  EXPECT_EQ(list_.size(), 1u);
}

}  // namespace

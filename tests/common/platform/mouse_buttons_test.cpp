#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

// Xlib's macros (None, Bool, Status) must come after the test framework's headers.
#include <X11/Xlib.h>

#include "common/platform/mouse_buttons.h"

namespace {

TEST(MouseButtons, AnyButtonDownAnywhereOnTheScreen) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr) << "needs an X server";
  EXPECT_FALSE(anyMouseButtonDown(display));
  // Over the bare root window, where no program of ours has a window.
  ASSERT_EQ(std::system("xdotool mousemove 600 500"), 0);
  for (int button : {1, 2, 3}) {
    const std::string n = std::to_string(button);
    ASSERT_EQ(std::system(("xdotool mousedown " + n).c_str()), 0);
    EXPECT_TRUE(anyMouseButtonDown(display)) << button;
    ASSERT_EQ(std::system(("xdotool mouseup " + n).c_str()), 0);
    EXPECT_FALSE(anyMouseButtonDown(display)) << button;
  }
  XCloseDisplay(display);
  EXPECT_FALSE(anyMouseButtonDown(nullptr));
}

}  // namespace

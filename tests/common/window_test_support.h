// Helpers for tests that show real windows under the virtual X server: running the event loop,
// driving the pointer with xdotool, reading pixels, and firing the "manu event tool" list from
// the mouse buttons the way the programs' loops do.
#pragma once

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>

#include "common/callback_list.h"
#include "common/platform/mouse_buttons.h"

// Xlib's macros (None, Bool, Status) must come after the test framework's headers.
#include <FL/x.H>

namespace window_test {

using Clock = std::chrono::steady_clock;

/// Runs the event loop for about `seconds`.
inline void pump(double seconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) Fl::wait(0.01);
}

/// Runs the event loop until `done` says yes or `seconds` have passed; returns its last answer.
inline bool waitUntil(const std::function<bool()>& done, double seconds = 3.0) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (!done() && Clock::now() < end) Fl::wait(0.01);
  return done();
}

/// Shows `window` and runs the loop until it is mapped and its first expose is drawn.
inline bool showAndWait(Fl_Window* window) {
  window->show();
  if (!waitUntil([window] { return window->shown() && window->visible(); })) return false;
  XSync(fl_display, False);
  pump(0.15);
  return true;
}

/// Runs "xdotool `arguments`"; pointer positions are screen positions.
inline bool xdo(const std::string& arguments) {
  const std::string command = "xdotool " + arguments;
  return std::system(command.c_str()) == 0;
}

/// Moves the pointer to (x, y) of the screen and lets the events arrive.
inline bool pointerTo(int x, int y) {
  const bool moved = xdo("mousemove " + std::to_string(x) + " " + std::to_string(y));
  XSync(fl_display, False);
  pump(0.05);
  return moved;
}

/// The pixel value at (x, y) of a shown window, as the X server holds it.
inline unsigned long pixelAt(Fl_Window* window, int x, int y) {
  XSync(fl_display, False);
  XImage* image = XGetImage(fl_display, fl_xid(window), x, y, 1, 1, AllPlanes, ZPixmap);
  if (image == nullptr) return ~0ul;
  const unsigned long value = XGetPixel(image, 0, 0);
  XDestroyImage(image);
  return value;
}

/// Fires a list with the mouse buttons' changes while running the event loop, as the programs'
/// loops do: one toolkit pass, then a sample of the buttons, and a fire (1 pressed, 0 released)
/// when the sample differs from the previous one.
class ButtonPoller {
 public:
  explicit ButtonPoller(CallbackList& list)
      : list_(list), pressed_(anyMouseButtonDown(fl_display)) {}

  /// Polls for about `seconds`, or until `done` says yes; returns the number of fires.
  int run(double seconds, const std::function<bool()>& done = nullptr) {
    int fires = 0;
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end && !(done && done())) {
      Fl::wait(0.01);
      const bool now = anyMouseButtonDown(fl_display);
      if (now != pressed_) {
        pressed_ = now;
        list_.fire(now ? 1 : 0);
        ++fires;
      }
    }
    return fires;
  }

 private:
  CallbackList& list_;
  bool pressed_;
};

}  // namespace window_test

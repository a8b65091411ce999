#include "dunmore/window_program.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>
#include <FL/x.H>

#include <cstdio>

#include "common/callback_list.h"
#include "common/platform/sleep.h"
#include "common/popup/mouse_button_poller.h"
#include "dunmore/command_line.h"
#include "dunmore/converter_window.h"

namespace dunmore {

namespace {

/// Window class the window manager sees for every window of the program.
constexpr const char* kWindowClass = "dunmore";

}  // namespace

int runConverterWindow() {
  CallbackList eventTool;
  const EventToolRegistration registration(eventTool);
  Display* display = XOpenDisplay(nullptr);
  if (display == nullptr) {
    const char* name = XDisplayName(nullptr);
    std::fprintf(stderr, "dunmore: cannot open the display \"%s\" for the window\n%s",
                 name != nullptr ? name : "", kUsage);
    return kExitFailed;
  }
  fl_open_display(display);
  Fl_Window::default_xclass(kWindowClass);
  MouseButtonPoller poller;
  ConverterWindow window(&poller);
  window.show();
  while (!window.quitRequested()) {
    Fl::check();
    sleepMs(kPollPeriodMs);
    poller.poll();
  }
  return 0;
}

}  // namespace dunmore

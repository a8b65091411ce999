#include "halvex/app/window_loop.h"

#include <FL/Fl.H>

#include "halvex/engine/tracker_engine.h"

void WindowLoop::run(const TrackerEngine& engine, const std::function<void()>& pass) {
  if (!registration_) registration_.emplace(eventTool_);
  MouseButtonPoller buttons;
  while (!quit_) {
    pass();
    const double wait = engine.waitSeconds();
    if (wait < 0) {
      Fl::wait();
    } else {
      Fl::wait(wait);
    }
    buttons.poll();
  }
}

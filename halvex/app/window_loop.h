// The windowed tracker's main loop: a pass, the toolkit's wait for events as long as the engine
// allows, and a sample of the mouse buttons for the popups.
#pragma once

#include <functional>
#include <optional>

#include "common/callback_list.h"
#include "common/popup/mouse_button_poller.h"

class TrackerEngine;

/// Runs passes until quit is set. The popups' event tool list is registered from the first run
/// on, while the loop lives, and fired when the mouse buttons change.
class WindowLoop {
 public:
  /// Runs `pass`, waits for events at most as long as `engine` allows and samples the mouse
  /// buttons, until quit() is called; the toolkit's display must be open.
  void run(const TrackerEngine& engine, const std::function<void()>& pass);
  void quit() { quit_ = true; }
  bool quitSet() const { return quit_; }

 private:
  bool quit_ = false;
  CallbackList eventTool_;
  std::optional<EventToolRegistration> registration_;
};

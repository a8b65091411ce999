// The main loops' part for popups: the event tool list registered under its name, and the
// sampling of the mouse buttons that fires it when they change, so that popups close on a press
// anywhere, also over other programs' windows.
#pragma once

class CallbackList;

/// Keeps `list` registered as PopupToolWindow::kEventToolName while it lives.
class EventToolRegistration {
 public:
  explicit EventToolRegistration(CallbackList& list);
  ~EventToolRegistration();
  EventToolRegistration(const EventToolRegistration&) = delete;
  EventToolRegistration& operator=(const EventToolRegistration&) = delete;

 private:
  CallbackList& list_;
};

/// Samples the left, middle and right buttons of the toolkit's display.
class MouseButtonPoller {
 public:
  /// Takes the first sample; the display must be open.
  MouseButtonPoller();

  /// Samples the buttons and, when the sample differs from the last one, fires the list
  /// registered as PopupToolWindow::kEventToolName with 1 (a button went down) or 0 (all are
  /// up). Returns whether it fired.
  bool poll();

  /// Takes the buttons as they are now as the last sample, without firing: for a press the
  /// toolkit has already handled, which must not reach the popups it opened.
  void resync();

  /// Whether a button was down at the last sample.
  bool pressed() const { return pressed_; }

 private:
  bool pressed_ = false;
};

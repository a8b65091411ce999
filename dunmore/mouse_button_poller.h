// Watches the mouse buttons for the converter's loops and fires the "manu event tool" list when
// they change, so that popups close on a press anywhere, also over other programs' windows.
#pragma once

namespace dunmore {

/// Samples the left, middle and right buttons of the toolkit's display.
class MouseButtonPoller {
 public:
  /// Takes the first sample; the display must be open.
  MouseButtonPoller();

  /// Samples the buttons and, when the sample differs from the last one, fires the list
  /// registered as "manu event tool" with 1 (a button went down) or 0 (all are up). Returns
  /// whether it fired.
  bool poll();

  /// Takes the buttons as they are now as the last sample, without firing: for a press the
  /// toolkit has already handled, which must not reach the popups it opened.
  void resync();

  /// Whether a button was down at the last sample.
  bool pressed() const { return pressed_; }

 private:
  bool pressed_ = false;
};

}  // namespace dunmore

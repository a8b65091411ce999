// The button of the tracker's popups that shows where the pointer is: raised, and sunken while
// the pointer is over it.
#pragma once

#include <FL/Fl_Button.H>

/// A push button drawn raised that sinks while the pointer is over it.
class HoverButton : public Fl_Button {
 public:
  static constexpr Fl_Boxtype kRaisedBox = FL_UP_BOX;
  static constexpr Fl_Boxtype kHoverBox = FL_DOWN_BOX;

  HoverButton(int x, int y, int w, int h, const char* label = nullptr);

  /// Enter and leave change the box and count as handled; the rest is the button's.
  int handle(int event) override;
};

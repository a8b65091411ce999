#include "common/popup/hover_button.h"

HoverButton::HoverButton(int x, int y, int w, int h, const char* label)
    : Fl_Button(x, y, w, h, label) {
  box(kRaisedBox);
}

int HoverButton::handle(int event) {
  switch (event) {
    case FL_ENTER:
      box(kHoverBox);
      redraw();
      return 1;
    case FL_LEAVE:
      box(kRaisedBox);
      redraw();
      return 1;
    default:
      return Fl_Button::handle(event);
  }
}

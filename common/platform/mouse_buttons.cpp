#include "common/platform/mouse_buttons.h"

#include <X11/Xlib.h>

bool anyMouseButtonDown(_XDisplay* display) {
  if (display == nullptr) return false;
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, x = 0, y = 0;
  unsigned int mask = 0;
  if (!XQueryPointer(display, DefaultRootWindow(display), &root, &child, &rootX, &rootY, &x, &y,
                     &mask)) {
    return false;  // the pointer is on another screen
  }
  return (mask & (Button1Mask | Button2Mask | Button3Mask)) != 0;
}

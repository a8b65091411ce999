#include "common/popup/window_above.h"

#include <FL/Fl_Window.H>
#include <FL/x.H>
#include <X11/Xatom.h>
#include <X11/Xlib.h>

void keepWindowAbove(Fl_Window* window) {
  if (fl_display == nullptr || window == nullptr || !window->shown()) return;
  const Window xid = fl_xid(window);
  if (xid == 0) return;
  Atom state = XInternAtom(fl_display, "_NET_WM_STATE", False);
  Atom above = XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False);
  // Set directly for when no window manager runs; the message asks a running one.
  XChangeProperty(fl_display, xid, state, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&above), 1);
  constexpr long kNetWmStateAdd = 1;
  constexpr long kSourceApplication = 1;
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = xid;
  event.xclient.message_type = state;
  event.xclient.format = 32;
  event.xclient.data.l[0] = kNetWmStateAdd;
  event.xclient.data.l[1] = static_cast<long>(above);
  event.xclient.data.l[3] = kSourceApplication;
  XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
             SubstructureRedirectMask | SubstructureNotifyMask, &event);
  XRaiseWindow(fl_display, xid);
  XFlush(fl_display);
}

#include "halvex/view/view_event_route.h"

#include <FL/Enumerations.H>

ViewEventRoute routeViewEvent(int event, int toolMode, bool shiftHeld, bool spaceHeld) {
  ViewEventRoute route;
  route.requestPick = event == FL_PUSH && toolMode == kDataSetToolMode && shiftHeld;
  // Every pointer event reads the ground again, from the view last drawn: the frame's own value
  // may be a frame old, and a drag that ends before the next frame would lose its last stretch.
  route.readPointer =
      event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE || event == FL_MOVE;
  route.toGroups = !spaceHeld && toolMode >= kMapEditToolMode && toolMode <= kDataSetToolMode;
  return route;
}

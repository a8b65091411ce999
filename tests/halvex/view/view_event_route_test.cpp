// Where the view's events go after the surface's own handling, by event, tool mode and keys.
#include "halvex/view/view_event_route.h"

#include <FL/Enumerations.H>
#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ViewEventRoute, PicksReadsThePointerAndFeedsTheGroupsByToolAndKeys) {
  const struct {
    int event, mode;
    bool shift, space;
    bool pick, pointer, groups;
  } cases[] = {
      // The camera's tool keeps everything but the pointer readout.
      {FL_PUSH, 0, true, false, false, true, false},
      {FL_MOVE, 0, false, false, false, true, false},
      // Map editing, the map group's mode and data-set picking feed the groups...
      {FL_DRAG, kMapEditToolMode, false, false, false, true, true},
      {FL_RELEASE, 2, false, false, false, true, true},
      {FL_PUSH, kDataSetToolMode, false, false, false, true, true},
      // ...unless the space bar keeps the pointer for the camera.
      {FL_DRAG, kMapEditToolMode, false, true, false, true, false},
      // Only a shift-press with the data-set tool picks, space bar or not.
      {FL_PUSH, kDataSetToolMode, true, false, true, true, true},
      {FL_PUSH, kDataSetToolMode, true, true, true, true, false},
      {FL_DRAG, kDataSetToolMode, true, false, false, true, true},
      {FL_PUSH, kMapEditToolMode, true, false, false, true, true},
      // Keys and other events reach the groups without a new ground position.
      {FL_KEYDOWN, kMapEditToolMode, false, false, false, false, true},
      {FL_ENTER, 4, false, false, false, false, false},
  };
  for (const auto& c : cases) {
    const ViewEventRoute route = routeViewEvent(c.event, c.mode, c.shift, c.space);
    SCOPED_TRACE("event " + std::to_string(c.event) + " mode " + std::to_string(c.mode) +
                 (c.shift ? " shift" : "") + (c.space ? " space" : ""));
    EXPECT_EQ(route.requestPick, c.pick);
    EXPECT_EQ(route.readPointer, c.pointer);
    EXPECT_EQ(route.toGroups, c.groups);
  }
}

}  // namespace

// Where an event of the view goes after the surface's own handling: a picking request, the
// ground position under the pointer, and the open project's groups.
#pragma once

/// Interaction tool modes whose pointer events go to the project's groups: map editing (1), the
/// map group's other mode (2) and data-set picking (3).
constexpr int kMapEditToolMode = 1;
constexpr int kDataSetToolMode = 3;

/// What one event of the view asks for.
struct ViewEventRoute {
  bool requestPick = false;  ///< A shift-press with the data-set tool: the next frame picks.
  bool readPointer = false;  ///< A pointer event: the ground under the pointer is read again.
  bool toGroups = false;     ///< The project's groups get the event.
};

/// The route of toolkit event `event` with the interaction tool in `toolMode`. The space bar
/// held keeps the pointer for the camera.
ViewEventRoute routeViewEvent(int event, int toolMode, bool shiftHeld, bool spaceHeld);

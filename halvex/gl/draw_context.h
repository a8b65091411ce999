// What every drawing callback of the view gets: the camera and the window's place and size.
#pragma once

class ViewCamera;

/// The drawing surface's state handed to each draw and init callback.
struct DrawContext {
  ViewCamera* camera = nullptr;  ///< The view's camera; null draws with extent 1.
  double x = 0;                  ///< Window x in its parent (pixels).
  double y = 0;                  ///< Window y in its parent (pixels).
  double width = 0;              ///< Window width (pixels).
  double height = 0;             ///< Window height (pixels).
};

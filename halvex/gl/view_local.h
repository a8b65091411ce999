// View-local drawing: the camera values every drawing step needs, with the stand-ins used when a
// context has no camera, and offsets turned to stay upright on screen.
#pragma once

struct DrawContext;

/// The camera values of one frame in the form the drawing code uses.
struct ViewLocal {
  double extent = 1;     ///< Visible ground width (world units); 1 without camera.
  double left = 0;       ///< World x of the view's lower-left corner; 0 without camera.
  double bottom = 0;     ///< World y of that corner; 0 without camera.
  double iconScale = 1;  ///< Ring marker enlargement; 1 without camera.
  const float* inverseRotation = nullptr;       ///< Null: identity.
  const float* inversePitchRotation = nullptr;  ///< Null: identity.
};

/// The values of the context's camera.
ViewLocal viewLocalOf(const DrawContext& context);

/// out = the 3x3 part of column-major matrix m applied to (x, y, z); null m leaves it as is.
void turnOffset(const float* m, double x, double y, double z, double out[3]);

// What a picture of the view set on the processor was made through, so that it is kept while
// the view stays put, and the projection of view-local ground points to its pixels.
#pragma once

#include "common/matrix4.h"

struct ViewLocal;

/// The frame's projection times model-view, its viewport and the view-local origin.
struct FrameView {
  float matrix[Matrix4::kSize];  ///< Projection times model-view, column-major.
  int viewport[4];               ///< x, y, width, height (window pixels).
  double left, bottom;           ///< The view-local origin, degrees.

  /// The current context's matrices and viewport, with `local`'s origin.
  static FrameView current(const ViewLocal& local);

  /// Where the view-local ground point (x, y, 0) lands: window pixels from the viewport's
  /// lower-left corner and, when asked, its depth (0 to 1). False behind the eye.
  bool project(float x, float y, float& px, float& py, float* depth = nullptr) const;

  bool operator==(const FrameView& other) const;
  bool operator!=(const FrameView& other) const { return !(*this == other); }
};

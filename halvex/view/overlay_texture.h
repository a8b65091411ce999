// A texture the size of the view for pictures set on the processor and drawn over the view as one
// quad (the labels' mask, the trails).
#pragma once

/// A texture at least the size of the view, its sides powers of two as OpenGL 1.1 needs, in the
/// context current when it is bound: a window with a context of its own gets one of its own.
/// Texel (x, y) is drawn at pixel (x, y) from the viewport's lower-left corner.
class OverlayTexture {
 public:
  /// Binds the texture, made (or made larger) to hold width x height texels of `format`
  /// (GL_ALPHA or GL_RGBA, unsigned bytes) in the current context.
  void bind(int width, int height, unsigned format);
  /// Whether the texture was last bound in the current context.
  bool inCurrentContext() const;
  /// Draws the texels [left, right) x [bottom, top) of the texture over the same pixels of
  /// `viewport` (x, y, width, height), in the state the caller set (texturing is turned on).
  void drawTexels(const int viewport[4], int left, int bottom, int right, int top) const;

 private:
  const void* context_ = nullptr;
  unsigned texture_ = 0;
  unsigned format_ = 0;
  int width_ = 0, height_ = 0;  ///< Texels.
};

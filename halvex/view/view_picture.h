// A picture of the view set on the processor and drawn as one textured quad: for the software
// renderer far cheaper than many small primitives, and kept from frame to frame while what it
// shows does not change (the trails, the data set's markers).
#pragma once

#include <cstddef>
#include <vector>

#include "halvex/view/overlay_texture.h"

/// A picture the size of the view, premultiplied RGBA, bottom row first, handed to a texture of
/// its own and drawn over the view. Only the box of the pixels set since begin() is cleared and
/// uploaded.
class ViewPicture {
 public:
  /// Starts a clear picture of width x height pixels (the viewport's size).
  void begin(int width, int height);
  int width() const { return width_; }
  int height() const { return height_; }
  /// Grows the box of set pixels by [left, right) x [bottom, top), cut to the picture; makes
  /// the picture's pixels (clear) at the first call after a new size. Call before at().
  void touch(int left, int bottom, int right, int top);
  /// Pixel (x, y) to set, inside a box touched since begin().
  unsigned char* at(int x, int y) { return &pixels_[(static_cast<size_t>(y) * width_ + x) * 4]; }
  /// Premultiplied RGBA of pixel (x, y) of the picture (clear outside it).
  const unsigned char* pixel(int x, int y) const;

  /// Hands the picture to the texture. Needs the context current.
  void upload();
  /// Whether the picture was uploaded in the current context (a texture belongs to one), or
  /// holds nothing to draw.
  bool uploadedHere() const;
  /// Draws the picture last uploaded over the viewport (x, y, width, height) it was made for,
  /// each pixel over what is there as its opacity says.
  void draw(const int viewport[4]) const;

 private:
  std::vector<unsigned char> pixels_;
  int width_ = 0, height_ = 0;
  int left_ = 0, bottom_ = 0, right_ = 0, top_ = 0;  ///< The set pixels' box, half-open.
  OverlayTexture texture_;
  int uploaded_[4] = {0, 0, 0, 0};  ///< The box last uploaded: left, bottom, right, top.
};

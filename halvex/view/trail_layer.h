// The trails set on the processor into one picture of the view and drawn as one textured quad:
// for the software renderer far cheaper than thousands of line segments, and kept from frame to
// frame while neither the view nor the trails change much.
#pragma once

#include "halvex/view/view_picture.h"

/// A picture the size of the view, premultiplied RGBA, bottom row first, into which segments
/// are drawn two pixels wide, each over what is there; handed to a texture of its own and
/// drawn over the view.
class TrailLayer {
 public:
  /// Starts a clear picture of width x height pixels (the viewport's size).
  void begin(int width, int height);
  /// Draws the segment from (x0, y0) to (x1, y1), window pixels from the viewport's lower-left
  /// corner, in colour `rgb` (0 to 255) with an opacity running from alpha0 to alpha1 (0 to 1).
  /// The pixel at (x1, y1) is left to the segment that starts there.
  void addSegment(float x0, float y0, float alpha0, float x1, float y1, float alpha1,
                  const unsigned char rgb[3]);
  /// Hands the picture to the texture. Needs the context current.
  void upload() { picture_.upload(); }
  /// Whether the picture was uploaded in the current context (a texture belongs to one), or
  /// holds nothing to draw.
  bool uploadedHere() const { return picture_.uploadedHere(); }
  /// Draws the picture last uploaded over the viewport (x, y, width, height) it was made for.
  void draw(const int viewport[4]) const { picture_.draw(viewport); }

  /// Premultiplied RGBA of pixel (x, y) of the picture (clear outside it).
  const unsigned char* pixel(int x, int y) const { return picture_.pixel(x, y); }

 private:
  /// Puts `rgb` with opacity `alpha` (0 to 255) over pixel (x, y) when it lies in the picture.
  void blend(int x, int y, int alpha, const unsigned char rgb[3]);

  ViewPicture picture_;
};

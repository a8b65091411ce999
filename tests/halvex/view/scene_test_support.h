// Helpers for the view tests that draw with a real GLX context under the virtual X server: a
// shown drawing surface whose frames are read back, and small scene files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "halvex/view/gl_draw_surface.h"

namespace scene_test {

/// One pixel read back.
struct Rgb {
  int r, g, b;
};

/// A top-level drawing surface shown at the screen's corner; every frame's back buffer is read
/// back after the registered callbacks have drawn.
class ShownSurface {
 public:
  ShownSurface(int width, int height);
  ~ShownSurface();
  ShownSurface(const ShownSurface&) = delete;
  ShownSurface& operator=(const ShownSurface&) = delete;

  glDrawSurface& surface() { return *surface_; }
  /// Whether the window was mapped.
  bool shown() const { return shown_; }
  /// Adds a draw callback; call before the first drawFrame.
  void add(glDrawSurface::DrawCallback callback, void* user);
  /// Redraws and waits until a frame has been drawn and read back; false on time-out.
  bool drawFrame();
  /// Pixel at column x, row y counted from the top, of the last frame read.
  Rgb pixel(int x, int y) const;
  /// Pixels of the rectangle [x0, x1) x [y0, y1) (rows from the top) that `match` accepts.
  int count(int x0, int y0, int x1, int y1, bool (*match)(Rgb)) const;
  /// Writes the last frame read as a binary PPM file (for a look by eye while debugging).
  bool savePpm(const std::string& path) const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  static void readBack(void* user, const DrawContext& context);

  int width_;
  int height_;
  glDrawSurface* surface_;
  bool shown_ = false;
  bool readCallbackAdded_ = false;
  std::vector<unsigned char> pixels_;  ///< Bottom row first, RGB.
};

/// Runs the event loop for about `seconds`.
void pump(double seconds);

/// Whether a pixel is near black, near white, mostly red, mostly blue.
bool isBlack(Rgb p);
bool isWhite(Rgb p);
bool isRed(Rgb p);
bool isBlue(Rgb p);

/// Writes `text` to a new file `name` in a scratch directory; returns its path.
std::string writeScratchFile(const std::string& name, const std::string& text);

/// Writes a verbatim 8-bit RGB SGI image of one colour; returns its path.
std::string writeSolidSgi(const std::string& name, int width, int height, unsigned char r,
                          unsigned char g, unsigned char b);

}  // namespace scene_test

// The tracker's OpenGL drawing surface.
#pragma once

#include <FL/Fl_Gl_Window.H>

#include <functional>

/// The view's OpenGL window. Today it clears to the scene's background and tells its owner
/// each time a frame is drawn, so that the display slot and the redraw requests already pace
/// real frames.
class glDrawSurface : public Fl_Gl_Window {
 public:
  /// Scene background, red, green and blue in 0..1.
  static constexpr float kBackground[3] = {0.0f, 0.4f, 0.5f};

  glDrawSurface(int x, int y, int w, int h, const char* label = nullptr);

  /// Called after each drawn frame (null for none).
  void setFrameDrawn(std::function<void()> drawn) { frameDrawn_ = std::move(drawn); }
  /// Frames drawn so far.
  long framesDrawn() const { return frames_; }

 protected:
  void draw() override;

 private:
  std::function<void()> frameDrawn_;
  long frames_ = 0;
};

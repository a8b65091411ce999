// The tracker's OpenGL drawing surface: the view's window, its camera, the drawing callbacks
// other parts register and the routing of mouse and keys to the camera or an interaction tool.
#pragma once

#include <FL/Fl_Gl_Window.H>

#include <functional>
#include <vector>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_camera.h"

/// The interaction tool as the surface sees it: its mode, 0 meaning it leaves the mouse to the
/// camera (1 map editing, 2 map group, 3 data-set picking).
struct InteractionTool {
  int mode = 0;
};

/// The view's OpenGL window. Its first draw probes the extensions and runs the init callbacks;
/// every draw runs the draw callbacks with the draw context.
class glDrawSurface : public Fl_Gl_Window {
 public:
  /// Scene background, red, green and blue in 0..1 (drawn while no draw callback is set).
  static constexpr float kBackground[3] = {0.0f, 0.4f, 0.5f};
  /// Seed of the random numbers used while drawing, the same in every frame.
  static constexpr unsigned kDrawSeed = 7813;

  /// Drawing callback: called as callback(user, context).
  using DrawCallback = void (*)(void* user, const DrawContext& context);
  /// Event callback of the interaction hook: (event, user); returns 1 when it used the event.
  using EventCallback = int (*)(int event, void* user);

  /// One registered drawing callback with its user pointer and value.
  struct CallbackEntry {
    DrawCallback callback;
    void* user;
    int value;
  };

  glDrawSurface(int x, int y, int w, int h, const char* label = nullptr);

  /// Appends a callback run by every draw, in list order.
  void addDrawCallback(DrawCallback callback, void* user, int value = 0);
  /// Appends a callback run once by the first draw, after the extension probe.
  void addInitCallback(DrawCallback callback, void* user, int value = 0);
  const std::vector<CallbackEntry>& drawCallbacks() const { return drawCallbacks_; }
  const std::vector<CallbackEntry>& initCallbacks() const { return initCallbacks_; }

  /// Sets the camera used from now on; null restores the embedded one.
  void setCamera(ViewCamera* camera) { camera_ = camera ? camera : &ownCamera_; }
  ViewCamera* camera() const { return camera_; }
  /// The context handed to the callbacks by the last draw.
  const DrawContext& drawContext() const { return context_; }

  /// Sets the interaction hook: the active tool (null for none) and the callback that sees
  /// every event after the surface's own handling (null for none).
  void setInteractionHook(const InteractionTool* tool, EventCallback callback, void* user);
  const InteractionTool* interactionTool() const { return tool_; }

  /// Reads the stereo settings file and hands its values to the stereo driver; does nothing
  /// without the driver's focal plane entry.
  void applyStereoSettings();

  /// Called after each drawn frame (null for none).
  void setFrameDrawn(std::function<void()> drawn) { frameDrawn_ = std::move(drawn); }
  /// Frames drawn so far.
  long framesDrawn() const { return frames_; }
  /// Whether the first draw is still to come.
  bool firstDrawPending() const { return firstDraw_; }

  int handle(int event) override;

 protected:
  void draw() override;

 private:
  /// The camera's share of an event; returns 1 when it used it.
  int cameraEvent(int event);
  /// Feeds the camera a pointer event of `type` with the current pointer and modifier state.
  void sendMouseEvent(int type);
  /// Gives the camera the current pointer position as pick position.
  void setPickFromEvent();

  const InteractionTool* tool_ = nullptr;
  EventCallback eventCallback_ = nullptr;
  void* eventUser_ = nullptr;
  bool firstDraw_ = true;
  ViewCamera ownCamera_;
  ViewCamera* camera_ = &ownCamera_;
  DrawContext context_;
  std::vector<CallbackEntry> drawCallbacks_;
  std::vector<CallbackEntry> initCallbacks_;
  std::function<void()> frameDrawn_;
  long frames_ = 0;
};

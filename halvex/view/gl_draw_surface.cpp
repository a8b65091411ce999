#include "halvex/view/gl_draw_surface.h"

#include <FL/Fl.H>
#include <FL/gl.h>

#include <cstdlib>
#include <utility>

#include "halvex/gl/gl_extensions.h"

glDrawSurface::glDrawSurface(int x, int y, int w, int h, const char* label)
    : Fl_Gl_Window(x, y, w, h, label) {
  mode(FL_RGB | FL_DOUBLE | FL_DEPTH);
}

void glDrawSurface::addDrawCallback(DrawCallback callback, void* user, int value) {
  drawCallbacks_.push_back({callback, user, value});
}

void glDrawSurface::addInitCallback(DrawCallback callback, void* user, int value) {
  initCallbacks_.push_back({callback, user, value});
}

void glDrawSurface::setInteractionHook(const InteractionTool* tool, EventCallback callback,
                                       void* user) {
  tool_ = tool;
  eventCallback_ = callback;
  eventUser_ = user;
}

void glDrawSurface::applyStereoSettings() {
  applyStereoSettingsFile(kStereoSettingsPath, glExtensions());
}

void glDrawSurface::draw() {
  if (firstDraw_) {
    firstDraw_ = false;
    probeGlExtensions();
    // A callback may register more; index so that the list may grow meanwhile.
    for (size_t i = 0; i < initCallbacks_.size(); ++i) {
      const CallbackEntry entry = initCallbacks_[i];
      if (entry.callback) entry.callback(entry.user, context_);
    }
  }
  context_.camera = camera_;
  context_.x = x();
  context_.y = y();
  context_.width = w();
  context_.height = h();
  std::srand(kDrawSeed);
  if (drawCallbacks_.empty()) {
    // Nothing registered yet: show the scene's background rather than stale buffer contents.
    glViewport(0, 0, pixel_w(), pixel_h());
    glClearColor(kBackground[0], kBackground[1], kBackground[2], 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  }
  for (size_t i = 0; i < drawCallbacks_.size(); ++i) {
    const CallbackEntry entry = drawCallbacks_[i];
    if (entry.callback) entry.callback(entry.user, context_);
  }
  ++frames_;
  if (frameDrawn_) frameDrawn_();
}

void glDrawSurface::setPickFromEvent() {
  camera_->setPickPosition(Fl::event_x(), Fl::event_y());
}

void glDrawSurface::sendMouseEvent(int type) {
  const bool capsLock = (Fl::event_state() & FL_CAPS_LOCK) != 0;
  const bool shift = (Fl::event_shift() != 0) != capsLock;
  camera_->mouseEvent(type, Fl::event_x(), Fl::event_y(), Fl::event_button1() != 0,
                      Fl::event_button2() != 0, Fl::event_button3() != 0, Fl::event_ctrl() != 0,
                      shift);
}

/// Whether `key` is one of the modifiers whose change restarts a running drag.
static bool isDragModifier(int key) {
  return key == FL_Shift_L || key == FL_Shift_R || key == FL_Control_L || key == FL_Control_R ||
         key == FL_Caps_Lock;
}

int glDrawSurface::cameraEvent(int event) {
  switch (event) {
    case FL_PUSH:
      sendMouseEvent(ViewCamera::kEventPush);
      setPickFromEvent();
      redraw();
      return 1;
    case FL_RELEASE:
      sendMouseEvent(ViewCamera::kEventRelease);
      redraw();
      return 1;
    case FL_DRAG:
      sendMouseEvent(ViewCamera::kEventDrag);
      setPickFromEvent();
      redraw();
      return 1;
    case FL_FOCUS:
    case FL_UNFOCUS:
      return 1;
    case FL_KEYDOWN: {
      const int key = Fl::event_key();
      if (key == FL_Left || key == FL_Down) {
        camera_->zoomIn();
        redraw();
        return 1;
      }
      if (key == FL_Up || key == FL_Right) {
        camera_->zoomOut();
        redraw();
        return 1;
      }
      if (isDragModifier(key)) {
        sendMouseEvent(ViewCamera::kEventPush);
        return 1;
      }
      return 0;
    }
    case FL_KEYUP:
      if (isDragModifier(Fl::event_key())) {
        sendMouseEvent(ViewCamera::kEventPush);
        return 1;
      }
      return 0;
    case FL_MOVE:
      setPickFromEvent();
      return 1;
    default:
      return 0;
  }
}

int glDrawSurface::handle(int event) {
  // A press gives the view the keyboard, so that a modifier pressed during a drag restarts it;
  // keys typed over the view without the keyboard arrive as shortcuts and are taken as keys.
  if (event == FL_PUSH && Fl::focus() != this) take_focus();
  if (event == FL_SHORTCUT && Fl::belowmouse() == this) event = FL_KEYDOWN;
  int used = 0;
  const bool spaceHeld = Fl::event_key(' ') != 0;
  if (spaceHeld || !tool_ || tool_->mode == 0) {
    used = cameraEvent(event);
  } else if (event == FL_DRAG || event == FL_MOVE) {
    setPickFromEvent();
    redraw();
    used = 1;
  }
  if (eventCallback_ && eventCallback_(event, eventUser_)) used = 1;
  const int toolkit = Fl_Gl_Window::handle(event);
  return used ? 1 : toolkit;
}

#include "common/popup/popup_tool_window.h"

#include <FL/Fl.H>
#include <FL/x.H>
#include <X11/Xlib.h>

#include "common/callback_list.h"
#include "common/name_registry.h"

namespace {

/// The pointer in screen coordinates. Asked of the X server, because the list is fired after a
/// press the toolkit may never have seen (over another program's window), when its last record
/// can be stale or lie on the popup's edge where the pointer left it; the toolkit's record
/// serves only without a display.
void pointerOnScreen(int& x, int& y) {
  x = Fl::event_x_root();
  y = Fl::event_y_root();
  if (fl_display == nullptr) return;
  Window root = 0, child = 0;
  int rootX = 0, rootY = 0, winX = 0, winY = 0;
  unsigned int mask = 0;
  if (XQueryPointer(fl_display, RootWindow(fl_display, fl_screen), &root, &child, &rootX, &rootY,
                    &winX, &winY, &mask)) {
    x = rootX;
    y = rootY;
  }
}

/// Whether the window's callback is one its owner set, not the toolkit's default (hide).
bool hasOwnCallback(const Fl_Window& window) {
  return window.callback() != reinterpret_cast<Fl_Callback*>(Fl_Window::default_callback);
}

}  // namespace

PopupToolWindow::PopupToolWindow(int x, int y, int w, int h, Variant variant, const char* label)
    : Fl_Window(x, y, w, h, label), variant_(variant) {
  clear_border();
  set_non_modal();
}

PopupToolWindow::~PopupToolWindow() {
  // The base destructor's hide() is not this class's, so the entry goes here.
  removeEntry();
}

CallbackList* PopupToolWindow::eventToolList() {
  return static_cast<CallbackList*>(NameRegistry::instance().find(kEventToolName));
}

void PopupToolWindow::addEntry() {
  // A window manager may unmap and map the popup again without a hide in between.
  if (listed_) return;
  CallbackList* list = eventToolList();
  if (list == nullptr) return;
  list->add(popupMouseChanged, this);
  listed_ = true;
}

void PopupToolWindow::removeEntry() {
  if (!listed_) return;
  listed_ = false;
  // The list registered now; one that was taken out of the registry may be gone already.
  if (CallbackList* list = eventToolList()) list->remove(popupMouseChanged, this);
}

void PopupToolWindow::hide() {
  removeEntry();
  Fl_Window::hide();
}

int PopupToolWindow::handle(int event) {
  const bool converter = variant_ == Variant::kConverter;
  switch (event) {
    case FL_SHOW: {
      if (!converter) keepWindowAbove(this);
      armed_ = false;
      addEntry();
      Fl_Window::handle(event);
      return 1;
    }
    case FL_PUSH: {
      armed_ = true;
      pressedChild_.reset();
      if (converter) return 1;
      Fl_Window::handle(event);
      // The toolkit sends the drags and the release straight to the child that took the press,
      // which would leave the popup shown; route them through the popup instead.
      Fl_Widget* taker = Fl::pushed();
      if (taker != nullptr && taker != this && contains(taker)) {
        pressedChild_ = std::make_unique<Fl_Widget_Tracker>(taker);
        Fl::pushed(this);
      }
      return 1;
    }
    case FL_DRAG: {
      if (pressedChild_ && pressedChild_->exists()) return pressedChild_->widget()->handle(event);
      return Fl_Window::handle(event);
    }
    case FL_RELEASE: {
      const bool acted = armed_;
      // Taken out first: the child's callback may delete this popup.
      std::unique_ptr<Fl_Widget_Tracker> child = std::move(pressedChild_);
      if (acted) hide();
      if (converter) return 1;
      if (child) {
        if (child->exists()) child->widget()->handle(event);
        return 1;
      }
      return Fl_Window::handle(event) != 0 || acted ? 1 : 0;
    }
    case FL_FOCUS:
    case FL_UNFOCUS:
      if (converter) return 1;
      return Fl_Window::handle(event);
    default:
      return Fl_Window::handle(event);
  }
}

void PopupToolWindow::popupMouseChanged(int pressed, void* popup) {
  if (popup != nullptr) static_cast<PopupToolWindow*>(popup)->mouseChanged(pressed);
}

int PopupToolWindow::mouseChanged(int pressed) {
  if (!shown() || pressed == 0) return 0;
  int px = 0, py = 0;
  pointerOnScreen(px, py);
  // Edges inclusive: x + w and y + h still count as inside.
  if (px >= x() && px <= x() + w() && py >= y() && py <= y() + h()) return 1;
  if (variant_ == Variant::kTracker && hasOwnCallback(*this)) {
    Fl_Widget_Tracker alive(this);
    do_callback();
    if (alive.deleted()) return 1;  // the owner deleted the popup, which took its entry out
  }
  hide();
  return 1;
}

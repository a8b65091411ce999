#include "halvex/ui/interaction_tool_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Group.H>

#include "common/popup/popup_tool_window.h"
#include "halvex/ui/interaction_tool_pixmaps.h"

namespace {

constexpr int kStripWidth = 58;
constexpr int kStripHeight = 20;
constexpr int kDragX = 3;
constexpr int kDragY = 3;
constexpr int kDragWidth = 52;
constexpr int kDragHeight = 14;
constexpr Fl_Color kDragColor = FL_DARK3;

constexpr int kButtonSize = 28;
constexpr int kColumnX[2] = {1, 1 + kButtonSize + 1};
constexpr int kRowY[3] = {kStripHeight + 1, kStripHeight + 1 + kButtonSize,
                          kStripHeight + 1 + 2 * kButtonSize};
static_assert(kColumnX[1] + kButtonSize <= InteractionToolWindow::kWidth, "buttons fit across");
static_assert(kRowY[2] + kButtonSize <= InteractionToolWindow::kHeight, "buttons fit down");

/// What each button shows and whether it is one of the mode toggles.
struct SlotLook {
  const char* const* image;
  const char* tooltip;
  bool toggle;
  int mode;  ///< For toggles.
  int column;
  int row;
};

constexpr SlotLook kSlots[InteractionToolWindow::kSlotCount] = {
    {kNavigationXpm, "Navigate the view", true, InteractionToolWindow::kNavigationMode, 0, 0},
    {kDataSetPickXpm, "Pick data-set points (shift-click)", true,
     InteractionToolWindow::kDataSetMode, 0, 1},
    {kRulerXpm, nullptr, false, 0, 0, 2},
    {kMapEditXpm, "Edit maps", true, InteractionToolWindow::kMapEditMode, 1, 0},
    {kMagnifierXpm, nullptr, false, 0, 1, 1},
    {kLabelTagXpm, nullptr, false, 0, 1, 2},
};

}  // namespace

Kf_dragBox::Kf_dragBox(int x, int y, int w, int h, const char* label)
    : Fl_Box(FL_THIN_DOWN_BOX, x, y, w, h, label) {
  color(kDragColor);
}

int Kf_dragBox::handle(int event) {
  Fl_Window* window = top_window();
  switch (event) {
    case FL_PUSH:
      if (window == nullptr) return 0;
      dragging_ = true;
      startRootX_ = Fl::event_x_root();
      startRootY_ = Fl::event_y_root();
      startWindowX_ = window->x();
      startWindowY_ = window->y();
      return 1;
    case FL_DRAG:
    case FL_RELEASE:
      if (!dragging_ || window == nullptr) return 0;
      // From the start of the drag: each step places the window afresh, so no rounding or
      // window-manager adjustment accumulates.
      window->position(startWindowX_ + Fl::event_x_root() - startRootX_,
                       startWindowY_ + Fl::event_y_root() - startRootY_);
      if (event == FL_RELEASE) dragging_ = false;
      return 1;
    default:
      return Fl_Box::handle(event);
  }
}

InteractionToolWindow::InteractionToolWindow(int x, int y) : Fl_Window(x, y, kWidth, kHeight) {
  clear_border();
  callback(closeRequested);

  strip_ = new Fl_Group(0, 0, kStripWidth, kStripHeight);
  strip_->box(FL_THIN_UP_BOX);
  dragBox_ = new Kf_dragBox(kDragX, kDragY, kDragWidth, kDragHeight);
  dragBox_->tooltip("Drag to move");
  strip_->end();

  for (int i = 0; i < kSlotCount; ++i) {
    const SlotLook& look = kSlots[i];
    images_[i] = std::make_unique<Fl_Pixmap>(look.image);
    auto* button = new Fl_Button(kColumnX[look.column], kRowY[look.row], kButtonSize, kButtonSize);
    button->image(images_[i].get());
    button->tooltip(look.tooltip);
    button->visible_focus(0);
    if (look.toggle) {
      // Radio buttons: turning one on turns the others off, and pressing the one that is on
      // leaves it on without a callback.
      button->type(FL_RADIO_BUTTON);
      button->callback(toggled, this);
    }
    buttons_[i] = button;
  }
  end();
  setMode(kNavigationMode);
}

InteractionToolWindow::~InteractionToolWindow() {
  // The images go before the base class deletes the buttons that point to them.
  for (Fl_Button* button : buttons_) button->image(nullptr);
}

bool InteractionToolWindow::setMode(int mode) {
  for (int i = 0; i < kSlotCount; ++i) {
    if (kSlots[i].toggle && kSlots[i].mode == mode) {
      buttons_[i]->setonly();
      mode_ = mode;
      return true;
    }
  }
  return false;
}

void InteractionToolWindow::setModeCallback(ModeCallback callback, void* user) {
  modeCallback_ = callback;
  modeUser_ = user;
}

int InteractionToolWindow::handle(int event) {
  const int used = Fl_Window::handle(event);
  if (event == FL_SHOW) keepWindowAbove(this);
  return used;
}

void InteractionToolWindow::toggled(Fl_Widget* button, void* self) {
  auto* window = static_cast<InteractionToolWindow*>(self);
  for (int i = 0; i < kSlotCount; ++i) {
    if (window->buttons_[i] != button || !kSlots[i].toggle) continue;
    if (window->mode_ == kSlots[i].mode) return;
    window->mode_ = kSlots[i].mode;
    if (window->modeCallback_ != nullptr) window->modeCallback_(window->mode_, window->modeUser_);
    return;
  }
}

void InteractionToolWindow::closeRequested(Fl_Widget* window, void*) {
  if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape) return;
  window->hide();
}

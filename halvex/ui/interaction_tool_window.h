// The interaction tool window: a small palette kept above the other windows that chooses what
// the mouse does in the three-dimensional view (navigate, edit maps or pick data-set points).
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Pixmap.H>
#include <FL/Fl_Window.H>

#include <array>
#include <memory>

/// A box that moves its whole top-level window with the pointer while dragged.
class Kf_dragBox : public Fl_Box {
 public:
  Kf_dragBox(int x, int y, int w, int h, const char* label = nullptr);

  /// Push starts a move; drag and release move the window by the pointer's screen movement.
  int handle(int event) override;

 private:
  bool dragging_ = false;
  int startRootX_ = 0;  ///< Pointer on the screen at the push.
  int startRootY_ = 0;
  int startWindowX_ = 0;  ///< Window position at the push.
  int startWindowY_ = 0;
};

/// The palette: a drag strip over two columns of three image buttons, three of which are
/// exclusive toggles that set the interaction mode.
class InteractionToolWindow : public Fl_Window {
 public:
  static constexpr int kWidth = 59;
  static constexpr int kHeight = 106;

  /// The camera takes the mouse.
  static constexpr int kNavigationMode = 0;
  /// Mouse events go to the project's map group.
  static constexpr int kMapEditMode = 1;
  /// A shift-click picks a data-set point.
  static constexpr int kDataSetMode = 3;

  /// The buttons, column by column from the top: left column, then right column.
  enum Slot {
    kNavigationSlot,   ///< Left, top: navigation toggle.
    kDataSetSlot,      ///< Left, middle: data-set picking toggle.
    kSpareLeftSlot,    ///< Left, bottom: no action.
    kMapEditSlot,      ///< Right, top: map editing toggle.
    kSpareMiddleSlot,  ///< Right, middle: no action.
    kSpareBottomSlot,  ///< Right, bottom: no action.
    kSlotCount
  };

  /// Called with the new mode when the operator turns a toggle on.
  using ModeCallback = void (*)(int mode, void* user);

  /// Builds the window hidden with its top left corner at (x, y) of the screen, in
  /// navigation mode.
  InteractionToolWindow(int x, int y);
  ~InteractionToolWindow() override;

  /// The current mode: kNavigationMode, kMapEditMode or kDataSetMode.
  int mode() const { return mode_; }
  /// Turns on the toggle of `mode` and the others off, without calling the mode callback;
  /// false (and nothing changed) for a mode that has no toggle.
  bool setMode(int mode);
  /// Sets who hears of mode changes made with the toggles (null for nobody).
  void setModeCallback(ModeCallback callback, void* user);

  Fl_Button* button(Slot slot) const { return buttons_[slot]; }
  Kf_dragBox* dragBox() const { return dragBox_; }
  /// The strip at the top that holds the drag box.
  Fl_Group* dragStrip() const { return strip_; }

  /// Keeps the window above the others each time it is shown.
  int handle(int event) override;

 private:
  /// A toggle's callback; the mode travels as the button's user value.
  static void toggled(Fl_Widget* button, void* self);
  /// Window callback: a close request of the window system hides it; Escape does not.
  static void closeRequested(Fl_Widget* window, void*);

  int mode_ = kNavigationMode;
  ModeCallback modeCallback_ = nullptr;
  void* modeUser_ = nullptr;
  Fl_Group* strip_ = nullptr;
  Kf_dragBox* dragBox_ = nullptr;
  std::array<Fl_Button*, kSlotCount> buttons_{};               ///< Owned by the window.
  std::array<std::unique_ptr<Fl_Pixmap>, kSlotCount> images_;  ///< Outlive the buttons.
};

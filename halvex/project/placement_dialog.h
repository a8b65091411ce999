// The dialog that asks how a map without a setup file is to be laid on the ground.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Hor_Slider.H>
#include <FL/Fl_Round_Button.H>

#include <functional>
#include <string>

/// What the operator chose in the placement dialog.
struct PlacementSettings {
  /// 0 "center of view", 1 "use existing geo reference", 2 "enter position and scale".
  int mode = 0;
  int allowInteractive = 0;  ///< "allow interactive positionig".
  int hideSmall = 0;         ///< "hide with smaller the 10% of screen width".
  int useAlpha = 0;          ///< "use alpha channel".
  int loadAlpha = 0;         ///< "load seperate alpha channel image ".
  double opacity = 0.75;     ///< The slider, 0 to 1.
};

/// "Placement Mode Selection": the placement mode, the interactive positioning and display
/// switches and the opacity slider, with "next" and "cancel". Built hidden; both buttons and
/// closing the window hide it before the owner's action runs.
class PlacementDialog {
 public:
  static constexpr int kWidth = 340;               ///< Window width, px.
  static constexpr int kHeight = 385;              ///< Window height, px.
  static constexpr double kInitialOpacity = 0.75;  ///< The slider's start value.

  /// Builds the dialog, hidden, its window labelled with `mapPath` (copied; null for none).
  explicit PlacementDialog(const char* mapPath);
  ~PlacementDialog();
  PlacementDialog(const PlacementDialog&) = delete;
  PlacementDialog& operator=(const PlacementDialog&) = delete;

  /// Sets what "next" and "cancel" (also closing the window) do after hiding the dialog.
  void setActions(std::function<void()> next, std::function<void()> cancel);

  void show();
  void hide();
  bool shown() const;

  /// The settings as the widgets show them now.
  PlacementSettings settings() const;

  /// Moves the slider to `value` (limited to 0..1) and rewrites its label.
  void setOpacity(double value);

  /// The slider's label for `value`: "% 2d%% Opaque" with value x 100 cut to an integer.
  static std::string opacityLabel(double value);

  Fl_Double_Window* window = nullptr;         ///< Owned, deleted with this.
  Fl_Group* modeGroup = nullptr;              ///< "Placement Mode Selection".
  Fl_Round_Button* centerButton = nullptr;    ///< "center of view".
  Fl_Round_Button* existingButton = nullptr;  ///< "use existing geo reference".
  Fl_Round_Button* enterButton = nullptr;     ///< "enter position and scale".
  Fl_Check_Button* interactiveCheck = nullptr;
  Fl_Check_Button* hideSmallCheck = nullptr;
  Fl_Check_Button* useAlphaCheck = nullptr;
  Fl_Check_Button* loadAlphaCheck = nullptr;
  Fl_Hor_Slider* opacitySlider = nullptr;
  Fl_Button* nextButton = nullptr;    ///< "next".
  Fl_Button* cancelButton = nullptr;  ///< "cancel".

 private:
  static void onNext(Fl_Widget*, void* self);
  static void onCancel(Fl_Widget*, void* self);
  static void onSlider(Fl_Widget*, void* self);

  std::function<void()> next_;
  std::function<void()> cancel_;
};

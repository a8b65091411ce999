// Small borderless popup windows that disappear when a mouse button is pressed anywhere outside
// them, also over another program's window, through the "manu event tool" list that the main
// loop fires on mouse-button changes.
#pragma once

#include <FL/Fl_Window.H>

#include <memory>

#include "common/popup/window_above.h"

class CallbackList;
class Fl_Widget_Tracker;

/// A borderless, non-modal popup that keeps an entry in the "manu event tool" list while shown.
class PopupToolWindow : public Fl_Window {
 public:
  /// The tracker's popups stay on top and run their window callback when dismissed from
  /// outside; the converter's answer their own presses and only hide.
  enum class Variant { kTracker, kConverter };

  /// Registry name of the list the main loop fires with 1 on a press and 0 when all buttons
  /// are up.
  static constexpr const char* kEventToolName = "manu event tool";

  PopupToolWindow(int x, int y, int w, int h, Variant variant, const char* label = nullptr);
  ~PopupToolWindow() override;

  int handle(int event) override;
  /// Hides the popup and takes its entry out of the list.
  void hide() override;

  /// The list's callback: `pressed` 1 when a button went down, 0 when all are up.
  static void popupMouseChanged(int pressed, void* popup);
  /// What popupMouseChanged does for this popup; returns 1 when it acted on the change.
  int mouseChanged(int pressed);

  Variant variant() const { return variant_; }
  bool armed() const { return armed_; }
  /// Whether this popup's entry is in the list now.
  bool listed() const { return listed_; }

 private:
  /// The list registered under kEventToolName, or null.
  static CallbackList* eventToolList();
  /// Appends this popup's entry unless it is there already.
  void addEntry();
  /// Removes this popup's entry if it is there.
  void removeEntry();

  Variant variant_;
  bool armed_ = false;
  bool listed_ = false;  ///< Whether this popup's entry is in the list.
  /// The child that took the last press; it also gets the drags and the release, which the
  /// popup routes through itself so that it sees the release.
  std::unique_ptr<Fl_Widget_Tracker> pressedChild_;
};

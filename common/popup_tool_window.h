// Small borderless popup windows that disappear when a mouse button is pressed anywhere outside
// them, also over another program's window, through the "manu event tool" list that the main
// loop fires on mouse-button changes.
#pragma once

#include <FL/Fl_Window.H>

/// A borderless, non-modal popup that keeps an entry in the "manu event tool" list while shown.
class PopupToolWindow : public Fl_Window {
 public:
  /// The tracker's popups stay on top and run their window callback when dismissed from
  /// outside; the converter's answer their own presses and only hide.
  enum class Variant { kTracker, kConverter };

  PopupToolWindow(int x, int y, int w, int h, Variant variant, const char* label = nullptr);
  ~PopupToolWindow() override;

  int handle(int event) override;

  /// The list's callback: `pressed` 1 when a button went down, 0 when all are up.
  static void popupMouseChanged(int pressed, void* popup);
  /// What popupMouseChanged does for this popup; returns 1 when it acted on the change.
  int mouseChanged(int pressed);

  Variant variant() const { return variant_; }
  bool armed() const { return armed_; }

 private:
  Variant variant_;
  bool armed_ = false;
  bool listed_ = false;  ///< Whether this popup's entry is in the list.
};

// Helpers for the window tests: showing a window until it is drawn, finding widgets by label,
// screen coordinates, clicks and screenshots under the virtual X server.
#pragma once

#include <FL/Fl_Group.H>
#include <FL/Fl_Widget.H>
#include <FL/Fl_Window.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace ui_test {

/// Shows `window` at (x, y) of the screen and runs the event loop until it is mapped and drawn,
/// so that packs have laid out their children. False when that takes too long.
bool showAndDraw(Fl_Window* window, int x = 0, int y = 0);

/// Runs the event loop until `done` is true or `seconds` have passed; returns `done`.
bool waitFor(const bool& done, double seconds = 3.0);

/// Every widget under `group`, depth first, whose label is exactly `text` (null: no label).
std::vector<Fl_Widget*> widgetsLabelled(const Fl_Group* group, const char* text);

/// Every widget under `group`, depth first, of kind T.
template <typename T>
std::vector<T*> widgetsOfKind(const Fl_Group* group) {
  std::vector<T*> found;
  for (int i = 0; i < group->children(); ++i) {
    Fl_Widget* child = group->child(i);
    if (auto* match = dynamic_cast<T*>(child)) found.push_back(match);
    if (const Fl_Group* inner = child->as_group()) {
      std::vector<T*> below = widgetsOfKind<T>(inner);
      found.insert(found.end(), below.begin(), below.end());
    }
  }
  return found;
}

/// The one widget under `group` labelled `text`; null (and a test failure) unless exactly one.
Fl_Widget* onlyWidgetLabelled(const Fl_Group* group, const char* text);

/// Checks a widget's position and size in its window.
void expectGeometry(const Fl_Widget* widget, int x, int y, int w, int h);

/// Clicks mouse button 1 at the centre of `widget`, whose window was shown by showAndDraw.
void clickCentre(const Fl_Widget* widget);

/// Writes a picture of `window` to <build dir>/ui_shots/<name>.png for a look by eye; checks
/// that a non-empty file was written.
void screenshot(Fl_Window* window, const std::string& name);

}  // namespace ui_test

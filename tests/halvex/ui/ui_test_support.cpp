#include "tests/halvex/ui/ui_test_support.h"

#include <FL/Fl.H>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>

// Xlib's macros (None, Bool, Status) must come after the test framework's headers.
#include <FL/x.H>

namespace ui_test {

namespace {

using Clock = std::chrono::steady_clock;

/// Runs the event loop for about `seconds`.
void pump(double seconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (Clock::now() < end) Fl::wait(0.02);
  Fl::flush();
}

}  // namespace

bool showAndDraw(Fl_Window* window, int x, int y) {
  window->position(x, y);
  window->show();
  const auto end = Clock::now() + std::chrono::seconds(5);
  while (!(window->shown() && window->visible()) && Clock::now() < end) Fl::wait(0.02);
  // The first expose arrives after mapping; then nothing is left to draw.
  pump(0.2);
  XSync(fl_display, False);
  pump(0.1);
  return window->shown() && window->visible() && window->damage() == 0;
}

bool waitFor(const bool& done, double seconds) {
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  while (!done && Clock::now() < end) Fl::wait(0.02);
  return done;
}

std::vector<Fl_Widget*> widgetsLabelled(const Fl_Group* group, const char* text) {
  std::vector<Fl_Widget*> found;
  for (Fl_Widget* widget : widgetsOfKind<Fl_Widget>(group)) {
    const char* label = widget->label();
    const bool match = text == nullptr ? label == nullptr : label && std::strcmp(label, text) == 0;
    if (match) found.push_back(widget);
  }
  return found;
}

Fl_Widget* onlyWidgetLabelled(const Fl_Group* group, const char* text) {
  std::vector<Fl_Widget*> found = widgetsLabelled(group, text);
  EXPECT_EQ(found.size(), 1u) << "widgets labelled \"" << text << "\"";
  return found.size() == 1 ? found[0] : nullptr;
}

void expectGeometry(const Fl_Widget* widget, int x, int y, int w, int h) {
  ASSERT_NE(widget, nullptr);
  const char* label = widget->label() ? widget->label() : "(no label)";
  EXPECT_EQ(widget->x(), x) << label;
  EXPECT_EQ(widget->y(), y) << label;
  EXPECT_EQ(widget->w(), w) << label;
  EXPECT_EQ(widget->h(), h) << label;
}

void clickCentre(const Fl_Widget* widget) {
  const Fl_Window* window = widget->window();
  ASSERT_NE(window, nullptr);
  const int x = window->x_root() + widget->x() + widget->w() / 2;
  const int y = window->y_root() + widget->y() + widget->h() / 2;
  const std::string command =
      "xdotool mousemove " + std::to_string(x) + " " + std::to_string(y) + " click 1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

void screenshot(Fl_Window* window, const std::string& name) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(HALVEX_UI_SHOT_DIR);
  std::error_code error;
  fs::create_directories(dir, error);
  const fs::path file = dir / (name + ".png");
  fs::remove(file, error);
  XSync(fl_display, False);
  const std::string command =
      "import -window " + std::to_string(fl_xid(window)) + " '" + file.string() + "' 2>/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_GT(fs::file_size(file, error), 0u) << file;
}

}  // namespace ui_test

#include "halvex/ui/main_window_ui.h"

#include <FL/Fl.H>
#include <FL/x.H>

namespace {

/// Stand-in menu until the owner installs its own: the four titles, without items.
Fl_Menu_Item kPlaceholderMenu[] = {
    {"file", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, 0, 0, 0},
    {"edit", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, 0, 0, 0},
    {"view", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, 0, 0, 0},
    {"help", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, 0, 0, 0},
    {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
};

}  // namespace

MainWindowUi::MainWindowUi(const SurfaceFactory& makeSurface) {
  mainWindow = new Fl_Double_Window(kWidth, kHeight);
  if (makeSurface) drawSurface = makeSurface(0, kSurfaceY, kSurfaceWidth, kSurfaceHeight);
  if (drawSurface == nullptr) {
    drawSurface = new Fl_Box(0, kSurfaceY, kSurfaceWidth, kSurfaceHeight);
  }
  filesButton = new Fl_Button(0, 0, kButtonWidth, kStripHeight, "Files");
  graphicsButton = new Fl_Button(kButtonWidth, 0, kButtonWidth, kStripHeight, "Graphics");
  inputsButton = new Fl_Button(2 * kButtonWidth, 0, kButtonWidth, kStripHeight, "Inputs");
  outputsButton = new Fl_Button(3 * kButtonWidth, 0, kButtonWidth, kStripHeight, "Outputs");
  stripFiller = new Fl_Box(4 * kButtonWidth, 0, kFillerWidth, kStripHeight);
  menuBar = new Fl_Menu_Bar(0, 0, kSurfaceWidth, kStripHeight);
  mainWindow->end();
  installMenu(kPlaceholderMenu);
}

MainWindowUi::~MainWindowUi() {
  delete mainWindow;
}

void MainWindowUi::installMenu(const Fl_Menu_Item* items) {
  menuBar->menu(items);
  layoutStrip();
}

int MainWindowUi::menuBarWidthNeeded() const {
  // Titles are measured as the menu bar draws them, in the menu's font, so a display is needed.
  fl_open_display();
  int width = 2 * kMenuBarMargin;
  const Fl_Menu_Item* title = menuBar->menu() ? menuBar->menu()->first() : nullptr;
  for (; title != nullptr && title->text != nullptr; title = title->next()) {
    width += title->measure(nullptr, menuBar) + kMenuTitlePadding;
  }
  return width;
}

void MainWindowUi::layoutStrip() {
  const int left = menuBarWidthNeeded();
  menuBar->resize(0, 0, left, kStripHeight);
  Fl_Widget* strip[] = {filesButton, graphicsButton, inputsButton, outputsButton};
  for (int i = 0; i < 4; ++i) {
    strip[i]->resize(left + i * kButtonWidth, 0, kButtonWidth, kStripHeight);
  }
  stripFiller->resize(left + 4 * kButtonWidth, 0, kFillerWidth, kStripHeight);
  mainWindow->redraw();
}

#include "halvex/ui/main_window_ui.h"

#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "halvex/app/menu_table.h"
#include "halvex/view/gl_draw_surface.h"
#include "tests/halvex/ui/ui_test_support.h"

namespace {

/// Makes the real drawing surface, as the main window object does.
Fl_Widget* makeGlSurface(int x, int y, int w, int h) {
  return new glDrawSurface(x, y, w, h);
}

/// The four strip buttons, left to right.
std::vector<Fl_Button*> stripButtons(const MainWindowUi& ui) {
  return {ui.filesButton, ui.graphicsButton, ui.inputsButton, ui.outputsButton};
}

/// Checks the strip right of the menu bar: the buttons in order, 90 x 25 each, then the filler.
void expectStripRightOfMenuBar(const MainWindowUi& ui) {
  const int barWidth = ui.menuBar->w();
  ui_test::expectGeometry(ui.menuBar, 0, 0, barWidth, 25);
  EXPECT_EQ(barWidth, ui.menuBarWidthNeeded());
  const char* labels[] = {"Files", "Graphics", "Inputs", "Outputs"};
  int x = barWidth;
  for (size_t i = 0; i < 4; ++i) {
    Fl_Button* button = stripButtons(ui)[i];
    EXPECT_STREQ(button->label(), labels[i]);
    ui_test::expectGeometry(button, x, 0, 90, 25);
    x += 90;
  }
  ui_test::expectGeometry(ui.stripFiller, x, 0, 475, 25);
  ui_test::expectGeometry(ui.drawSurface, 0, 25, 835, 850);
}

/// Right end of the last title as the menu bar lays its titles out, px.
int lastTitleEnd(const Fl_Menu_Bar& bar) {
  int x = bar.x() + MainWindowUi::kMenuBarMargin;
  for (const Fl_Menu_Item* m = bar.menu()->first(); m && m->text; m = m->next()) {
    x += m->measure(nullptr, &bar) + MainWindowUi::kMenuTitlePadding;
  }
  return x;
}

TEST(MainWindowUi, WindowAndDrawingSurfaceFromTheFactory) {
  glDrawSurface* made = nullptr;
  MainWindowUi ui([&made](int x, int y, int w, int h) {
    made = new glDrawSurface(x, y, w, h);
    return made;
  });
  EXPECT_FALSE(ui.mainWindow->shown());
  EXPECT_EQ(ui.mainWindow->w(), 837);
  EXPECT_EQ(ui.mainWindow->h(), 877);
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(ui.drawSurface, made);
  EXPECT_EQ(ui.drawSurface->parent(), ui.mainWindow);
  ui_test::expectGeometry(ui.drawSurface, 0, 25, 835, 850);
  // The menu bar comes after the strip, so that it would win where they met.
  EXPECT_GT(ui.mainWindow->find(ui.menuBar), ui.mainWindow->find(ui.stripFiller));
  EXPECT_GT(ui.mainWindow->find(ui.stripFiller), ui.mainWindow->find(ui.outputsButton));

  ASSERT_TRUE(ui_test::showAndDraw(ui.mainWindow));
  EXPECT_GT(made->framesDrawn(), 0);
  expectStripRightOfMenuBar(ui);
  ui_test::screenshot(ui.mainWindow, "main_window");
}

TEST(MainWindowUi, EmptyBoxStandsInWhenThereIsNoSurface) {
  MainWindowUi none;
  MainWindowUi nullSurface([](int, int, int, int) -> Fl_Widget* { return nullptr; });
  for (MainWindowUi* ui : {&none, &nullSurface}) {
    ASSERT_NE(dynamic_cast<Fl_Box*>(ui->drawSurface), nullptr);
    EXPECT_EQ(ui->drawSurface->parent(), ui->mainWindow);
    ui_test::expectGeometry(ui->drawSurface, 0, 25, 835, 850);
  }
}

TEST(MainWindowUi, PlaceholderMenuHasTheFourTitlesAndTheStripBesideIt) {
  MainWindowUi ui;
  std::vector<std::string> titles;
  for (const Fl_Menu_Item* m = ui.menuBar->menu(); m && m->text; m = m->next()) {
    titles.emplace_back(m->text);
  }
  EXPECT_EQ(titles, (std::vector<std::string>{"file", "edit", "view", "help"}));
  expectStripRightOfMenuBar(ui);
  EXPECT_LT(ui.menuBar->w(), ui.filesButton->x() + 1);
  EXPECT_LE(lastTitleEnd(*ui.menuBar), ui.menuBar->w());
}

/// Receives the real menu's commands; none are expected here.
struct NoCommands : MenuCommands {
  void menuCommand(MenuCommand) override {}
};

TEST(MainWindowUi, RealMenuLeavesEveryButtonPressable) {
  MainWindowUi ui(makeGlSurface);
  NoCommands commands;
  std::vector<Fl_Menu_Item> menu = makeMenuTable(&commands);
  ui.installMenu(menu.data());
  EXPECT_EQ(ui.menuBar->menu(), menu.data());
  expectStripRightOfMenuBar(ui);
  EXPECT_LE(lastTitleEnd(*ui.menuBar), ui.menuBar->w());
  EXPECT_LT(ui.menuBar->w(), 4 * 90) << "titles alone are far narrower than the strip";

  // Each press lands on its own button: none lies under the menu bar any more.
  int pressed[4] = {0, 0, 0, 0};
  bool any = false;
  struct Press {
    int* count;
    bool* any;
  } presses[4];
  for (int i = 0; i < 4; ++i) {
    presses[i] = {&pressed[i], &any};
    stripButtons(ui)[i]->callback(
        [](Fl_Widget*, void* data) {
          auto* press = static_cast<Press*>(data);
          ++*press->count;
          *press->any = true;
        },
        &presses[i]);
  }
  ASSERT_TRUE(ui_test::showAndDraw(ui.mainWindow));
  for (int i = 0; i < 4; ++i) {
    any = false;
    ui_test::clickCentre(stripButtons(ui)[i]);
    EXPECT_TRUE(ui_test::waitFor(any)) << stripButtons(ui)[i]->label();
  }
  EXPECT_EQ(std::vector<int>(pressed, pressed + 4), (std::vector<int>{1, 1, 1, 1}));
  ui_test::screenshot(ui.mainWindow, "main_window_with_menu");
}

TEST(MainWindowUi, InstallingAnotherMenuRefitsTheStrip) {
  MainWindowUi ui;
  const int fourTitles = ui.menuBar->w();
  const Fl_Menu_Item longer[] = {
      {"file", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, 0, 0, 0},
      {"a much longer title", 0, nullptr, nullptr, 0, FL_NORMAL_LABEL, 0, 0, 0},
      {"hidden title", 0, nullptr, nullptr, FL_MENU_INVISIBLE, FL_NORMAL_LABEL, 0, 0, 0},
      {nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0},
  };
  ui.installMenu(longer);
  EXPECT_GT(ui.menuBar->w(), fourTitles);
  EXPECT_LE(lastTitleEnd(*ui.menuBar), ui.menuBar->w());
  expectStripRightOfMenuBar(ui);

  // The hidden title takes no room: the same menu without it needs the same width.
  const Fl_Menu_Item visibleOnly[] = {longer[0], longer[1], longer[3]};
  const int withHidden = ui.menuBar->w();
  ui.installMenu(visibleOnly);
  EXPECT_EQ(ui.menuBar->w(), withHidden);

  const Fl_Menu_Item empty[] = {{nullptr, 0, nullptr, nullptr, 0, 0, 0, 0, 0}};
  ui.installMenu(empty);
  EXPECT_EQ(ui.menuBar->w(), 2 * MainWindowUi::kMenuBarMargin);
  expectStripRightOfMenuBar(ui);
  ui.installMenu(nullptr);
  EXPECT_EQ(ui.menuBar->w(), 2 * MainWindowUi::kMenuBarMargin);
  expectStripRightOfMenuBar(ui);
}

}  // namespace

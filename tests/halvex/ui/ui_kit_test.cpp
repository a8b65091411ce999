#include "halvex/ui/ui_kit.h"

#include <FL/Fl.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Round_Button.H>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/halvex/ui/ui_test_support.h"

namespace {

/// Texts of a menu's items, the terminator left out.
std::vector<std::string> itemTexts(const Fl_Menu_& menu) {
  std::vector<std::string> texts;
  for (int i = 0; i + 1 < menu.size(); ++i) texts.emplace_back(menu.text(i));
  return texts;
}

TEST(ChoiceItems, LabelsAreShownAsTheyAreAndEqualOnesStaySeparate) {
  Fl_Choice choice(0, 0, 100, 25);
  {
    // Texts that add() would read as submenus, alternatives, escapes, dividers or shortcuts,
    // and names that repeat, as node names may.
    std::vector<std::string> labels = {"007: a/b", "x|y",  "_under", "back\\slash", "R&D",
                                       "same",     "same", "",       "1",           "0"};
    setChoiceItems(&choice, labels, 6);
    labels.assign(labels.size(), "overwritten");  // the menu keeps its own copies
  }
  EXPECT_EQ(itemTexts(choice), (std::vector<std::string>{"007: a/b", "x|y", "_under", "back\\slash",
                                                         "R&&D", "same", "same", "", "1", "0"}));
  EXPECT_EQ(choice.value(), 6);
  for (int i = 0; i + 1 < choice.size(); ++i) {
    EXPECT_EQ(choice.menu()[i].flags & (FL_SUBMENU | FL_MENU_DIVIDER), 0) << i;
  }
}

TEST(ChoiceItems, RefillReplacesItemsAndSelectionFallsBackToTheFirst) {
  Fl_Choice choice(0, 0, 100, 25);
  setChoiceItems(&choice, {"a", "b", "c"}, 2);
  setChoiceItems(&choice, {"NONE", "1", "2"}, 7);
  EXPECT_EQ(itemTexts(choice), (std::vector<std::string>{"NONE", "1", "2"}));
  EXPECT_EQ(choice.value(), 0);
  setChoiceItems(&choice, {"x"}, -1);
  EXPECT_EQ(choice.value(), 0);
  setChoiceItems(&choice, {}, 0);
  EXPECT_TRUE(itemTexts(choice).empty());
  EXPECT_EQ(choice.value(), -1);
}

TEST(ChoiceItems, RateChoicesHoldTheirTableAtTheGivenDefault) {
  for (RateTable table : {RateTable::kDisplay, RateTable::kLocal, RateTable::kRemote}) {
    Fl_Choice choice(0, 0, 100, 25);
    fillRateChoice(&choice, table, 1);
    ASSERT_EQ(choice.size() - 1, rateCount(table));
    for (int i = 0; i < rateCount(table); ++i) {
      EXPECT_STREQ(choice.text(i), rateEntries(table)[i].label);
    }
    EXPECT_EQ(choice.value(), 1);
  }
}

TEST(SectionStack, PackKeepsTheGivenPositionsAndGaps) {
  Fl_Double_Window window(200, 200, "stack");
  SectionStack stack(3, 150);
  const UiSection first = stack.openSection(9, 40, "first", 140);
  Fl_Box* inFirst = new Fl_Box(10, 35, 20, 10);
  const UiSection second = stack.openSection(49, 30, "second", 140);  // no gap
  const UiSection third = stack.openSection(85, 50, "third", 140);    // 6 pixels below
  Fl_Box* inThird = new Fl_Box(10, 115, 20, 10);
  stack.end();
  Fl_Box* after = new Fl_Box(0, 150, 10, 10);
  window.end();
  EXPECT_EQ(after->parent(), &window);
  ASSERT_TRUE(ui_test::showAndDraw(&window));

  Fl_Pack* pack = stack.pack();
  EXPECT_EQ(pack->type(), Fl_Pack::VERTICAL);
  ui_test::expectGeometry(pack->child(0), 3, kPackTop, 150, kPackSpacer);
  ui_test::expectGeometry(first.group, 3, 9, 150, 40);
  ui_test::expectGeometry(second.group, 3, 49, 150, 30);
  ui_test::expectGeometry(third.group, 3, 85, 150, 50);
  for (const UiSection* section : {&first, &second, &third}) {
    EXPECT_EQ(section->group->child(0), section->heading);
    EXPECT_EQ(section->group->box(), FL_UP_BOX);
    EXPECT_EQ(section->heading->x(), section->group->x());
    EXPECT_EQ(section->heading->y(), section->group->y());
    EXPECT_EQ(section->heading->w(), 140);
    EXPECT_EQ(section->heading->h(), kRowHeight);
  }
  ui_test::expectGeometry(inFirst, 10, 35, 20, 10);
  ui_test::expectGeometry(inThird, 10, 115, 20, 10);
  EXPECT_EQ(inThird->parent(), third.group);
}

TEST(LiteralLabel, AmpersandMakesNoShortcut) {
  Fl_Double_Window window(300, 100);
  Fl_Round_Button plain(10, 10, 25, 25, "Centre & frame");
  LiteralLabel<Fl_Round_Button> literal(10, 40, 25, 25, "Centre & frame");
  window.end();
  ASSERT_TRUE(ui_test::showAndDraw(&window));
  // A press of the space bar that no widget with the focus took.
  char space[] = " ";
  Fl::e_keysym = ' ';
  Fl::e_text = space;
  Fl::e_length = 1;
  Fl::e_state = 0;
  EXPECT_EQ(literal.handle(FL_SHORTCUT), 0);
  EXPECT_EQ(literal.value(), 0);
  EXPECT_EQ(plain.handle(FL_SHORTCUT), 1);  // an ordinary button takes " " as its shortcut
  EXPECT_EQ(plain.value(), 1);
  EXPECT_STREQ(literal.label(), "Centre & frame");
}

TEST(RowLabel, StandsRightOfItsControl) {
  Fl_Double_Window window(300, 100);
  Fl_Choice choice(35, 44, 169, 25);
  Fl_Box* label = addRowLabel(&choice, "Target Vehicle Number", 150);
  window.end();
  ui_test::expectGeometry(label, 35 + 169 + kLabelGap, 44, 150, 25);
  EXPECT_EQ(label->align(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  EXPECT_EQ(label->box(), FL_NO_BOX);
}

// Status texts may hold any file name; one set again unchanged costs no drawing.
TEST(LiteralLabel, SetTextIsDrawnAsItIsAndRedrawnOnlyWhenItChanges) {
  Fl_Double_Window window(300, 100);
  Fl_Box* box = addTextBox(10, 10, 200);
  window.end();
  EXPECT_EQ(box->box(), FL_FLAT_BOX);
  ASSERT_TRUE(ui_test::showAndDraw(&window));
  const struct {
    const char* text;
    const char* label;
    bool redrawn;
  } steps[] = {{"", nullptr, false},
               {"a@b.hxr", "a@@b.hxr", true},
               {"a@b.hxr", "a@@b.hxr", false},
               {"@->", "@@->", true},
               {"", "", true}};
  for (const auto& step : steps) {
    setLiteralLabel(box, step.text);
    EXPECT_STREQ(box->label(), step.label) << step.text;
    EXPECT_EQ(box->damage() != 0, step.redrawn) << step.text;
    Fl::flush();
  }
}

}  // namespace

// Building blocks shared by the tracker's settings windows: sections stacked in a vertical pack,
// label and text boxes beside controls, and choices and labels whose texts are shown exactly as
// given.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Menu_.H>
#include <FL/Fl_Pack.H>

#include <string>
#include <vector>

#include "halvex/core/rate_tables.h"

/// Height of every control row, heading and button, px.
constexpr int kRowHeight = 25;
/// Top of the vertical pack in every settings window, px.
constexpr int kPackTop = 4;
/// Height of the spacer box that opens every pack, px.
constexpr int kPackSpacer = 5;
/// Space between a control and the label box to its right, px.
constexpr int kLabelGap = 5;
/// Text size of the tool window's choices.
constexpr int kChoiceTextSize = 14;

/// A raised section of a settings window and its heading box.
struct UiSection {
  Fl_Group* group = nullptr;  ///< The raised group; deactivating it greys the whole section.
  Fl_Box* heading = nullptr;  ///< First child: the heading at the group's top left.
};

/// Stacks sections in a vertical pack that opens with a 5-pixel spacer. Sections are placed at
/// the y they are given; where that leaves a gap below the previous one, an empty box of that
/// height keeps the pack from closing it up, so that the pack lays out exactly those positions.
class SectionStack {
 public:
  /// Starts the pack at (x, kPackTop), `width` wide (the width of every section), inside the
  /// current group.
  SectionStack(int x, int width);

  /// Opens a raised section at `y`, `height` high, with a heading box `headingWidth` wide;
  /// the widgets created until closeSection() go into it.
  UiSection openSection(int y, int height, const char* heading, int headingWidth);
  /// Closes the section opened last.
  void closeSection();
  /// Ends the pack; later widgets go into the pack's parent again.
  void end();

  /// The vertical pack.
  Fl_Pack* pack() const { return pack_; }

 private:
  Fl_Pack* pack_ = nullptr;   ///< The pack, owned by its parent group.
  int x_ = 0;                 ///< Left edge of every section.
  int width_ = 0;             ///< Width of every section.
  int nextY_ = 0;             ///< Where the pack puts its next child.
  Fl_Group* open_ = nullptr;  ///< The section being filled, or null.
};

/// A widget of kind T whose label is drawn as it is: "&" underlines nothing and makes no
/// keyboard shortcut (buttons read it so by default).
template <typename T>
class LiteralLabel : public T {
 public:
  LiteralLabel(int x, int y, int w, int h, const char* label = nullptr) : T(x, y, w, h, label) {
    this->clear_flag(Fl_Widget::SHORTCUT_LABEL);
  }
};

/// A plain box to the right of `control` that carries a row's label, left-aligned inside,
/// `width` wide and as high as the control.
Fl_Box* addRowLabel(const Fl_Widget* control, const char* text, int width);

/// A flat box at (x, y), `width` wide and a row high, that shows a changing text left-aligned
/// inside; flat, so that it repaints its own background when the text changes.
Fl_Box* addTextBox(int x, int y, int width, const char* text = nullptr);

/// Gives `widget` the label `text` drawn as it is ("@" starts no symbol) and redraws it; a text
/// equal to the label shown leaves the widget alone, so that callers may set it every refresh.
void setLiteralLabel(Fl_Widget* widget, const std::string& text);

/// Replaces the items of `menu` by `labels`, shown as they are: "/", "|", "\\" and a leading
/// "_" make no submenus, dividers or escapes, equal labels stay separate items, and "&" is
/// doubled so that it does not underline the next letter. Selects item `selected`, or the
/// first item when there is no such item.
void setChoiceItems(Fl_Menu_* menu, const std::vector<std::string>& labels, int selected = 0);

/// Fills `choice` with the labels of a rate table and selects `defaultIndex`.
void fillRateChoice(Fl_Menu_* choice, RateTable table, int defaultIndex);

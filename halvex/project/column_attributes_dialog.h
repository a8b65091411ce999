// The window in which the operator describes the columns of a CSV data set.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Choice.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Pack.H>
#include <FL/Fl_Round_Button.H>

#include <vector>

#include "halvex/streams/csv_columns.h"

/// "CSV file column attributes": a heading, a header row, the fixed location and time rows and,
/// once added, twelve column rows of type, name, default value and use-default, stacked in one
/// vertical pack. Non-modal; built hidden.
class ColumnAttributesDialog {
 public:
  static constexpr int kWidth = 378;      ///< Window width, px.
  static constexpr int kHeight = 441;     ///< Window height, px.
  static constexpr int kColumnRows = 12;  ///< Rows added by addColumnRows().
  static constexpr const char* kTitle = "CSV file column attributes";

  /// One column's controls.
  struct ColumnRow {
    Fl_Group* group = nullptr;
    Fl_Choice* type = nullptr;  ///< "none", "user", "filter key".
    Fl_Input* name = nullptr;
    Fl_Input* defaultValue = nullptr;
    Fl_Round_Button* useDefault = nullptr;
  };

  ColumnAttributesDialog();
  ~ColumnAttributesDialog();
  ColumnAttributesDialog(const ColumnAttributesDialog&) = delete;
  ColumnAttributesDialog& operator=(const ColumnAttributesDialog&) = delete;

  /// Adds the twelve column rows below the time row.
  void addColumnRows();
  /// The column rows that name a column (blanks alone name none), as attributes numbered by
  /// their row from 1.
  std::vector<ColumnAttribute> attributes() const;
  void show() { window->show(); }

  Fl_Double_Window* window = nullptr;  ///< Owned, deleted with this.
  Fl_Pack* pack = nullptr;
  Fl_Box* heading = nullptr;  ///< "Specify your data types".
  Fl_Group* headerRow = nullptr;
  Fl_Group* locationRow = nullptr;
  Fl_Round_Button* locationUseDefault = nullptr;  ///< Set and inactive: locations come from rows.
  Fl_Group* timeRow = nullptr;
  Fl_Round_Button* timeUseDefault = nullptr;  ///< Set: the time defaults to now.
  std::vector<ColumnRow> columns;

 private:
  /// Keeps an empty band from `nextY_` down to `y`, so that the pack leaves the gap.
  void spaceTo(int y);

  int nextY_ = 0;  ///< Where the pack puts its next child.
};

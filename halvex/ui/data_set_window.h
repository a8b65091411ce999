// The "Field reports" window: the project's data set with its last read message, the span of
// reports shown, and the filter key's values, each with a check box that shows or hides its
// rows.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Scroll.H>
#include <FL/Fl_Value_Input.H>

#include <string>
#include <vector>

/// One line of the value list: the value's text (shown as "(empty)" when blank), its row count
/// and its marker colour.
struct ValueRowText {
  std::string text;
  long rows = 0;
  unsigned char red = 0, green = 0, blue = 0;
  bool shown = true;
};

/// The window's widget record. Built once, hidden; the owner binds the callbacks, fills the
/// value list and keeps the changing texts. The hours input is bounded; read it through
/// clamp(value()).
class DataSetWindowUi {
 public:
  static constexpr int kWidth = 340;   ///< Window width, px.
  static constexpr int kHeight = 420;  ///< Window height, px.
  static constexpr const char* kTitle = "Field reports";
  static constexpr int kSwatchSize = 14;  ///< Side of a value's colour swatch, px.

  /// Builds the window, hidden, with an empty value list; hours bounded by `maxHours`.
  explicit DataSetWindowUi(int maxHours);
  ~DataSetWindowUi();
  DataSetWindowUi(const DataSetWindowUi&) = delete;
  DataSetWindowUi& operator=(const DataSetWindowUi&) = delete;

  /// Replaces the value list by one check button and swatch per entry; each button calls
  /// `callback` with `data` (the owner finds it in valueButtons).
  void setValueRows(const std::vector<ValueRowText>& rows, Fl_Callback* callback, void* data);

  Fl_Double_Window* window = nullptr;          ///< Owned, deleted with this.
  Fl_Box* dataSetLine = nullptr;               ///< The data set and its row counts.
  Fl_Box* messageLine = nullptr;               ///< The last read's message, else empty.
  Fl_Value_Input* hoursInput = nullptr;        ///< "reports of the last N hours"; 0 shows all.
  Fl_Box* filterLine = nullptr;                ///< Which column is the filter key.
  Fl_Scroll* valueList = nullptr;              ///< The value rows.
  std::vector<Fl_Check_Button*> valueButtons;  ///< In the order of the rows given.
};

#include "halvex/ui/data_set_window.h"

#include <FL/Fl.H>

#include "halvex/ui/ui_kit.h"

namespace {

constexpr int kLeft = 10;                                       ///< Left edge of the rows.
constexpr int kRowWidth = DataSetWindowUi::kWidth - 2 * kLeft;  ///< Width of the rows.
constexpr int kHoursX = 150;                                    ///< Left edge of the hours input.
constexpr int kHoursWidth = 70;
constexpr int kListTop = 130;        ///< Top of the value list.
constexpr int kValueRowHeight = 22;  ///< Height of one value row.
constexpr int kSwatchX = kLeft + 4;  ///< Left edge of the swatches in the list.

/// A status line across the window at `y`; long texts are cut at its edge.
Fl_Box* statusLine(int y) {
  Fl_Box* box = addTextBox(kLeft, y, kRowWidth);
  box->align(box->align() | FL_ALIGN_CLIP);
  return box;
}

}  // namespace

DataSetWindowUi::DataSetWindowUi(int maxHours) {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  dataSetLine = statusLine(5);
  messageLine = statusLine(30);
  hoursInput = new Fl_Value_Input(kHoursX, 60, kHoursWidth, kRowHeight, "reports of the last");
  hoursInput->bounds(0, maxHours);
  hoursInput->step(1);
  hoursInput->value(0);
  // Applied when the operator is done (Enter or leaving the field), not at every key.
  hoursInput->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  addRowLabel(hoursInput, "hours (0 = all)", kWidth - kHoursX - kHoursWidth - kLeft);
  filterLine = statusLine(95);
  valueList = new Fl_Scroll(kLeft, kListTop, kRowWidth, kHeight - kListTop - kLeft);
  valueList->type(Fl_Scroll::VERTICAL);
  valueList->box(FL_DOWN_BOX);
  valueList->end();
  window->resizable(valueList);
  window->end();
}

DataSetWindowUi::~DataSetWindowUi() {
  delete window;
}

void DataSetWindowUi::setValueRows(const std::vector<ValueRowText>& rows, Fl_Callback* callback,
                                   void* data) {
  valueList->clear();
  valueButtons.clear();
  valueList->scroll_to(0, 0);
  Fl_Group* const current = Fl_Group::current();
  valueList->begin();
  const int top = valueList->y() + Fl::box_dy(valueList->box());
  const int buttonX = kSwatchX + kSwatchSize + kLabelGap;
  const int buttonWidth = valueList->x() + valueList->w() - buttonX - Fl::scrollbar_size();
  for (size_t k = 0; k < rows.size(); ++k) {
    const ValueRowText& row = rows[k];
    const int y = top + static_cast<int>(k) * kValueRowHeight;
    auto* swatch =
        new Fl_Box(kSwatchX, y + (kValueRowHeight - kSwatchSize) / 2, kSwatchSize, kSwatchSize);
    swatch->box(FL_BORDER_BOX);
    swatch->color(fl_rgb_color(row.red, row.green, row.blue));
    auto* button = new LiteralLabel<Fl_Check_Button>(buttonX, y, buttonWidth, kValueRowHeight);
    const std::string text = row.text.empty() ? "(empty)" : row.text;
    setLiteralLabel(button, text + " (" + std::to_string(row.rows) + ")");
    button->value(row.shown ? 1 : 0);
    button->callback(callback, data);
    valueButtons.push_back(button);
  }
  valueList->end();
  Fl_Group::current(current);
  valueList->redraw();
}

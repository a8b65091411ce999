#include "halvex/project/column_attributes_dialog.h"

#include <FL/Enumerations.H>

#include <iterator>
#include <string>

namespace {

constexpr int kPackX = -2;
constexpr int kPackWidth = 392;
constexpr int kPackHeight = 430;
constexpr int kRowX = 5;
constexpr int kRowWidth = 380;
constexpr int kRowHeight = 25;
constexpr int kHeadingColour = 220;  ///< Colour map index of the heading's box.
constexpr int kFirstColumnY = 115;   ///< Top of the first column row: below the time row.
constexpr int kChoiceTextSize = 14;
constexpr int kUseDefaultLabelSize = 12;
constexpr int kCheckSize = 15;  ///< Side of the round use-default buttons.

/// A plain label box at (x, y), aligned left inside.
Fl_Box* labelBox(int x, int y, int w, int h, const char* text) {
  auto* box = new Fl_Box(x, y, w, h, text);
  box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  return box;
}

/// A sunken box that shows a fixed value in the place of an input.
Fl_Box* valueBox(int x, int y, int w, const char* text) {
  auto* box = new Fl_Box(x, y, w, kRowHeight, text);
  box->box(FL_DOWN_BOX);
  return box;
}

/// A round use-default button, set.
Fl_Round_Button* useDefaultButton(int x, int y) {
  auto* button = new Fl_Round_Button(x, y, kCheckSize, kCheckSize);
  button->value(1);
  return button;
}

}  // namespace

ColumnAttributesDialog::ColumnAttributesDialog() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  pack = new Fl_Pack(kPackX, 0, kPackWidth, kPackHeight);
  pack->type(Fl_Pack::VERTICAL);
  pack->spacing(0);
  nextY_ = 0;

  spaceTo(5);
  heading = new Fl_Box(0, 5, 375, kRowHeight, "Specify your data types");
  heading->box(FL_DOWN_BOX);
  heading->color(kHeadingColour);
  heading->labelfont(FL_BOLD);
  heading->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  nextY_ = 5 + kRowHeight;

  spaceTo(35);
  headerRow = new Fl_Group(kRowX, 35, kRowWidth, 30);
  labelBox(15, 40, 55, 20, "Type");
  labelBox(110, 40, 55, 20, "Name");
  labelBox(225, 40, 90, 20, "Default Value");
  auto* useDefault = new Fl_Box(330, 40, 45, 25, "Use Default");
  useDefault->labelsize(kUseDefaultLabelSize);
  useDefault->align(FL_ALIGN_WRAP | FL_ALIGN_INSIDE);
  headerRow->end();

  locationRow = new Fl_Group(kRowX, 65, kRowWidth, kRowHeight);
  labelBox(10, 65, 95, kRowHeight, "Location");
  valueBox(110, 65, 115, "Location");
  valueBox(230, 65, 110, "Automatic");
  locationUseDefault = useDefaultButton(340, 70);
  locationUseDefault->deactivate();
  locationRow->end();

  timeRow = new Fl_Group(kRowX, 90, kRowWidth, kRowHeight);
  labelBox(10, 90, 95, kRowHeight, "Time");
  valueBox(110, 90, 115, "Time");
  valueBox(230, 90, 110, "Now");
  timeUseDefault = useDefaultButton(340, 95);
  timeRow->end();
  nextY_ = kFirstColumnY;

  pack->end();
  window->end();
}

ColumnAttributesDialog::~ColumnAttributesDialog() {
  delete window;
}

void ColumnAttributesDialog::spaceTo(int y) {
  if (y > nextY_) new Fl_Box(kPackX, nextY_, kPackWidth, y - nextY_);
  nextY_ = y;
}

void ColumnAttributesDialog::addColumnRows() {
  Fl_Group* const current = Fl_Group::current();
  pack->begin();
  for (int i = 0; i < kColumnRows; ++i) {
    const int y = nextY_;
    ColumnRow row;
    row.group = new Fl_Group(kRowX, y, kRowWidth, kRowHeight);
    row.type = new Fl_Choice(10, y, 90, kRowHeight);
    row.type->textsize(kChoiceTextSize);
    row.type->add("none");
    row.type->add("user");
    row.type->add("filter key");
    row.type->value(0);
    row.name = new Fl_Input(105, y, 115, kRowHeight);
    row.defaultValue = new Fl_Input(225, y, 110, kRowHeight);
    row.useDefault = new Fl_Round_Button(335, y + 5, kCheckSize, kCheckSize);
    row.group->end();
    columns.push_back(row);
    nextY_ = y + kRowHeight;
  }
  pack->end();
  Fl_Group::current(current);
  window->redraw();
}

std::vector<ColumnAttribute> ColumnAttributesDialog::attributes() const {
  // The choice's items in the order addColumnRows() adds them.
  static constexpr ColumnUse kUses[] = {ColumnUse::kNone, ColumnUse::kUser, ColumnUse::kFilterKey};
  std::vector<ColumnAttribute> rows;
  for (size_t i = 0; i < columns.size(); ++i) {
    const ColumnRow& row = columns[i];
    const std::string name = row.name->value();
    if (name.find_first_not_of(" \t") == std::string::npos) continue;
    ColumnAttribute attribute;
    attribute.row = static_cast<int>(i) + 1;
    const int use = row.type->value();
    attribute.use =
        use >= 0 && use < static_cast<int>(std::size(kUses)) ? kUses[use] : ColumnUse::kNone;
    attribute.name = name;
    attribute.defaultValue = row.defaultValue->value();
    attribute.useDefault = row.useDefault->value() != 0;
    rows.push_back(attribute);
  }
  return rows;
}

#include "halvex/ui/ui_kit.h"

#include <string>

SectionStack::SectionStack(int x, int width) : x_(x), width_(width) {
  pack_ = new Fl_Pack(x, kPackTop, width, kPackSpacer);
  pack_->type(Fl_Pack::VERTICAL);
  pack_->spacing(0);
  new Fl_Box(x, kPackTop, width, kPackSpacer);
  nextY_ = kPackTop + kPackSpacer;
}

UiSection SectionStack::openSection(int y, int height, const char* heading, int headingWidth) {
  if (open_ != nullptr) closeSection();
  if (y > nextY_) new Fl_Box(x_, nextY_, width_, y - nextY_);  // keeps the gap above
  UiSection section;
  section.group = new Fl_Group(x_, y, width_, height);
  section.group->box(FL_UP_BOX);
  section.heading = new Fl_Box(x_, y, headingWidth, kRowHeight, heading);
  section.heading->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  open_ = section.group;
  nextY_ = (y > nextY_ ? y : nextY_) + height;
  pack_->size(width_, nextY_ - kPackTop);
  return section;
}

void SectionStack::closeSection() {
  if (open_ == nullptr) return;
  open_->end();
  open_ = nullptr;
}

void SectionStack::end() {
  closeSection();
  pack_->end();
}

Fl_Box* addRowLabel(const Fl_Widget* control, const char* text, int width) {
  auto* box =
      new Fl_Box(control->x() + control->w() + kLabelGap, control->y(), width, control->h(), text);
  box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  return box;
}

Fl_Box* addTextBox(int x, int y, int width, const char* text) {
  auto* box = new Fl_Box(FL_FLAT_BOX, x, y, width, kRowHeight, text);
  box->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
  return box;
}

void setLiteralLabel(Fl_Widget* widget, const std::string& text) {
  std::string shown;
  for (char c : text) {
    shown += c;
    if (c == '@') shown += '@';  // "@@" draws one '@'
  }
  const char* current = widget->label();
  if (current != nullptr ? shown == current : shown.empty()) return;
  widget->copy_label(shown.c_str());
  widget->redraw();
}

void setChoiceItems(Fl_Menu_* menu, const std::vector<std::string>& labels, int selected) {
  menu->clear();
  // add() reads "/", "|", "\\" and "_" and merges labels equal to an existing one, so every item
  // is first added under a distinct plain number and only then given its text, which replace()
  // copies as it is.
  for (size_t i = 0; i < labels.size(); ++i) {
    menu->add(std::to_string(i).c_str(), 0, nullptr, nullptr, 0);
  }
  for (size_t i = 0; i < labels.size(); ++i) {
    std::string shown;
    for (char c : labels[i]) {
      shown += c;
      if (c == '&') shown += '&';
    }
    menu->replace(static_cast<int>(i), shown.c_str());
  }
  const int count = static_cast<int>(labels.size());
  if (count > 0) menu->value(selected >= 0 && selected < count ? selected : 0);
}

void fillRateChoice(Fl_Menu_* choice, RateTable table, int defaultIndex) {
  const RateEntry* entries = rateEntries(table);
  std::vector<std::string> labels;
  for (int i = 0; i < rateCount(table); ++i) labels.emplace_back(entries[i].label);
  setChoiceItems(choice, labels, defaultIndex);
}

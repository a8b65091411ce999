#include "halvex/project/placement_dialog.h"

#include <FL/Fl.H>

#include <cstdio>
#include <utility>

namespace {

constexpr int kMargin = 10;      ///< Space around the framed groups, px.
constexpr int kRow = 25;         ///< Height of a button row, px.
constexpr int kLabelSpace = 20;  ///< Room above a group for its label, px.
constexpr int kGroupGap = 10;    ///< Space between two groups, px.
constexpr int kIndent = 10;      ///< Buttons inside a group start this far in, px.
constexpr int kSliderHeight = 20;
constexpr int kButtonWidth = 70;
/// Slider label buffer: "% 2d%% Opaque" of any int fits.
constexpr int kLabelSize = 32;
constexpr double kPercent = 100.0;

/// A framed group with its label above the frame, top-left.
Fl_Group* framedGroup(int y, int rows, const char* label, int extra = 0) {
  auto* group = new Fl_Group(kMargin, y, PlacementDialog::kWidth - 2 * kMargin,
                             rows * kRow + extra + 2 * (kMargin / 2), label);
  group->box(FL_ENGRAVED_BOX);
  group->align(FL_ALIGN_TOP_LEFT);
  return group;
}

}  // namespace

std::string PlacementDialog::opacityLabel(double value) {
  char text[kLabelSize];
  // Out of range values (which the slider never gives) are limited so that the cut stays defined.
  const double limited = value > 1 ? 1 : value >= 0 ? value : 0;
  std::snprintf(text, sizeof text, "% 2d%% Opaque", static_cast<int>(limited * kPercent));
  return text;
}

PlacementDialog::PlacementDialog(const char* mapPath) {
  // A top-level window even when built while some group is open.
  Fl_Group* const open = Fl_Group::current();
  Fl_Group::current(nullptr);
  window = new Fl_Double_Window(kWidth, kHeight);
  window->copy_label(mapPath);
  window->callback(onCancel, this);

  const int innerX = kMargin + kIndent;
  const int innerW = kWidth - 2 * (kMargin + kIndent);
  int y = kLabelSpace;

  modeGroup = framedGroup(y, 3, "Placement Mode Selection");
  centerButton = new Fl_Round_Button(innerX, y + kMargin / 2, innerW, kRow, "center of view");
  existingButton = new Fl_Round_Button(innerX, y + kMargin / 2 + kRow, innerW, kRow,
                                       "use existing geo reference");
  enterButton = new Fl_Round_Button(innerX, y + kMargin / 2 + 2 * kRow, innerW, kRow,
                                    "enter position and scale");
  for (Fl_Round_Button* b : {centerButton, existingButton, enterButton}) b->type(FL_RADIO_BUTTON);
  centerButton->value(1);
  modeGroup->end();
  y += modeGroup->h() + kGroupGap + kLabelSpace;

  Fl_Group* interactive = framedGroup(y, 1, "Interactive Positioning");
  interactiveCheck =
      new Fl_Check_Button(innerX, y + kMargin / 2, innerW, kRow, "allow interactive positionig");
  interactive->end();
  y += interactive->h() + kGroupGap + kLabelSpace;

  Fl_Group* display = framedGroup(y, 3, "Display Properties", kSliderHeight + kLabelSpace);
  hideSmallCheck = new Fl_Check_Button(innerX, y + kMargin / 2, innerW, kRow,
                                       "hide with smaller the 10% of screen width");
  useAlphaCheck =
      new Fl_Check_Button(innerX, y + kMargin / 2 + kRow, innerW, kRow, "use alpha channel");
  loadAlphaCheck = new Fl_Check_Button(innerX, y + kMargin / 2 + 2 * kRow, innerW, kRow,
                                       "load seperate alpha channel image ");
  opacitySlider = new Fl_Hor_Slider(innerX, y + kMargin / 2 + 3 * kRow, innerW, kSliderHeight);
  opacitySlider->bounds(0.0, 1.0);
  opacitySlider->value(kInitialOpacity);
  opacitySlider->copy_label("75% Opaque");
  opacitySlider->align(FL_ALIGN_BOTTOM);
  opacitySlider->callback(onSlider, this);
  display->end();
  y += display->h() + kGroupGap;

  cancelButton = new Fl_Button(kWidth - kMargin - kButtonWidth, y, kButtonWidth, kRow, "cancel");
  nextButton =
      new Fl_Button(cancelButton->x() - kMargin - kButtonWidth, y, kButtonWidth, kRow, "next");
  nextButton->callback(onNext, this);
  cancelButton->callback(onCancel, this);
  window->end();
  window->size(kWidth, y + kRow + kMargin);
  Fl_Group::current(open);
}

PlacementDialog::~PlacementDialog() {
  window->hide();
  delete window;
}

void PlacementDialog::setActions(std::function<void()> next, std::function<void()> cancel) {
  next_ = std::move(next);
  cancel_ = std::move(cancel);
}

void PlacementDialog::show() {
  window->show();
}

void PlacementDialog::hide() {
  window->hide();
}

bool PlacementDialog::shown() const {
  return window->shown() && window->visible();
}

PlacementSettings PlacementDialog::settings() const {
  PlacementSettings s;
  s.mode = centerButton->value() ? 0 : existingButton->value() ? 1 : 2;
  s.allowInteractive = interactiveCheck->value();
  s.hideSmall = hideSmallCheck->value();
  s.useAlpha = useAlphaCheck->value();
  s.loadAlpha = loadAlphaCheck->value();
  s.opacity = opacitySlider->value();
  return s;
}

void PlacementDialog::setOpacity(double value) {
  opacitySlider->value(value < 0 ? 0 : value > 1 ? 1 : value);
  onSlider(opacitySlider, this);
}

void PlacementDialog::onNext(Fl_Widget*, void* self) {
  auto* dialog = static_cast<PlacementDialog*>(self);
  dialog->hide();
  if (dialog->next_) dialog->next_();
}

void PlacementDialog::onCancel(Fl_Widget*, void* self) {
  auto* dialog = static_cast<PlacementDialog*>(self);
  dialog->hide();
  if (dialog->cancel_) dialog->cancel_();
}

void PlacementDialog::onSlider(Fl_Widget*, void* self) {
  auto* dialog = static_cast<PlacementDialog*>(self);
  dialog->opacitySlider->copy_label(opacityLabel(dialog->opacitySlider->value()).c_str());
  dialog->window->redraw();
}

#include "halvex/ui/history_window.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kSectionX = 3;               ///< Left edge of the sections.
constexpr int kSectionWidth = 470;         ///< Width of the sections.
constexpr int kHeadingWidth = 456;         ///< Width of the heading boxes.
constexpr int kLeft = 10;                  ///< Left edge of the full-width rows.
constexpr int kFieldX = 60;                ///< Left edge of the fields, their labels on the left.
constexpr int kFieldWidth = 350;           ///< Width of the file fields.
constexpr int kChooseX = 415;              ///< Left edge of the "..." buttons.
constexpr int kChooseWidth = 50;           ///< Width of the "..." buttons.
constexpr int kButtonWidth = 80;           ///< Width of the other buttons and the number inputs.
constexpr int kRowWidth = 455;             ///< Width of the full-width rows.
constexpr int kRight = kLeft + kRowWidth;  ///< Right edge of the rows.

/// A file field at (kFieldX, y) labelled "file", and its "..." button.
Fl_Input* fileField(int y, Fl_Button*& chooseButton) {
  auto* field = new Fl_Input(kFieldX, y, kFieldWidth, kRowHeight, "file");
  chooseButton = new Fl_Button(kChooseX, y, kChooseWidth, kRowHeight, "...");
  return field;
}

/// A whole-number input from 0 to `max` at (x, y), label on its left.
Fl_Value_Input* countInput(int x, int y, int max, const char* label) {
  auto* input = new Fl_Value_Input(x, y, kButtonWidth, kRowHeight, label);
  input->bounds(0, max);
  input->step(1);
  // Applied when the operator is done (Enter or leaving the field), not at every key.
  input->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  return input;
}

/// A status line at (x, y) reaching the rows' right edge; long texts are cut at the edge.
Fl_Box* statusLine(int x, int y, const char* text = nullptr) {
  Fl_Box* box = addTextBox(x, y, kRight - x, text);
  box->align(box->align() | FL_ALIGN_CLIP);
  return box;
}

}  // namespace

HistoryWindowUi::HistoryWindowUi() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  SectionStack stack(kSectionX, kSectionWidth);
  pack = stack.pack();

  recordSection = stack.openSection(9, 125, "Recording", kHeadingWidth);
  recordPath = fileField(44, recordChooseButton);
  recordPath->value(kDefaultRecording);
  maxMBInput = countInput(kFieldX + 10, 74, kMaxRecordingMB, "max MB");
  maxMBInput->value(0);
  addRowLabel(maxMBInput, "(0 = no limit)", 120);
  recordButton = new Fl_Button(kRight - kButtonWidth, 74, kButtonWidth, kRowHeight, "record");
  recordStatus = statusLine(kLeft, 104, "not recording");

  trailSection = stack.openSection(139, 65, "Trails", kHeadingWidth);
  trailMinutesInput = countInput(kLeft + 100, 174, kMaxTrailMinutes, "trail minutes");
  trailNote = addRowLabel(trailMinutesInput, "(0 = off)", 120);

  replaySection = stack.openSection(209, 215, "Replay", kHeadingWidth);
  replayPath = fileField(244, replayChooseButton);
  replayButton = new Fl_Button(kFieldX, 274, kButtonWidth, kRowHeight, "replay");
  replayStatus = statusLine(kFieldX + kButtonWidth + kLabelGap, 274, "live");

  replayControls = new Fl_Group(kLeft, 304, kRowWidth, 85);
  playButton = new Fl_Button(kFieldX, 304, kButtonWidth, kRowHeight, "play");
  speedChoice = new Fl_Choice(200, 304, kButtonWidth, kRowHeight, "speed");
  std::vector<std::string> speeds;
  for (double speed : kSpeeds) {
    char text[16];
    std::snprintf(text, sizeof text, "%gx", speed);
    speeds.emplace_back(text);
  }
  setChoiceItems(speedChoice, speeds, kDefaultSpeed);
  timeText = statusLine(speedChoice->x() + kButtonWidth + 2 * kLabelGap, 304);
  timeSlider = new Fl_Slider(kLeft, 334, kRowWidth, kRowHeight);
  timeSlider->type(FL_HOR_NICE_SLIDER);
  timeSlider->step(1);
  // Each drag step and the release reach the owner, who paces the seeks.
  timeSlider->when(FL_WHEN_CHANGED | FL_WHEN_RELEASE_ALWAYS);
  backButton = new Fl_Button(kFieldX, 364, kButtonWidth, kRowHeight, "-10 s");
  forwardButton =
      new Fl_Button(kFieldX + kButtonWidth + kLabelGap, 364, kButtonWidth, kRowHeight, "+10 s");
  replayControls->end();
  replayControls->deactivate();
  damageLine = statusLine(kLeft, 394);

  stack.end();
  window->end();
}

HistoryWindowUi::~HistoryWindowUi() {
  delete window;
}

#include "halvex/ui/outputs_dialog.h"

namespace {

constexpr int kSectionX = 3;        ///< Left edge of the sections.
constexpr int kSectionWidth = 467;  ///< Width of the sections.
constexpr int kHeadingWidth = 460;  ///< Width of the heading boxes.
constexpr int kModeX = 10;          ///< Left edge of the controls.
constexpr int kToggleSize = 25;     ///< Check buttons are square.
constexpr int kRateX = 360;         ///< Left edge of the rate choices.
constexpr int kRateWidth = 100;     ///< Width of the rate choices.
constexpr int kButtonWidth = 100;   ///< Width of the file button and the toggle.
constexpr int kPathX = 115;         ///< Left edge of the path field and the state label.
constexpr int kPathWidth = 349;     ///< Width of the path field and the state label.
constexpr int kCounterWidth = 315;  ///< Width of the counter box.
constexpr int kFieldWidth = 230;    ///< Width of the host and port fields.
constexpr int kMaxPort = 65535;     ///< Largest port number.

/// Width left to a label right of a field, px.
constexpr int kFieldLabelWidth =
    kSectionX + kSectionWidth - kLabelGap - (kModeX + kFieldWidth + kLabelGap);

/// An output mode button at (kModeX, y), label on its right.
Fl_Check_Button* modeButton(int y, const char* label) {
  auto* button = new Fl_Check_Button(kModeX, y, kToggleSize, kToggleSize, label);
  button->align(FL_ALIGN_RIGHT);
  return button;
}

/// A rate choice at (kRateX, y), label on its left.
Fl_Choice* rateChoice(int y, const char* label, int defaultIndex) {
  auto* choice = new Fl_Choice(kRateX, y, kRateWidth, kRowHeight, label);
  fillRateChoice(choice, RateTable::kLocal, defaultIndex);
  return choice;
}

/// A port input at (kModeX, y).
Fl_Value_Input* portInput(int y) {
  auto* input = new Fl_Value_Input(kModeX, y, kFieldWidth, kRowHeight);
  input->bounds(0, kMaxPort);
  input->step(1);
  return input;
}

}  // namespace

OutputsDialogUi::OutputsDialogUi() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  SectionStack stack(kSectionX, kSectionWidth);
  pack = stack.pack();

  modeSection = stack.openSection(9, 131, "Output Mode Selection", kHeadingWidth);
  localStateButton = modeButton(45, "Local state snapshot file");
  clientSendButton = modeButton(75, "Client sending");
  clientSendButton->deactivate();
  serverSendButton = modeButton(105, "Server sending");
  serverSendButton->deactivate();
  localRateChoice = rateChoice(45, " Local file update rate", kDefaultLocalRate);
  clientRateChoice = rateChoice(75, "Client data update rate", kDefaultClientRate);
  clientRateChoice->deactivate();

  generationSection = stack.openSection(143, 132, "State File Generation", kHeadingWidth);
  outputFileButton = new Fl_Button(kModeX, 179, kButtonWidth, kRowHeight, "Output File");
  outputFilePath = new Fl_Output(kPathX, 180, kPathWidth, kRowHeight);
  generationToggle = new Fl_Light_Button(kModeX, 208, kButtonWidth, kRowHeight, "On/Off   ");
  generationLabel = addTextBox(kPathX, 208, kPathWidth, "State File Generation is On");
  counterBox = addTextBox(kModeX, 239, kCounterWidth, "Counter");

  clientSection = stack.openSection(278, 98, "Client sending state data packets", kHeadingWidth);
  clientHostInput = new Fl_Input(kModeX, 313, kFieldWidth, kRowHeight);
  clientHostLabel = addRowLabel(clientHostInput, "IP address/name", kFieldLabelWidth);
  clientPortInput = portInput(343);
  clientPortLabel = addRowLabel(clientPortInput, "Port Number", kFieldLabelWidth);
  clientSection.group->deactivate();

  serverSection = stack.openSection(380, 66, "Server sending state data packets", kHeadingWidth);
  serverPortInput = portInput(415);
  serverPortLabel = addRowLabel(serverPortInput, "Port Number", kFieldLabelWidth);
  serverSection.group->deactivate();

  stack.end();
  window->end();
}

OutputsDialogUi::~OutputsDialogUi() {
  delete window;
}

void OutputsDialogUi::setGenerationLabel(const char* text) {
  generationLabel->copy_label(text);
  generationLabel->redraw();
}

void OutputsDialogUi::setCounterLabel(const char* text) {
  counterBox->copy_label(text);
  counterBox->redraw();
}

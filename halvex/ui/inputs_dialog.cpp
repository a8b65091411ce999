#include "halvex/ui/inputs_dialog.h"

#include "halvex/core/tracker_defaults.h"

namespace {

constexpr int kSectionX = 2;               ///< Left edge of the sections.
constexpr int kSectionWidth = 470;         ///< Width of the sections.
constexpr int kHeadingWidth = 456;         ///< Width of the heading boxes.
constexpr int kModeX = 10;                 ///< Left edge of the controls.
constexpr int kToggleSize = 25;            ///< Round buttons are square.
constexpr int kRateX = 365;                ///< Left edge of the rate choices.
constexpr int kRateWidth = 100;            ///< Width of the rate choices.
constexpr int kFileButtonWidth = 100;      ///< Width of the "Input File" buttons.
constexpr int kPathX = 118;                ///< Left edge of the path fields.
constexpr int kPathWidth = 346;            ///< Width of the path fields.
constexpr int kFieldWidth = 342;           ///< Width of the host, port and file fields.
constexpr int kBufferWidth = 50;           ///< Width of the buffer size fields.
constexpr int kMaxBuffersPerPort = 10000;  ///< Most receive buffers per port.
constexpr int kMaxBytesPerBuffer = tracker_defaults::kMaxBufferBytes;  ///< Largest buffer, bytes.
constexpr int kMaxPort = 65535;                                        ///< Largest port number.

/// An input mode button at (kModeX, y), label on its right.
Fl_Round_Button* modeButton(int y, const char* label) {
  auto* button = new Fl_Round_Button(kModeX, y, kToggleSize, kToggleSize, label);
  button->align(FL_ALIGN_RIGHT);
  return button;
}

/// A rate choice at (kRateX, y), label on its left.
Fl_Choice* rateChoice(int y, const char* label, RateTable table, int defaultIndex) {
  auto* choice = new Fl_Choice(kRateX, y, kRateWidth, kRowHeight, label);
  fillRateChoice(choice, table, defaultIndex);
  return choice;
}

/// A whole-number input of `width` at (x, y) bounded to min..max, label on its right.
Fl_Value_Input* countInput(int x, int y, int width, const char* label, int min, int max) {
  auto* input = new Fl_Value_Input(x, y, width, kRowHeight, label);
  input->align(FL_ALIGN_RIGHT);
  input->bounds(min, max);
  input->step(1);
  return input;
}

/// A text input at (kModeX, y), label on its right.
Fl_Input* textInput(int y, const char* label) {
  auto* input = new Fl_Input(kModeX, y, kFieldWidth, kRowHeight, label);
  input->align(FL_ALIGN_RIGHT);
  return input;
}

/// A read-only path field at (kPathX, y).
Fl_Output* pathField(int y) {
  return new Fl_Output(kPathX, y, kPathWidth, kRowHeight);
}

}  // namespace

InputsDialogUi::InputsDialogUi() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  SectionStack stack(kSectionX, kSectionWidth);
  pack = stack.pack();

  modeSection = stack.openSection(9, 184, "Input Mode Selection", kHeadingWidth);
  multicastButton = modeButton(45, "Multi cast packets");
  localButton = modeButton(75, "Local state Input file");
  remoteButton = modeButton(105, "Remote state Input file");
  clientButton = modeButton(135, "Clieht receiving");
  clientButton->deactivate();
  serverButton = modeButton(165, "Server receiving");
  serverButton->deactivate();
  localRateChoice = rateChoice(75, "Local data update rate", RateTable::kLocal, kDefaultLocalRate);
  remoteRateChoice =
      rateChoice(105, "Remote data update rate", RateTable::kRemote, kDefaultRemoteRate);
  clientRateChoice =
      rateChoice(135, "Client data update rate", RateTable::kRemote, kDefaultClientRate);
  clientRateChoice->deactivate();

  multicastSection = stack.openSection(197, 115, "Multi cast input setup file", kHeadingWidth);
  portFileButton = new Fl_Button(kModeX, 234, kFileButtonWidth, kRowHeight, "Input File");
  portFilePath = pathField(235);
  buffersPerPortInput =
      countInput(kModeX, 275, kBufferWidth, " Buffers/Port", 1, kMaxBuffersPerPort);
  // Right of this field the window ends, so its label stands on its left.
  bytesPerBufferInput = countInput(414, 275, kBufferWidth, " Bytes/Buffer", 1, kMaxBytesPerBuffer);
  bytesPerBufferInput->align(FL_ALIGN_LEFT);
  // A buffer change restarts the receivers: take a value when it is entered, not per keystroke.
  buffersPerPortInput->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  bytesPerBufferInput->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);

  localSection = stack.openSection(313, 72, "Local state file snapshot Input file", kHeadingWidth);
  localFileButton = new Fl_Button(kModeX, 349, kFileButtonWidth, kRowHeight, "Input File");
  localFilePath = pathField(350);

  remoteSection =
      stack.openSection(389, 129, "Remote state file snapshot Input file", kHeadingWidth);
  remoteHostInput = textInput(424, "IP address/name");
  remotePortInput = countInput(kModeX, 454, kFieldWidth, "Port Number", 0, kMaxPort);
  remoteFileInput = textInput(484, "File Name");

  clientSection = stack.openSection(522, 98, "Client receiving state data packets", kHeadingWidth);
  clientHostInput = textInput(557, "IP address/name");
  clientPortInput = countInput(kModeX, 587, kFieldWidth, "Port Number", 0, kMaxPort);
  clientSection.group->deactivate();

  serverSection = stack.openSection(624, 66, "Server receiving state data packets", kHeadingWidth);
  serverPortInput = countInput(kModeX, 659, kFieldWidth, "Port Number", 0, kMaxPort);
  serverSection.group->deactivate();

  stack.end();
  window->end();
}

InputsDialogUi::~InputsDialogUi() {
  delete window;
}

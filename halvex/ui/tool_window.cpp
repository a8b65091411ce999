#include "halvex/ui/tool_window.h"

namespace {

constexpr int kSectionX = 3;               ///< Left edge of the sections.
constexpr int kSectionWidth = 470;         ///< Width of the sections.
constexpr int kSectionHeight = 130;        ///< Height of every section.
constexpr int kHeadingWidth = 456;         ///< Width of the heading boxes.
constexpr int kToggleSize = 25;            ///< Check and round buttons are square.
constexpr int kChoiceX = 35;               ///< Left edge of the vehicle choices.
constexpr int kChoiceWidth = 169;          ///< Width of the vehicle choices.
constexpr int kRightColumnX = 369;         ///< Left edge of the right-hand controls.
constexpr int kRightColumnWidth = 75;      ///< Width of the right-hand controls.
constexpr double kMaxIdleSeconds = 86400;  ///< Largest idle threshold, s.
constexpr double kIdleStep = 0.1;          ///< Idle threshold step, s.

/// Right edge available to a row label, px.
constexpr int kLabelRight = kSectionX + kSectionWidth - kLabelGap;

/// A square toggle button of kind T at (x, y).
template <typename T>
T* toggle(int x, int y, const char* label = nullptr) {
  auto* button = new T(x, y, kToggleSize, kToggleSize, label);
  button->align(FL_ALIGN_RIGHT);
  return button;
}

/// A vehicle choice at (kChoiceX, y) in the tool window's text size.
Fl_Choice* vehicleChoice(int y) {
  auto* choice = new Fl_Choice(kChoiceX, y, kChoiceWidth, kRowHeight);
  choice->textsize(kChoiceTextSize);
  return choice;
}

/// An idle threshold input at (kRightColumnX, y), label on its left.
Fl_Value_Input* idleInput(int y, const char* label) {
  auto* input = new Fl_Value_Input(kRightColumnX, y, kRightColumnWidth, kRowHeight, label);
  input->bounds(0, kMaxIdleSeconds);
  input->step(kIdleStep);
  return input;
}

}  // namespace

ToolWindowUi::ToolWindowUi() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  SectionStack stack(kSectionX, kSectionWidth);
  pack = stack.pack();

  targetSection = stack.openSection(
      9, kSectionHeight, "Select Target Vehicles (check box enables special icons)", kHeadingWidth);
  targetIconButton = toggle<Fl_Check_Button>(10, 44);
  targetChoice = vehicleChoice(44);
  targetLabel = addRowLabel(targetChoice, "Target Vehicle Number",
                            kRightColumnX - kLabelGap - (kChoiceX + kChoiceWidth + kLabelGap));
  updateButton = new Fl_Button(kRightColumnX, 44, kRightColumnWidth, kRowHeight, "Update");
  updateButton->deactivate();
  chaseIconButton = toggle<Fl_Check_Button>(10, 74);
  chaseChoice = vehicleChoice(74);
  chaseLabel = addRowLabel(chaseChoice, "Chase Vehicle Number",
                           kLabelRight - (kChoiceX + kChoiceWidth + kLabelGap));
  closeIconButton = toggle<Fl_Check_Button>(10, 104);
  closeChoice = vehicleChoice(104);
  closeLabel = addRowLabel(closeChoice, "Number of Close Vehicles to Track",
                           kLabelRight - (kChoiceX + kChoiceWidth + kLabelGap));

  navigationSection = stack.openSection(139, kSectionHeight, "Navagation", kHeadingWidth);
  // The "&" in this label is text: it neither underlines the blank after it nor makes the space
  // bar press the button.
  navFrameAllButton =
      toggle<LiteralLabel<Fl_Round_Button>>(10, 174, "Center on target & Frame All visible nodes ");
  navCenterButton = toggle<Fl_Round_Button>(10, 204, "Center on target");
  navRoamButton =
      toggle<Fl_Round_Button>(10, 234, "Roam using right and left Mouse button click and drag");

  displaySection = stack.openSection(270, kSectionHeight, "Display Options", kHeadingWidth);
  displayAllButton = toggle<Fl_Round_Button>(10, 305, "Display All Nodes");
  displayTargetsButton = toggle<Fl_Round_Button>(10, 335, "Display Target vehicles");
  mediumIdleInput = idleInput(305, "Medium bad Idle in Sec.");
  badIdleInput = idleInput(335, "Bad Idle in Sec.");
  resetButton = new Fl_Button(kChoiceX, 365, kRightColumnWidth, kRowHeight, "Reset");
  resetLabel = addRowLabel(resetButton, "Reset time stamps", 130);
  frameRateChoice = new Fl_Choice(368, 365, 100, kRowHeight, "Target frame rate");
  frameRateChoice->textsize(kChoiceTextSize);
  fillRateChoice(frameRateChoice, RateTable::kDisplay, kDefaultFrameRate);

  commentSection = stack.openSection(401, kSectionHeight, "Display Comments", kHeadingWidth);
  nodeCommentButton = toggle<Fl_Check_Button>(10, 436, "Node File Comment");
  packetComment1Button = toggle<Fl_Check_Button>(10, 466, "Multicast Packet Comment 1");
  packetComment2Button = toggle<Fl_Check_Button>(10, 496, "Multicast Packet Comment 1");
  gpsCommentButton = toggle<Fl_Check_Button>(419, 436, "GPS locations ");
  gpsCommentButton->align(FL_ALIGN_LEFT);

  stack.end();
  window->end();
}

ToolWindowUi::~ToolWindowUi() {
  delete window;
}

#include "halvex/ui/network_feeds_window.h"

namespace {

constexpr int kSectionX = 3;  ///< Left edge of the sections.
constexpr int kSectionWidth = NetworkFeedsWindowUi::kWidth - 2 * kSectionX;  ///< Sections' width.
constexpr int kHeadingWidth = kSectionWidth - 14;  ///< Inset as in the other settings windows.
constexpr int kLeft = 10;                          ///< Left edge of the toggles and row labels.
constexpr int kFieldX = 105;                       ///< Left edge of the fields, labels on the left.
constexpr int kFieldWidth = kSectionWidth - kFieldX - 5;  ///< To 5 px short of the edge.
constexpr int kPortWidth = 80;                            ///< Width of the port field.
constexpr int kRowStep = kRowHeight + 5;                  ///< From one row's top to the next's.
constexpr int kSectionHeight = 9 * kRowStep;              ///< Heading, toggle, six fields, status.
constexpr int kOutputTop = 9;                             ///< Top of the output section.
constexpr int kInputTop = kOutputTop + kSectionHeight + 5;   ///< Top of the input section.
constexpr int kToggleWidth = kFieldX + kFieldWidth - kLeft;  ///< Width of the toggles.

/// A text field at (kFieldX, y), label on its left, calling back when the operator is done.
Fl_Input* textField(int y, const char* label) {
  auto* field = new Fl_Input(kFieldX, y, kFieldWidth, kRowHeight, label);
  field->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  return field;
}

/// The broker fields and status line from `y` down, one row each.
MqttFieldsUi brokerFields(int y) {
  MqttFieldsUi fields;
  fields.host = textField(y, "host");
  fields.port = new Fl_Value_Input(kFieldX, y + kRowStep, kPortWidth, kRowHeight, "port");
  fields.port->bounds(1, NetworkFeedsWindowUi::kMaxPort);
  fields.port->step(1);
  fields.port->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  fields.topic = textField(y + 2 * kRowStep, "topic prefix");
  fields.user = textField(y + 3 * kRowStep, "user");
  fields.passwordFile = textField(y + 4 * kRowStep, "password file");
  fields.caFile = textField(y + 5 * kRowStep, "CA file");
  const int statusY = y + 6 * kRowStep;
  auto* label = new Fl_Box(kLeft, statusY, kFieldX - kLeft - kLabelGap, kRowHeight, "status");
  label->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
  fields.status = addTextBox(kFieldX, statusY, kFieldWidth);
  fields.status->align(fields.status->align() | FL_ALIGN_CLIP);
  return fields;
}

}  // namespace

NetworkFeedsWindowUi::NetworkFeedsWindowUi() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  SectionStack stack(kSectionX, kSectionWidth);
  pack = stack.pack();

  outputSection = stack.openSection(kOutputTop, kSectionHeight, "MQTT output", kHeadingWidth);
  publishButton = new Fl_Check_Button(kLeft, kOutputTop + kRowStep, kToggleWidth, kRowHeight,
                                      "publish the node states to this broker");
  output = brokerFields(kOutputTop + 2 * kRowStep);

  inputSection = stack.openSection(kInputTop, kSectionHeight, "MQTT input", kHeadingWidth);
  inputModeButton = new Fl_Round_Button(kLeft, kInputTop + kRowStep, kToggleWidth, kRowHeight,
                                        "input mode: node states from this broker");
  inputModeButton->type(FL_RADIO_BUTTON);
  input = brokerFields(kInputTop + 2 * kRowStep);

  stack.end();
  window->end();
}

NetworkFeedsWindowUi::~NetworkFeedsWindowUi() {
  delete window;
}

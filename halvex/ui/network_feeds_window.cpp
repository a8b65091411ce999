#include "halvex/ui/network_feeds_window.h"

namespace {

constexpr int kSectionX = 3;  ///< Left edge of the sections, in their column.
/// Sections' width.
constexpr int kSectionWidth = NetworkFeedsWindowUi::kColumnWidth - 2 * kSectionX;
constexpr int kRightX = NetworkFeedsWindowUi::kColumnWidth;  ///< Left edge of the right column.
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
constexpr int kCotOutputTop = kOutputTop;                    ///< Heading, toggle, 5 fields, status.
constexpr int kCotInputTop =
    kCotOutputTop + 8 * kRowStep + 5;                         ///< Heading, mode, 3 fields, status.
constexpr int kGeoJsonTop = kCotInputTop + 6 * kRowStep + 5;  ///< Heading, toggle, file, status.

/// A text field at (x + kFieldX, y), label on its left, calling back when the operator is done.
Fl_Input* textField(int y, const char* label, int x = 0) {
  auto* field = new Fl_Input(x + kFieldX, y, kFieldWidth, kRowHeight, label);
  field->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  return field;
}

/// A whole-number field at (x + kFieldX, y) from `low` to `high`.
Fl_Value_Input* numberField(int x, int y, const char* label, int low, int high) {
  auto* field = new Fl_Value_Input(x + kFieldX, y, kPortWidth, kRowHeight, label);
  field->bounds(low, high);
  field->step(1);
  field->when(FL_WHEN_RELEASE | FL_WHEN_ENTER_KEY);
  return field;
}

/// The "status" row at (x, y): its label and the line itself.
Fl_Box* statusLine(int x, int y) {
  auto* label = new Fl_Box(x + kLeft, y, kFieldX - kLeft - kLabelGap, kRowHeight, "status");
  label->align(FL_ALIGN_RIGHT | FL_ALIGN_INSIDE);
  Fl_Box* status = addTextBox(x + kFieldX, y, kFieldWidth);
  status->align(status->align() | FL_ALIGN_CLIP);
  return status;
}

/// The broker fields and status line from `y` down, one row each.
MqttFieldsUi brokerFields(int y) {
  MqttFieldsUi fields;
  fields.host = textField(y, "host");
  fields.port = numberField(0, y + kRowStep, "port", 1, NetworkFeedsWindowUi::kMaxPort);
  fields.topic = textField(y + 2 * kRowStep, "topic prefix");
  fields.user = textField(y + 3 * kRowStep, "user");
  fields.passwordFile = textField(y + 4 * kRowStep, "password file");
  fields.caFile = textField(y + 5 * kRowStep, "CA file");
  fields.status = statusLine(0, y + 6 * kRowStep);
  return fields;
}

/// The CoT output's section in the right column.
CotOutputUi cotOutputFields(SectionStack& stack, UiSection& section) {
  constexpr int x = kRightX;
  constexpr int y = kCotOutputTop;
  section = stack.openSection(y, 8 * kRowStep, "CoT output", kHeadingWidth);
  CotOutputUi ui;
  ui.sendButton = new Fl_Check_Button(x + kLeft, y + kRowStep, kToggleWidth, kRowHeight,
                                      "send the nodes as CoT events to this group");
  ui.group = textField(y + 2 * kRowStep, "group", x);
  ui.port = numberField(x, y + 3 * kRowStep, "port", 1, NetworkFeedsWindowUi::kMaxPort);
  ui.ttl = numberField(x, y + 4 * kRowStep, "TTL", 0, NetworkFeedsWindowUi::kMaxTtl);
  ui.site = textField(y + 5 * kRowStep, "site", x);
  ui.type = textField(y + 6 * kRowStep, "type", x);
  ui.status = statusLine(x, y + 7 * kRowStep);
  return ui;
}

/// The CoT input's section in the right column.
CotInputUi cotInputFields(SectionStack& stack, UiSection& section) {
  constexpr int x = kRightX;
  constexpr int y = kCotInputTop;
  section = stack.openSection(y, 6 * kRowStep, "CoT input", kHeadingWidth);
  CotInputUi ui;
  ui.inputModeButton = new Fl_Round_Button(x + kLeft, y + kRowStep, kToggleWidth, kRowHeight,
                                           "input mode: CoT events from this group");
  ui.inputModeButton->type(FL_RADIO_BUTTON);
  ui.group = textField(y + 2 * kRowStep, "group", x);
  ui.port = numberField(x, y + 3 * kRowStep, "port", 1, NetworkFeedsWindowUi::kMaxPort);
  ui.tcp = textField(y + 4 * kRowStep, "TCP server", x);
  ui.status = statusLine(x, y + 5 * kRowStep);
  return ui;
}

/// The GeoJSON feed's section in the right column.
GeoJsonUi geoJsonFields(SectionStack& stack, UiSection& section) {
  constexpr int x = kRightX;
  constexpr int y = kGeoJsonTop;
  section = stack.openSection(y, 4 * kRowStep, "GeoJSON feed", kHeadingWidth);
  GeoJsonUi ui;
  ui.writeButton = new Fl_Check_Button(x + kLeft, y + kRowStep, kToggleWidth, kRowHeight,
                                       "write the nodes into this file and its KML files");
  ui.file = textField(y + 2 * kRowStep, "GeoJSON file", x);
  ui.status = statusLine(x, y + 3 * kRowStep);
  return ui;
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

  SectionStack right(kRightX + kSectionX, kSectionWidth);
  rightPack = right.pack();
  cotOutput = cotOutputFields(right, cotOutputSection);
  cotInput = cotInputFields(right, cotInputSection);
  geoJson = geoJsonFields(right, geoJsonSection);
  right.end();
  window->end();
}

NetworkFeedsWindowUi::~NetworkFeedsWindowUi() {
  delete window;
}

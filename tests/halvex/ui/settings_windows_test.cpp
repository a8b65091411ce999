#include <FL/Fl.H>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/ui/inputs_dialog.h"
#include "halvex/ui/master_config_dialog.h"
#include "halvex/ui/name_dialog.h"
#include "halvex/ui/outputs_dialog.h"
#include "halvex/ui/tool_window.h"
#include "tests/halvex/ui/ui_test_support.h"

namespace {

using ui_test::expectGeometry;
using ui_test::onlyWidgetLabelled;
using ui_test::widgetsLabelled;

/// A section as laid out: heading text, group y and height.
struct SectionLayout {
  const UiSection* section;
  const char* heading;
  int y;
  int h;
};

/// Checks a window's sections after drawing: the pack opening with its spacer, then each
/// section at its place with its heading first.
void expectSections(const Fl_Pack* pack, int x, int width, int headingWidth,
                    const std::vector<SectionLayout>& sections) {
  ASSERT_NE(pack, nullptr);
  EXPECT_EQ(pack->type(), Fl_Pack::VERTICAL);
  EXPECT_EQ(pack->parent(), pack->window());
  expectGeometry(pack->child(0), x, 4, width, 5);
  for (const SectionLayout& expected : sections) {
    Fl_Group* group = expected.section->group;
    ASSERT_NE(group, nullptr) << expected.heading;
    EXPECT_EQ(group->parent(), pack) << expected.heading;
    EXPECT_EQ(group->box(), FL_UP_BOX) << expected.heading;
    expectGeometry(group, x, expected.y, width, expected.h);
    EXPECT_EQ(group->child(0), expected.section->heading) << expected.heading;
    EXPECT_STREQ(expected.section->heading->label(), expected.heading);
    expectGeometry(expected.section->heading, x, expected.y, headingWidth, 25);
  }
}

/// Checks a choice's items against a rate table and its selected item.
void expectRateChoice(const Fl_Choice* choice, RateTable table, int selected,
                      const char* selectedText) {
  ASSERT_EQ(choice->size() - 1, rateCount(table)) << choice->label();
  for (int i = 0; i < rateCount(table); ++i) {
    EXPECT_STREQ(choice->text(i), rateEntries(table)[i].label);
  }
  EXPECT_EQ(choice->value(), selected) << choice->label();
  EXPECT_STREQ(choice->text(), selectedText) << choice->label();
}

/// A widget of kind T labelled `text` at (x, y, w, h); the widget, or null.
template <typename T>
T* expectControl(const Fl_Group* root, const char* text, int x, int y, int w, int h) {
  Fl_Widget* widget = onlyWidgetLabelled(root, text);
  T* control = dynamic_cast<T*>(widget);
  EXPECT_NE(control, nullptr) << "kind of \"" << text << "\"";
  if (widget != nullptr) expectGeometry(widget, x, y, w, h);
  return control;
}

/// A round button, which is not a check button, labelled on its right.
Fl_Round_Button* expectRound(const Fl_Group* root, const char* text, int x, int y) {
  auto* button = expectControl<Fl_Round_Button>(root, text, x, y, 25, 25);
  if (button != nullptr) {
    EXPECT_EQ(dynamic_cast<Fl_Check_Button*>(static_cast<Fl_Widget*>(button)), nullptr);
    EXPECT_EQ(button->align(), FL_ALIGN_RIGHT) << text;
    EXPECT_EQ(button->type(), FL_TOGGLE_BUTTON) << text;
  }
  return button;
}

/// A check button labelled on its right.
Fl_Check_Button* expectCheck(Fl_Widget* widget, int x, int y) {
  auto* button = dynamic_cast<Fl_Check_Button*>(widget);
  EXPECT_NE(button, nullptr);
  if (button != nullptr) {
    expectGeometry(button, x, y, 25, 25);
    if (button->label()) {
      EXPECT_EQ(button->align(), FL_ALIGN_RIGHT) << button->label();
    }
  }
  return button;
}

/// A label box right of `control`, on the same row.
void expectRowLabel(const Fl_Group* root, const char* text, const Fl_Widget* control) {
  auto* box = dynamic_cast<Fl_Box*>(onlyWidgetLabelled(root, text));
  ASSERT_NE(box, nullptr) << text;
  EXPECT_GE(box->x(), control->x() + control->w()) << text;
  EXPECT_EQ(box->y(), control->y()) << text;
  EXPECT_EQ(box->align(), FL_ALIGN_LEFT | FL_ALIGN_INSIDE) << text;
}

/// Checks that exactly `inactive` of the widgets under `root` are deactivated themselves.
void expectOnlyInactive(const Fl_Group* root, const std::vector<const Fl_Widget*>& inactive) {
  for (Fl_Widget* widget : ui_test::widgetsOfKind<Fl_Widget>(root)) {
    const bool listed = std::find(inactive.begin(), inactive.end(), widget) != inactive.end();
    EXPECT_EQ(widget->active() == 0, listed) << (widget->label() ? widget->label() : "(no label)");
  }
}

// ---- Tool window ----

TEST(ToolWindow, TitleSizeSectionsAndHeadings) {
  ToolWindowUi ui;
  EXPECT_STREQ(ui.window->label(), "Kestrane / Polvarin : Wayloom Preferences");
  EXPECT_EQ(ui.window->w(), 476);
  EXPECT_EQ(ui.window->h(), 538);
  EXPECT_FALSE(ui.window->shown());
  EXPECT_FALSE(ui.window->modal());
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  expectSections(
      ui.pack, 3, 470, 456,
      {{&ui.targetSection, "Select Target Vehicles (check box enables special icons)", 9, 130},
       {&ui.navigationSection, "Navagation", 139, 130},
       {&ui.displaySection, "Display Options", 270, 130},
       {&ui.commentSection, "Display Comments", 401, 130}});
  ui_test::screenshot(ui.window, "tool_window");
}

TEST(ToolWindow, ControlsKindsPlacesAndLabels) {
  ToolWindowUi ui;
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  const Fl_Group* w = ui.window;

  // Vehicle rows: an unlabelled check button, a choice and the label box right of it.
  const struct {
    Fl_Check_Button* icon;
    Fl_Choice* choice;
    const char* label;
    int y;
  } rows[] = {{ui.targetIconButton, ui.targetChoice, "Target Vehicle Number", 44},
              {ui.chaseIconButton, ui.chaseChoice, "Chase Vehicle Number", 74},
              {ui.closeIconButton, ui.closeChoice, "Number of Close Vehicles to Track", 104}};
  for (const auto& row : rows) {
    expectCheck(row.icon, 10, row.y);
    EXPECT_EQ(row.icon->label(), nullptr);
    expectGeometry(row.choice, 35, row.y, 169, 25);
    EXPECT_EQ(row.choice->textsize(), 14);
    EXPECT_EQ(row.choice->parent(), ui.targetSection.group);
    expectRowLabel(w, row.label, row.choice);
  }
  auto* update = expectControl<Fl_Button>(w, "Update", 369, 44, 75, 25);
  ASSERT_NE(update, nullptr);
  EXPECT_FALSE(update->active());
  EXPECT_EQ(update, ui.updateButton);

  EXPECT_EQ(expectRound(w, "Center on target & Frame All visible nodes ", 10, 174),
            ui.navFrameAllButton);
  EXPECT_EQ(expectRound(w, "Center on target", 10, 204), ui.navCenterButton);
  EXPECT_EQ(expectRound(w, "Roam using right and left Mouse button click and drag", 10, 234),
            ui.navRoamButton);
  EXPECT_EQ(expectRound(w, "Display All Nodes", 10, 305), ui.displayAllButton);
  EXPECT_EQ(expectRound(w, "Display Target vehicles", 10, 335), ui.displayTargetsButton);

  EXPECT_EQ(expectControl<Fl_Value_Input>(w, "Medium bad Idle in Sec.", 369, 305, 75, 25),
            ui.mediumIdleInput);
  EXPECT_EQ(expectControl<Fl_Value_Input>(w, "Bad Idle in Sec.", 369, 335, 75, 25),
            ui.badIdleInput);
  EXPECT_EQ(expectControl<Fl_Button>(w, "Reset", 35, 365, 75, 25), ui.resetButton);
  expectRowLabel(w, "Reset time stamps", ui.resetButton);
  EXPECT_EQ(expectControl<Fl_Choice>(w, "Target frame rate", 368, 365, 100, 25),
            ui.frameRateChoice);
  EXPECT_EQ(ui.frameRateChoice->textsize(), 14);
  expectRateChoice(ui.frameRateChoice, RateTable::kDisplay, 1, "30 fps");

  EXPECT_EQ(expectCheck(onlyWidgetLabelled(w, "Node File Comment"), 10, 436), ui.nodeCommentButton);
  // The same label twice, as the tracker has always shown it.
  const std::vector<Fl_Widget*> twice = widgetsLabelled(w, "Multicast Packet Comment 1");
  ASSERT_EQ(twice.size(), 2u);
  EXPECT_EQ(expectCheck(twice[0], 10, 466), ui.packetComment1Button);
  EXPECT_EQ(expectCheck(twice[1], 10, 496), ui.packetComment2Button);
  auto* gps = dynamic_cast<Fl_Check_Button*>(onlyWidgetLabelled(w, "GPS locations "));
  ASSERT_NE(gps, nullptr);
  expectGeometry(gps, 419, 436, 25, 25);
  EXPECT_EQ(gps->align(), FL_ALIGN_LEFT);
  EXPECT_EQ(gps, ui.gpsCommentButton);

  expectOnlyInactive(w, {ui.updateButton});
  EXPECT_GT(ui.mediumIdleInput->maximum(), ui.mediumIdleInput->minimum());
}

// ---- Inputs dialog ----

TEST(InputsDialog, TitleSizeSectionsAndInactiveParts) {
  InputsDialogUi ui;
  EXPECT_STREQ(ui.window->label(), "Kestrane / Polvarin :  Input/Output definitions: Inputs");
  EXPECT_EQ(ui.window->w(), 474);
  EXPECT_EQ(ui.window->h(), 695);
  EXPECT_FALSE(ui.window->shown());
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  expectSections(ui.pack, 2, 470, 456,
                 {{&ui.modeSection, "Input Mode Selection", 9, 184},
                  {&ui.multicastSection, "Multi cast input setup file", 197, 115},
                  {&ui.localSection, "Local state file snapshot Input file", 313, 72},
                  {&ui.remoteSection, "Remote state file snapshot Input file", 389, 129},
                  {&ui.clientSection, "Client receiving state data packets", 522, 98},
                  {&ui.serverSection, "Server receiving state data packets", 624, 66}});

  // Inactive: two mode buttons, the client rate, and the client and server sections whole.
  expectOnlyInactive(ui.window, {ui.clientButton, ui.serverButton, ui.clientRateChoice,
                                 ui.clientSection.group, ui.serverSection.group});
  EXPECT_FALSE(ui.clientHostInput->active_r());
  EXPECT_FALSE(ui.serverPortInput->active_r());
  ui_test::screenshot(ui.window, "inputs_dialog");
}

TEST(InputsDialog, ControlsKindsPlacesAndLabels) {
  InputsDialogUi ui;
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  const Fl_Group* w = ui.window;
  EXPECT_EQ(expectRound(w, "Multi cast packets", 10, 45), ui.multicastButton);
  EXPECT_EQ(expectRound(w, "Local state Input file", 10, 75), ui.localButton);
  EXPECT_EQ(expectRound(w, "Remote state Input file", 10, 105), ui.remoteButton);
  EXPECT_EQ(expectRound(w, "Clieht receiving", 10, 135), ui.clientButton);
  EXPECT_EQ(expectRound(w, "Server receiving", 10, 165), ui.serverButton);

  EXPECT_EQ(expectControl<Fl_Choice>(w, "Local data update rate", 365, 75, 100, 25),
            ui.localRateChoice);
  EXPECT_EQ(expectControl<Fl_Choice>(w, "Remote data update rate", 365, 105, 100, 25),
            ui.remoteRateChoice);
  EXPECT_EQ(expectControl<Fl_Choice>(w, "Client data update rate", 365, 135, 100, 25),
            ui.clientRateChoice);
  expectRateChoice(ui.localRateChoice, RateTable::kLocal, 2, "1 pps");
  expectRateChoice(ui.remoteRateChoice, RateTable::kRemote, 3, "10 spp");
  expectRateChoice(ui.clientRateChoice, RateTable::kRemote, 3, "10 spp");

  const std::vector<Fl_Widget*> fileButtons = widgetsLabelled(w, "Input File");
  ASSERT_EQ(fileButtons.size(), 2u);
  EXPECT_EQ(fileButtons[0], ui.portFileButton);
  EXPECT_EQ(fileButtons[1], ui.localFileButton);
  expectGeometry(ui.portFileButton, 10, 234, 100, 25);
  expectGeometry(ui.localFileButton, 10, 349, 100, 25);
  expectGeometry(ui.portFilePath, 118, 235, 346, 25);
  expectGeometry(ui.localFilePath, 118, 350, 346, 25);
  EXPECT_EQ(ui_test::widgetsOfKind<Fl_Output>(w),
            (std::vector<Fl_Output*>{ui.portFilePath, ui.localFilePath}));
  EXPECT_TRUE(ui.portFilePath->readonly());

  auto* buffers = expectControl<Fl_Value_Input>(w, " Buffers/Port", 10, 275, 50, 25);
  auto* bytes = expectControl<Fl_Value_Input>(w, " Bytes/Buffer", 414, 275, 50, 25);
  ASSERT_TRUE(buffers && bytes);
  EXPECT_EQ(buffers->align(), FL_ALIGN_RIGHT);
  EXPECT_EQ(bytes->align(), FL_ALIGN_LEFT);  // the window ends right of it
  EXPECT_EQ(buffers->step(), 1);
  EXPECT_GE(buffers->minimum(), 1);

  const std::vector<Fl_Widget*> hosts = widgetsLabelled(w, "IP address/name");
  ASSERT_EQ(hosts.size(), 2u);
  EXPECT_EQ(hosts[0], ui.remoteHostInput);
  EXPECT_EQ(hosts[1], ui.clientHostInput);
  const std::vector<Fl_Widget*> ports = widgetsLabelled(w, "Port Number");
  ASSERT_EQ(ports.size(), 3u);
  EXPECT_EQ(ports[0], ui.remotePortInput);
  EXPECT_EQ(ports[1], ui.clientPortInput);
  EXPECT_EQ(ports[2], ui.serverPortInput);
  EXPECT_EQ(expectControl<Fl_Input>(w, "File Name", 10, 484, 342, 25), ui.remoteFileInput);
  expectGeometry(ui.remoteHostInput, 10, 424, 342, 25);
  expectGeometry(ui.remotePortInput, 10, 454, 342, 25);
  expectGeometry(ui.clientHostInput, 10, 557, 342, 25);
  expectGeometry(ui.clientPortInput, 10, 587, 342, 25);
  expectGeometry(ui.serverPortInput, 10, 659, 342, 25);
  for (Fl_Widget* field :
       std::vector<Fl_Widget*>{ui.remoteHostInput, ui.remotePortInput, ui.remoteFileInput,
                               ui.clientHostInput, ui.serverPortInput}) {
    EXPECT_EQ(field->align(), FL_ALIGN_RIGHT) << field->label();
  }
  for (Fl_Value_Input* port : {ui.remotePortInput, ui.clientPortInput, ui.serverPortInput}) {
    EXPECT_EQ(port->minimum(), 0);
    EXPECT_EQ(port->maximum(), 65535);
    EXPECT_EQ(port->clamp(70000), 65535);  // what the reader gets for an impossible port
  }
}

// ---- Outputs dialog ----

TEST(OutputsDialog, TitleSizeSectionsAndInactiveParts) {
  OutputsDialogUi ui;
  EXPECT_STREQ(ui.window->label(), "Kestrane / Polvarin :  Input/Output definitions: Outputs");
  EXPECT_EQ(ui.window->w(), 474);
  EXPECT_EQ(ui.window->h(), 461);
  EXPECT_FALSE(ui.window->shown());
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  expectSections(ui.pack, 3, 467, 460,
                 {{&ui.modeSection, "Output Mode Selection", 9, 131},
                  {&ui.generationSection, "State File Generation", 143, 132},
                  {&ui.clientSection, "Client sending state data packets", 278, 98},
                  {&ui.serverSection, "Server sending state data packets", 380, 66}});
  expectOnlyInactive(ui.window, {ui.clientSendButton, ui.serverSendButton, ui.clientRateChoice,
                                 ui.clientSection.group, ui.serverSection.group});
  EXPECT_FALSE(ui.clientHostLabel->active_r());
  EXPECT_FALSE(ui.serverPortInput->active_r());
  ui_test::screenshot(ui.window, "outputs_dialog");
}

TEST(OutputsDialog, ControlsKindsPlacesAndLabels) {
  OutputsDialogUi ui;
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  const Fl_Group* w = ui.window;
  EXPECT_EQ(expectCheck(onlyWidgetLabelled(w, "Local state snapshot file"), 10, 45),
            ui.localStateButton);
  EXPECT_EQ(expectCheck(onlyWidgetLabelled(w, "Client sending"), 10, 75), ui.clientSendButton);
  EXPECT_EQ(expectCheck(onlyWidgetLabelled(w, "Server sending"), 10, 105), ui.serverSendButton);
  EXPECT_EQ(expectControl<Fl_Choice>(w, " Local file update rate", 360, 45, 100, 25),
            ui.localRateChoice);
  EXPECT_EQ(expectControl<Fl_Choice>(w, "Client data update rate", 360, 75, 100, 25),
            ui.clientRateChoice);
  expectRateChoice(ui.localRateChoice, RateTable::kLocal, 2, "1 pps");
  expectRateChoice(ui.clientRateChoice, RateTable::kLocal, 2, "1 pps");

  EXPECT_EQ(expectControl<Fl_Button>(w, "Output File", 10, 179, 100, 25), ui.outputFileButton);
  expectGeometry(ui.outputFilePath, 115, 180, 349, 25);
  EXPECT_TRUE(ui.outputFilePath->readonly());
  auto* toggle = expectControl<Fl_Light_Button>(w, "On/Off   ", 10, 208, 100, 25);
  ASSERT_EQ(toggle, ui.generationToggle);
  // A light button with its label inside, not a check or round button.
  EXPECT_EQ(dynamic_cast<Fl_Check_Button*>(static_cast<Fl_Widget*>(toggle)), nullptr);
  EXPECT_EQ(dynamic_cast<Fl_Round_Button*>(static_cast<Fl_Widget*>(toggle)), nullptr);
  EXPECT_TRUE(toggle->align() & FL_ALIGN_INSIDE);
  EXPECT_EQ(dynamic_cast<Fl_Box*>(onlyWidgetLabelled(w, "State File Generation is On")),
            ui.generationLabel);
  EXPECT_EQ(ui.generationLabel->x(), 115);
  EXPECT_EQ(ui.generationLabel->y(), 208);
  EXPECT_EQ(expectControl<Fl_Box>(w, "Counter", 10, 239, 315, 25), ui.counterBox);

  expectGeometry(ui.clientHostInput, 10, 313, 230, 25);
  EXPECT_EQ(ui.clientHostInput->label(), nullptr);
  expectRowLabel(w, "IP address/name", ui.clientHostInput);
  expectGeometry(ui.clientPortInput, 10, 343, 230, 25);
  expectGeometry(ui.serverPortInput, 10, 415, 230, 25);
  const std::vector<Fl_Widget*> ports = widgetsLabelled(w, "Port Number");
  ASSERT_EQ(ports.size(), 2u);
  EXPECT_EQ(ports[0], ui.clientPortLabel);
  EXPECT_EQ(ports[1], ui.serverPortLabel);
  EXPECT_EQ(ui.clientPortLabel->y(), 343);
  EXPECT_EQ(ui.serverPortLabel->y(), 415);
  EXPECT_GE(ui.serverPortLabel->x(), 240);
}

TEST(OutputsDialog, GenerationAndCounterTextsAreCopied) {
  OutputsDialogUi ui;
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  {
    std::string text = "State File Generation is Off";
    ui.setGenerationLabel(text.c_str());
    std::string counter = "Counter 00000000000000";
    ui.setCounterLabel(counter.c_str());
    text.assign(text.size(), 'x');
    counter.assign(counter.size(), 'y');
  }
  EXPECT_STREQ(ui.generationLabel->label(), "State File Generation is Off");
  EXPECT_STREQ(ui.counterBox->label(), "Counter 00000000000000");
  EXPECT_STREQ(ui.generationToggle->label(), "On/Off   ");  // the toggle keeps its own
  char frames[32];
  for (long n = 0; n < 200; ++n) {  // as each written frame renames it
    std::snprintf(frames, sizeof frames, "Frames set: %08ld", n);
    ui.setCounterLabel(frames);
  }
  Fl::wait(0.05);
  Fl::flush();
  EXPECT_STREQ(ui.counterBox->label(), "Frames set: 00000199");
  ui.setGenerationLabel(nullptr);
  EXPECT_TRUE(ui.generationLabel->label() == nullptr || *ui.generationLabel->label() == '\0');
  ui_test::screenshot(ui.window, "outputs_dialog_counter");
}

// ---- Master configuration dialog ----

TEST(MasterConfigDialog, LayoutColoursAndPaths) {
  MasterConfigDialogUi ui;
  EXPECT_STREQ(ui.window->label(), "Kestrane / Polvarin :  Master Configuration File");
  EXPECT_EQ(ui.window->w(), 472);
  EXPECT_EQ(ui.window->h(), 654);
  EXPECT_FALSE(ui.window->shown());
  ASSERT_TRUE(ui_test::showAndDraw(ui.window));
  const Fl_Group* w = ui.window;
  expectSections(
      ui.pack, 1, 468, 456,
      {{&ui.masterSection, "Master Configuration File (store names of all other files)", 9, 638}});
  EXPECT_EQ(ui.masterSection.heading->box(), FL_DOWN_BOX);
  EXPECT_EQ(ui.masterSection.heading->color(), 220u);
  EXPECT_EQ(ui.masterSection.heading->labelfont(), FL_HELVETICA_BOLD);

  const struct {
    Fl_Button* button;
    const char* label;
    int x;
  } top[] = {{ui.loadButton, "Load", 10},
             {ui.reloadButton, "Reload", 103},
             {ui.saveButton, "Save", 197},
             {ui.saveAsButton, "Save As", 291},
             {ui.spareButton, nullptr, 385}};
  for (const auto& b : top) {
    expectGeometry(b.button, b.x, 45, 80, 25);
    if (b.label) {
      EXPECT_STREQ(b.button->label(), b.label);
    } else {
      EXPECT_EQ(b.button->label(), nullptr);
    }
  }
  expectGeometry(ui.masterPath, 10, 75, 455, 25);
  expectGeometry(ui.fileGroup, 10, 105, 454, 520);
  EXPECT_EQ(ui.fileGroup->box(), FL_DOWN_BOX);
  EXPECT_EQ(ui.fileGroup->color(), 44u);

  const char* headings[] = {"DGC Node & Comment File",          "DGC Multicast Port File",
                            "Node Graphics Configuration File", "Map Graphics Configuration File",
                            "Input/Output definitions File",    "Preferences File"};
  const int headingY[] = {110, 195, 280, 365, 450, 535};
  const int buttonX[] = {17, 107, 197, 287, 377};
  for (int i = 0; i < MasterConfigDialogUi::kFileCount; ++i) {
    const MasterConfigDialogUi::FileSection& file = ui.files[i];
    EXPECT_EQ(onlyWidgetLabelled(w, headings[i]), file.heading);
    expectGeometry(file.heading, 17, headingY[i], 440, 25);
    EXPECT_EQ(file.heading->parent(), ui.fileGroup);
    const bool editable = i >= 4;
    const char* labels[] = {"Load", "Reload", editable ? "Save" : nullptr,
                            editable ? "Save As" : nullptr, editable ? "Edit" : nullptr};
    for (int b = 0; b < 5; ++b) {
      expectGeometry(file.buttons[b], buttonX[b], headingY[i] + 26, 80, 25);
      if (labels[b]) {
        EXPECT_STREQ(file.buttons[b]->label(), labels[b]) << i << " " << b;
      } else {
        EXPECT_EQ(file.buttons[b]->label(), nullptr) << i << " " << b;
      }
    }
    EXPECT_GT(file.path->y(), headingY[i] + 26 + 25 - 1);
    EXPECT_LE(file.path->y() + file.path->h(), ui.fileGroup->y() + ui.fileGroup->h());
    if (i > 0) {
      EXPECT_LT(ui.files[i - 1].path->y() + 25, file.heading->y() + 1);
    }
  }

  // The dialog only shows paths: all 35 buttons are inactive, all 7 fields read-only.
  const std::vector<Fl_Button*> buttons = ui_test::widgetsOfKind<Fl_Button>(w);
  EXPECT_EQ(buttons.size(), 35u);
  for (Fl_Button* button : buttons) EXPECT_FALSE(button->active());
  const std::vector<Fl_Output*> paths = ui_test::widgetsOfKind<Fl_Output>(w);
  EXPECT_EQ(paths.size(), 7u);
  for (Fl_Output* path : paths) EXPECT_TRUE(path->readonly() && path->active());

  ui.masterPath->value("demo/master.cfg");
  ui.files[MasterConfigDialogUi::kWWWFile].path->value("io.txt");
  ui.window->redraw();
  Fl::wait(0.05);
  ui_test::screenshot(ui.window, "master_config_dialog");
}

// ---- Name dialog ----

TEST(NameDialog, ModalLayoutAndCopiedTexts) {
  NameDialogUi ui("first");
  EXPECT_EQ(ui.window->w(), 285);
  EXPECT_EQ(ui.window->h(), 152);
  EXPECT_TRUE(ui.window->modal());
  EXPECT_FALSE(ui.window->shown());
  EXPECT_STREQ(ui.window->label(), "first");
  EXPECT_STREQ(ui.nameInput->label(), "XXX name");
  {
    std::string title = "Create a new project";
    std::string prompt = "New Project name";
    ui.setTitle(title.c_str());
    ui.setPrompt(prompt.c_str());
    title.assign(title.size(), 'x');
    prompt.assign(prompt.size(), 'y');
  }
  EXPECT_STREQ(ui.window->label(), "Create a new project");
  EXPECT_STREQ(ui.nameInput->label(), "New Project name");

  expectGeometry(ui.nameInput, 5, 25, 265, 25);
  expectGeometry(ui.locationInput, 5, 70, 235, 25);
  expectGeometry(ui.browseButton, 245, 70, 25, 25);
  expectGeometry(ui.okButton, 190, 116, 80, 25);
  expectGeometry(ui.cancelButton, 100, 115, 80, 25);
  EXPECT_STREQ(ui.locationInput->label(), "Location");
  EXPECT_STREQ(ui.okButton->label(), "OK");
  EXPECT_STREQ(ui.cancelButton->label(), "Cancel");
  for (Fl_Input* input : {ui.nameInput, ui.locationInput}) {
    EXPECT_TRUE(input->align() & FL_ALIGN_TOP);
    EXPECT_FALSE(input->align() & FL_ALIGN_INSIDE);
  }
  EXPECT_EQ(ui.okButton->shortcut(), FL_Enter);
  EXPECT_EQ(ui.cancelButton->shortcut(), FL_Escape);
  ui.setTitle(nullptr);
  EXPECT_TRUE(ui.window->label() == nullptr || *ui.window->label() == '\0');
}

TEST(NameDialog, EnterAndEscapeReachTheirButtonsWhileTyping) {
  NameDialogUi ui("Create a new project");
  ui.setPrompt("New Project name");
  int ok = 0;
  int cancel = 0;
  bool any = false;
  struct Press {
    int* count;
    bool* any;
  } okPress{&ok, &any}, cancelPress{&cancel, &any};
  const auto count = [](Fl_Widget*, void* data) {
    auto* press = static_cast<Press*>(data);
    ++*press->count;
    *press->any = true;
  };
  ui.okButton->callback(count, &okPress);
  ui.cancelButton->callback(count, &cancelPress);
  ASSERT_TRUE(ui_test::showAndDraw(ui.window, 100, 100));
  ui_test::clickCentre(ui.nameInput);
  Fl::wait(0.1);
  ASSERT_EQ(std::system("xdotool type --delay 20 trial"), 0);
  ASSERT_EQ(std::system("xdotool key Return"), 0);
  EXPECT_TRUE(ui_test::waitFor(any));
  EXPECT_STREQ(ui.nameInput->value(), "trial");
  any = false;
  ASSERT_EQ(std::system("xdotool key Escape"), 0);
  EXPECT_TRUE(ui_test::waitFor(any));
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(cancel, 1);
  ui_test::screenshot(ui.window, "name_dialog");
}

}  // namespace

#include "halvex/ui/master_config_dialog.h"

namespace {

constexpr int kSectionX = 1;                             ///< Left edge of the raised group.
constexpr int kSectionWidth = 468;                       ///< Width of the raised group.
constexpr int kSectionHeight = 638;                      ///< Height of the raised group.
constexpr int kHeadingWidth = 456;                       ///< Width of the dialog's heading.
constexpr int kButtonWidth = 80;                         ///< Width of every button.
constexpr int kTopButtonsY = 45;                         ///< Row of the master file's buttons.
constexpr int kTopButtonX[] = {10, 103, 197, 291, 385};  ///< Their left edges.
constexpr int kInnerX = 10;                              ///< The sunken group of file sections.
constexpr int kInnerY = 105;
constexpr int kInnerWidth = 454;
constexpr int kInnerHeight = 520;
constexpr int kFileX = 17;         ///< Left edge of the file sections.
constexpr int kFileWidth = 440;    ///< Width of their headings and path fields.
constexpr int kFirstFileY = 110;   ///< Heading of the first file section.
constexpr int kFileStep = 85;      ///< From one file section to the next.
constexpr int kButtonsBelow = 26;  ///< From a heading to its button row.
constexpr int kPathBelow = 30;     ///< From a button row to its path field.
constexpr int kFileButtonX[] = {17, 107, 197, 287, 377};  ///< Left edges of a row's buttons.

/// Headings of the file sections, in FileIndex order.
constexpr const char* kFileHeadings[] = {
    "DGC Node & Comment File",          "DGC Multicast Port File",
    "Node Graphics Configuration File", "Map Graphics Configuration File",
    "Input/Output definitions File",    "Preferences File",
};

/// An inactive button at (x, y).
Fl_Button* inactiveButton(int x, int y, const char* label) {
  auto* button = new Fl_Button(x, y, kButtonWidth, kRowHeight, label);
  button->deactivate();
  return button;
}

}  // namespace

MasterConfigDialogUi::MasterConfigDialogUi() {
  window = new Fl_Double_Window(kWidth, kHeight, kTitle);
  SectionStack stack(kSectionX, kSectionWidth);
  pack = stack.pack();

  masterSection = stack.openSection(9, kSectionHeight,
                                    "Master Configuration File (store names of all other files)",
                                    kHeadingWidth);
  masterSection.heading->box(FL_DOWN_BOX);
  masterSection.heading->color(kHeadingColor);
  masterSection.heading->labelfont(FL_HELVETICA_BOLD);
  loadButton = inactiveButton(kTopButtonX[0], kTopButtonsY, "Load");
  reloadButton = inactiveButton(kTopButtonX[1], kTopButtonsY, "Reload");
  saveButton = inactiveButton(kTopButtonX[2], kTopButtonsY, "Save");
  saveAsButton = inactiveButton(kTopButtonX[3], kTopButtonsY, "Save As");
  spareButton = inactiveButton(kTopButtonX[4], kTopButtonsY, nullptr);
  masterPath = new Fl_Output(10, 75, 455, kRowHeight);

  fileGroup = new Fl_Group(kInnerX, kInnerY, kInnerWidth, kInnerHeight);
  fileGroup->box(FL_DOWN_BOX);
  fileGroup->color(kInnerColor);
  for (int i = 0; i < kFileCount; ++i) {
    FileSection& file = files[i];
    const int headingY = kFirstFileY + i * kFileStep;
    const int buttonsY = headingY + kButtonsBelow;
    file.heading = new Fl_Box(kFileX, headingY, kFileWidth, kRowHeight, kFileHeadings[i]);
    file.heading->align(FL_ALIGN_LEFT | FL_ALIGN_INSIDE);
    // Only the rows of the last two files label their save, save-as and edit buttons.
    const bool editable = i >= kWWWFile;
    const char* labels[kRowButtons] = {"Load", "Reload", editable ? "Save" : nullptr,
                                       editable ? "Save As" : nullptr, editable ? "Edit" : nullptr};
    for (int b = 0; b < kRowButtons; ++b) {
      file.buttons[b] = inactiveButton(kFileButtonX[b], buttonsY, labels[b]);
    }
    file.path = new Fl_Output(kFileX, buttonsY + kPathBelow, kFileWidth, kRowHeight);
  }
  fileGroup->end();

  stack.end();
  window->end();
}

MasterConfigDialogUi::~MasterConfigDialogUi() {
  delete window;
}

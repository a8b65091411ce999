// The master configuration dialog: the paths of the master configuration file and of the files
// it names.
#pragma once

#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Group.H>
#include <FL/Fl_Output.H>

#include "halvex/ui/ui_kit.h"

/// The master configuration dialog's widget record. It only displays the paths: every button is
/// inactive. Built once, hidden; the owner fills the path fields.
class MasterConfigDialogUi {
 public:
  static constexpr int kWidth = 472;   ///< Window width, px.
  static constexpr int kHeight = 654;  ///< Window height, px.
  static constexpr const char* kTitle = "Kestrane / Polvarin :  Master Configuration File";
  static constexpr int kFileCount = 6;            ///< Files named by the master configuration file.
  static constexpr int kRowButtons = 5;           ///< Buttons in each row.
  static constexpr Fl_Color kHeadingColor = 220;  ///< Background of the dialog's heading.
  static constexpr Fl_Color kInnerColor = 44;     ///< Background of the file sections.

  /// Index of each file's section, top to bottom.
  enum FileIndex {
    kNodeFile = 0,        ///< "NodeFile"
    kPortFile = 1,        ///< "PortFile"
    kNodeDefFile = 2,     ///< "NodeDefFile"
    kMapFile = 3,         ///< "MapFile"
    kWWWFile = 4,         ///< "WWWFile"
    kPreferenceFile = 5,  ///< "PreferenceFile"
  };

  /// One file's section: heading, a row of buttons and the file's path.
  struct FileSection {
    Fl_Box* heading = nullptr;             ///< The file's kind.
    Fl_Button* buttons[kRowButtons] = {};  ///< "Load", "Reload", ..., all inactive.
    Fl_Output* path = nullptr;             ///< The file's path.
  };

  /// Builds the dialog, hidden.
  MasterConfigDialogUi();
  ~MasterConfigDialogUi();
  MasterConfigDialogUi(const MasterConfigDialogUi&) = delete;
  MasterConfigDialogUi& operator=(const MasterConfigDialogUi&) = delete;

  Fl_Double_Window* window = nullptr;  ///< The dialog; owned, deleted with this.
  Fl_Pack* pack = nullptr;             ///< Vertical pack of the one section.

  UiSection masterSection;            ///< The raised group and its sunken heading.
  Fl_Button* loadButton = nullptr;    ///< "Load", inactive.
  Fl_Button* reloadButton = nullptr;  ///< "Reload", inactive.
  Fl_Button* saveButton = nullptr;    ///< "Save", inactive.
  Fl_Button* saveAsButton = nullptr;  ///< "Save As", inactive.
  Fl_Button* spareButton = nullptr;   ///< Unlabelled, inactive.
  Fl_Output* masterPath = nullptr;    ///< The master configuration file's path.
  Fl_Group* fileGroup = nullptr;      ///< Sunken group of the file sections.
  FileSection files[kFileCount];      ///< The files, in FileIndex order.
};

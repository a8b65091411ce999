// The name dialog: asks for a file name and the directory it goes into.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>

#include <functional>
#include <string>

/// The name dialog's widget record: a modal window with the name and location inputs, a browse
/// button, "OK" (Enter) and "Cancel" (Escape). Built once, hidden; the owner sets the title and
/// the prompt and binds the buttons.
class NameDialogUi {
 public:
  static constexpr int kWidth = 285;   ///< Window width, px.
  static constexpr int kHeight = 152;  ///< Window height, px.

  /// Builds the dialog, hidden, modal, titled `title` (copied; null for none).
  explicit NameDialogUi(const char* title = nullptr);
  ~NameDialogUi();
  NameDialogUi(const NameDialogUi&) = delete;
  NameDialogUi& operator=(const NameDialogUi&) = delete;

  /// Sets the window's title (copied; null for none).
  void setTitle(const char* title);
  /// Sets the prompt above the name input (copied; null for none).
  void setPrompt(const char* prompt);

  Fl_Double_Window* window = nullptr;  ///< The dialog; owned, deleted with this.
  Fl_Input* nameInput = nullptr;       ///< The name; its label is the prompt.
  Fl_Input* locationInput = nullptr;   ///< "Location": the directory.
  Fl_Button* browseButton = nullptr;   ///< Chooses the directory.
  Fl_Button* okButton = nullptr;       ///< "OK", Enter.
  Fl_Button* cancelButton = nullptr;   ///< "Cancel", Escape.
};

/// The name dialog with its behaviour: browse puts a chosen directory into the location, OK
/// insists on a name, keeps name, directory and full path, hides the dialog and calls back;
/// Cancel (or closing the window) only hides it.
class NameDialog {
 public:
  /// Called after OK with the dialog, whose name(), directory() and fullPath() are set.
  using Accepted = std::function<void(NameDialog&)>;
  /// Asks for a directory (title, start directory or null); empty when none was chosen.
  using DirectoryChooser = std::function<std::string(const char* title, const char* start)>;

  /// Shown when OK is pressed without a name; the dialog stays open.
  static constexpr const char* kNameMissing = "You must enter a file name or cancel";
  /// Title of the directory chooser behind the browse button.
  static constexpr const char* kBrowseTitle = "Select a directory";

  NameDialog();
  NameDialog(const NameDialog&) = delete;
  NameDialog& operator=(const NameDialog&) = delete;

  /// Shows the dialog with `title` and `prompt` and an empty name (the location is kept);
  /// `accepted` runs after OK.
  void show(const char* title, const char* prompt, Accepted accepted = Accepted());
  /// Shows the dialog as show() does and waits until it is hidden; true when closed by OK.
  bool run(const char* title, const char* prompt);

  /// Replaces the directory chooser (the toolkit's directory chooser by default).
  void setDirectoryChooser(DirectoryChooser chooser) { chooseDirectory_ = std::move(chooser); }

  /// What OK kept: the name, the directory and the directory joined with the name.
  const std::string& name() const { return name_; }
  const std::string& directory() const { return directory_; }
  const std::string& fullPath() const { return fullPath_; }

  /// The widgets.
  NameDialogUi& ui() { return ui_; }

  /// `directory` followed by `name`, with a '/' between them when the directory is not empty
  /// and does not end with one.
  static std::string joinPath(const std::string& directory, const std::string& name);

 private:
  void ok();
  void cancel();
  void browse();

  NameDialogUi ui_;
  DirectoryChooser chooseDirectory_;
  Accepted accepted_;
  std::string name_;
  std::string directory_;
  std::string fullPath_;
  bool okPressed_ = false;
};

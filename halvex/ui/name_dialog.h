// The name dialog: asks for a file name and the directory it goes into.
#pragma once

#include <FL/Fl_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>

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

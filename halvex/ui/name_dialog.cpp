#include "halvex/ui/name_dialog.h"

#include <FL/Enumerations.H>

namespace {

constexpr int kRowHeight = 25;    ///< Height of the inputs and buttons, px.
constexpr int kButtonWidth = 80;  ///< Width of "OK" and "Cancel", px.

/// A text input at (x, y) whose label stands above it.
Fl_Input* labelledInput(int x, int y, int width, const char* label) {
  auto* input = new Fl_Input(x, y, width, kRowHeight, label);
  input->align(FL_ALIGN_TOP_LEFT);
  return input;
}

}  // namespace

NameDialogUi::NameDialogUi(const char* title) {
  window = new Fl_Double_Window(kWidth, kHeight);
  setTitle(title);
  nameInput = labelledInput(5, 25, 265, "XXX name");
  locationInput = labelledInput(5, 70, 235, "Location");
  browseButton = new Fl_Button(245, 70, kRowHeight, kRowHeight, "...");
  okButton = new Fl_Button(190, 116, kButtonWidth, kRowHeight, "OK");
  okButton->shortcut(FL_Enter);
  cancelButton = new Fl_Button(100, 115, kButtonWidth, kRowHeight, "Cancel");
  cancelButton->shortcut(FL_Escape);
  window->end();
  window->set_modal();
}

NameDialogUi::~NameDialogUi() {
  delete window;
}

void NameDialogUi::setTitle(const char* title) {
  window->copy_label(title);
}

void NameDialogUi::setPrompt(const char* prompt) {
  nameInput->copy_label(prompt);
  window->redraw();
}

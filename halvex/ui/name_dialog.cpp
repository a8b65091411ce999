#include "halvex/ui/name_dialog.h"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/fl_ask.H>

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

// ---- behaviour ----

NameDialog::NameDialog() {
  ui_.okButton->callback([](Fl_Widget*, void* dialog) { static_cast<NameDialog*>(dialog)->ok(); },
                         this);
  ui_.cancelButton->callback(
      [](Fl_Widget*, void* dialog) { static_cast<NameDialog*>(dialog)->cancel(); }, this);
  ui_.browseButton->callback(
      [](Fl_Widget*, void* dialog) { static_cast<NameDialog*>(dialog)->browse(); }, this);
  ui_.window->callback([](Fl_Widget*, void* dialog) { static_cast<NameDialog*>(dialog)->cancel(); },
                       this);
  chooseDirectory_ = [](const char* title, const char* start) {
    const char* chosen = fl_dir_chooser(title, start, 0);
    return std::string(chosen != nullptr ? chosen : "");
  };
}

void NameDialog::show(const char* title, const char* prompt, Accepted accepted) {
  accepted_ = std::move(accepted);
  okPressed_ = false;
  ui_.setTitle(title);
  ui_.setPrompt(prompt);
  ui_.nameInput->value("");
  ui_.window->show();
  ui_.nameInput->take_focus();
}

bool NameDialog::run(const char* title, const char* prompt) {
  show(title, prompt);
  while (ui_.window->shown()) Fl::wait();
  return okPressed_;
}

std::string NameDialog::joinPath(const std::string& directory, const std::string& name) {
  if (directory.empty() || directory.back() == '/') return directory + name;
  return directory + "/" + name;
}

void NameDialog::ok() {
  const char* name = ui_.nameInput->value();
  if (name == nullptr || *name == '\0') {
    fl_message("%s", kNameMissing);
    return;
  }
  name_ = name;
  directory_ = ui_.locationInput->value() != nullptr ? ui_.locationInput->value() : "";
  fullPath_ = joinPath(directory_, name_);
  okPressed_ = true;
  ui_.window->hide();
  if (accepted_) accepted_(*this);
}

void NameDialog::cancel() {
  ui_.window->hide();
}

void NameDialog::browse() {
  if (!chooseDirectory_) return;
  const char* start = ui_.locationInput->value();
  const std::string chosen =
      chooseDirectory_(kBrowseTitle, start != nullptr && *start ? start : nullptr);
  if (!chosen.empty()) ui_.locationInput->value(chosen.c_str());
}

#include "halvex/ui/project_prompts_fltk.h"

#include <FL/Fl_File_Chooser.H>
#include <FL/fl_ask.H>

#include "halvex/ui/name_dialog.h"

FltkProjectPrompts::FltkProjectPrompts() = default;

FltkProjectPrompts::~FltkProjectPrompts() = default;

bool FltkProjectPrompts::ask(const std::string& question) {
  return fl_choice("%s", "No", "Yes", nullptr, question.c_str()) == 1;
}

void FltkProjectPrompts::message(const std::string& text) {
  fl_message("%s", text.c_str());
}

std::string FltkProjectPrompts::chooseFile(const std::string& title, const std::string& filter,
                                           bool relative) {
  const char* chosen = fl_file_chooser(title.c_str(), filter.c_str(), nullptr, relative ? 1 : 0);
  return chosen != nullptr ? std::string(chosen) : std::string();
}

bool FltkProjectPrompts::askName(const std::string& title, const std::string& prompt,
                                 NameEntry& entry) {
  NameDialog& dialog = nameDialog();
  if (!dialog.run(title.c_str(), prompt.c_str())) return false;
  entry.name = dialog.name();
  entry.directory = dialog.directory();
  entry.fullPath = dialog.fullPath();
  return true;
}

int FltkProjectPrompts::choose(const std::string& text, const std::string& button0,
                               const std::string& button1, const std::string& button2) {
  const auto orNull = [](const std::string& label) {
    return label.empty() ? nullptr : label.c_str();
  };
  return fl_choice("%s", orNull(button0), orNull(button1), orNull(button2), text.c_str());
}

NameDialog& FltkProjectPrompts::nameDialog() {
  if (!nameDialog_) nameDialog_ = std::make_unique<NameDialog>();
  return *nameDialog_;
}

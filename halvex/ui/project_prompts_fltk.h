// The project operations' questions, messages and choosers as the toolkit's modal boxes, file
// chooser and the name dialog.
#pragma once

#include <memory>
#include <string>

#include "halvex/project/project_prompts.h"

class NameDialog;

/// ProjectPrompts shown with the toolkit: question and choice boxes, message boxes, the file
/// chooser, and one name dialog created on first use and kept.
class FltkProjectPrompts : public ProjectPrompts {
 public:
  FltkProjectPrompts();
  ~FltkProjectPrompts() override;
  FltkProjectPrompts(const FltkProjectPrompts&) = delete;
  FltkProjectPrompts& operator=(const FltkProjectPrompts&) = delete;

  /// "No" / "Yes"; Escape answers no.
  bool ask(const std::string& question) override;
  void message(const std::string& text) override;
  std::string chooseFile(const std::string& title, const std::string& filter,
                         bool relative) override;
  bool askName(const std::string& title, const std::string& prompt, NameEntry& entry) override;
  /// Buttons from the right: button0 (Escape), button1 (Enter), button2.
  int choose(const std::string& text, const std::string& button0, const std::string& button1,
             const std::string& button2) override;

  /// The name dialog, created on first use.
  NameDialog& nameDialog();

 private:
  std::unique_ptr<NameDialog> nameDialog_;
};

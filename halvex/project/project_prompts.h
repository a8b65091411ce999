// The questions, messages and choosers the project operations put to the operator, behind an
// interface so that the operations stay free of the toolkit.
#pragma once

#include <string>

/// What the name dialog hands back on OK.
struct NameEntry {
  std::string name;       ///< The name as entered.
  std::string directory;  ///< The directory as entered or browsed.
  std::string fullPath;   ///< The directory followed by the name.
};

/// Modal questions, messages, file choosers and the name dialog.
class ProjectPrompts {
 public:
  virtual ~ProjectPrompts() = default;
  /// A yes/no question; true for yes.
  virtual bool ask(const std::string& question) = 0;
  /// A message the operator acknowledges.
  virtual void message(const std::string& text) = 0;
  /// A file chooser titled `title` with the pattern `filter` ("Project Files (*.mpr)"). Returns
  /// the chosen path, relative to the current directory when `relative`, else absolute; empty
  /// when nothing was chosen.
  virtual std::string chooseFile(const std::string& title, const std::string& filter,
                                 bool relative) = 0;
  /// The name dialog titled `title` with `prompt` above the name; false when cancelled.
  virtual bool askName(const std::string& title, const std::string& prompt, NameEntry& entry) = 0;
  /// A choice between three buttons; the index of the one pressed, 0 when dismissed.
  virtual int choose(const std::string& text, const std::string& button0,
                     const std::string& button1, const std::string& button2) = 0;
};

/// `text` with its first "%s" replaced by `value` (the fixed texts carry one at most).
std::string fillIn(const std::string& text, const std::string& value);

/// The file name part of `path`: what follows its last '/'.
std::string fileNamePart(const std::string& path);

/// Whether anything (file or directory) exists at `path`.
bool pathExists(const std::string& path);

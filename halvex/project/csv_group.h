// The project's CSV data set: a named CSV file whose columns the operator describes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "halvex/project/project_group.h"

class ColumnAttributesDialog;
class ProjectPrompts;

/// Group 3 of a project ("CSV_group"). It names one CSV file, offers the column attributes
/// dialog for a new one, and stores nothing in the project file.
class CsvGroup : public ProjectGroup {
 public:
  /// The group asks through `prompts` (kept, must outlive the group).
  explicit CsvGroup(ProjectPrompts& prompts);
  ~CsvGroup() override;

  /// Asks for a name and creates a data set there (menu "new", "data set csv ").
  void newDataSet();
  /// Takes the pending name and path as the data set's and opens a column attributes dialog,
  /// asking first when a file is there.
  void createDataSet();
  /// Asks for an existing CSV file and names it as the data set (menu "load", "data set csv ").
  void attachDataSet();

  /// Prints the picked name with the data set's; keeps it for lastPick().
  void pick(uint32_t name) override;

  /// The data set's file name without directory; empty when none is named.
  const std::string& dataSetName() const { return dataSetName_; }
  /// The data set's path as entered or chosen; empty when none is named.
  const std::string& dataSetPath() const { return dataSetPath_; }
  const std::string& pendingName() const { return pendingName_; }
  const std::string& pendingPath() const { return pendingPath_; }
  /// Whether the data set has changes that replacing it would lose.
  bool modified() const { return modified_; }
  void setModified(bool modified) { modified_ = modified; }
  /// The name the last picking pass chose.
  uint32_t lastPick() const { return lastPick_; }

  /// The column attributes dialogs opened so far; they close with the group.
  int dialogCount() const { return static_cast<int>(dialogs_.size()); }
  ColumnAttributesDialog* dialog(int index) const;

 private:
  /// Whether replacing the named data set is fine: asks `question` when it is modified.
  bool mayReplace(const char* question);
  /// Sets the pending path and its file name part.
  void setPending(const std::string& path);
  /// Makes the pending data set the named one.
  void takePending();

  ProjectPrompts& prompts_;
  std::string dataSetName_;
  std::string dataSetPath_;
  std::string pendingName_;
  std::string pendingPath_;
  std::string enteredName_;  ///< The name last entered in the name dialog.
  bool modified_ = false;
  uint32_t lastPick_ = 0;
  std::vector<std::unique_ptr<ColumnAttributesDialog>> dialogs_;
};

// The project's CSV data set: a named CSV file whose columns the operator describes.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "halvex/project/project_group.h"
#include "halvex/streams/csv_columns.h"

class ColumnAttributesDialog;
class Fl_Widget;
class ProjectPrompts;

/// Group 3 of a project ("CSV_group"). It names one CSV file and offers the column attributes
/// dialog for a new one. In the project file its section holds the data set's path on a line of
/// its own ("\tPATH", as the local-state section writes its paths) and one line per described
/// column ("\tcolumn N ATTRIBUTES", kept and written back as read); a project without a data set
/// writes no section, and a reader that skips the section reads the rest of the file as before.
/// Closing the column attributes dialog of the named data set makes its rows the column lines.
class CsvGroup : public ProjectGroup {
 public:
  /// Shows what a picking pass chose: the pick name (0: nothing).
  using PickHandler = std::function<void(uint32_t name)>;

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

  /// Reads the section: the data set's path and its column lines, up to "END".
  void readSection(FieldFile& file) override;
  /// Writes the section when a data set is named.
  void writeSection(std::FILE* out) override;
  /// The column lines read from the project ("column N ATTRIBUTES"), in file order, or made
  /// from the dialog's rows when it closed.
  const std::vector<std::string>& columnLines() const { return columnLines_; }
  /// The column lines that read as attributes, in their order; the others are left out.
  std::vector<ColumnAttribute> columnAttributes() const;

  /// Keeps the name for lastPick() and hands it to the pick handler; without one, prints it
  /// with the data set's name.
  void pick(uint32_t name) override;
  void setPickHandler(PickHandler handler) { pickHandler_ = std::move(handler); }

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
  static void onDialogClosed(Fl_Widget* window, void* group) {
    static_cast<CsvGroup*>(group)->dialogClosed(window);
  }
  /// Hides the dialog of `window`; the named data set's own (the last one opened) gives its rows
  /// as the column lines, and the project is marked modified.
  void dialogClosed(Fl_Widget* window);

  ProjectPrompts& prompts_;
  std::string dataSetName_;
  std::string dataSetPath_;
  std::string pendingName_;
  std::string pendingPath_;
  std::string enteredName_;               ///< The name last entered in the name dialog.
  std::vector<std::string> columnLines_;  ///< Column attributes as the project holds them.
  bool modified_ = false;
  uint32_t lastPick_ = 0;
  PickHandler pickHandler_;
  std::vector<std::unique_ptr<ColumnAttributesDialog>> dialogs_;
};

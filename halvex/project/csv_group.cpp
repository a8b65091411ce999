#include "halvex/project/csv_group.h"

#include <FL/Fl_Double_Window.H>
#include <strings.h>

#include <cstdio>

#include "halvex/config/field_file.h"
#include "halvex/project/column_attributes_dialog.h"
#include "halvex/project/project_file.h"
#include "halvex/project/project_prompts.h"

namespace {

constexpr const char* kGroupNotSaved =
    "CSV group[ %s is not saved!\nIf you continue this group will be closed without "
    "saving.\nDo you wish to continue?";
constexpr const char* kNewTitle = "Create a new csv group";
constexpr const char* kNewPrompt = "New CVF name";
constexpr const char* kAlreadyExists =
    "CSV %s already exists in this directory!\nIf you continue this CSV will be deleted.\nDo "
    "you wish to continue?";
constexpr const char* kNotCreated = "New project NOT created.";
constexpr const char* kBeingCreated =
    "New project being created\nExisting Project %s will be deleted when this Project is saved";
constexpr const char* kCsvNotSaved =
    "CSV %s is not saved!\nIf you continue this CSV will be closed without saving.\nDo you "
    "wish to continue?";
constexpr const char* kLoadTitle = "Load an existing CSV file";
constexpr const char* kCsvFilter = "CSV Files (*.csv)";
constexpr const char* kNoneSelected = "No new CSV file selected.";
constexpr const char* kDoesNotExist =
    "Project %s does not exists in this directory!\nDo you want to create a new project?";

}  // namespace

CsvGroup::CsvGroup(ProjectPrompts& prompts) : prompts_(prompts) {}

CsvGroup::~CsvGroup() = default;

bool CsvGroup::mayReplace(const char* question) {
  if (dataSetName_.empty() || !modified_) return true;
  return prompts_.ask(fillIn(question, dataSetName_));
}

void CsvGroup::setPending(const std::string& path) {
  pendingPath_ = path;
  pendingName_ = fileNamePart(path);
  enteredName_.clear();
}

void CsvGroup::readSection(FieldFile& file) {
  std::string first, number, attributes;
  while (file.nextLine()) {
    if (!file.fieldText(0, first)) continue;
    if (strcasecmp(first.c_str(), "END") == 0) return;
    // "column N ATTRIBUTES": the three words a project line holds at most.
    if (first == "column" && file.fieldText(1, number) && file.fieldText(2, attributes)) {
      columnLines_.push_back(first + " " + number + " " + attributes);
    } else if (dataSetPath_.empty()) {
      dataSetPath_ = first;
      dataSetName_ = fileNamePart(first);
    }
  }
}

void CsvGroup::writeSection(std::FILE* out) {
  if (dataSetPath_.empty()) return;
  std::fprintf(out, "BEGIN %s\n\t%s\n", projectSectionName(kCsvGroup), dataSetPath_.c_str());
  for (const std::string& line : columnLines_) std::fprintf(out, "\t%s\n", line.c_str());
  std::fputs("END\n", out);
}

void CsvGroup::takePending() {
  columnLines_.clear();  // they described the data set this one replaces
  dataSetPath_ = pendingPath_;
  dataSetName_ = pendingName_;
  modified_ = false;
  markModified();  // the project now names another data set
}

void CsvGroup::newDataSet() {
  if (!mayReplace(kGroupNotSaved)) return;
  NameEntry entry;
  if (!prompts_.askName(kNewTitle, kNewPrompt, entry)) return;
  setPending(entry.fullPath);
  enteredName_ = entry.name;
  createDataSet();
}

void CsvGroup::createDataSet() {
  if (pathExists(pendingPath_)) {
    if (!prompts_.ask(fillIn(kAlreadyExists, pendingName_))) {
      prompts_.message(kNotCreated);
      return;
    }
    prompts_.message(fillIn(kBeingCreated, enteredName_.empty() ? pendingName_ : enteredName_));
  }
  takePending();
  auto dialog = std::make_unique<ColumnAttributesDialog>();
  dialog->addColumnRows();
  dialog->window->callback(onDialogClosed, this);
  dialog->show();
  dialogs_.push_back(std::move(dialog));
}

void CsvGroup::attachDataSet() {
  if (!mayReplace(kCsvNotSaved)) return;
  const std::string chosen = prompts_.chooseFile(kLoadTitle, kCsvFilter, true);
  if (chosen.empty()) {
    prompts_.message(kNoneSelected);
    return;
  }
  setPending(chosen);
  if (pathExists(pendingPath_)) {
    takePending();
  } else if (prompts_.ask(fillIn(kDoesNotExist, pendingName_))) {
    createDataSet();
  } else {
    prompts_.message(kNotCreated);
  }
}

void CsvGroup::dialogClosed(Fl_Widget* window) {
  window->hide();
  // Dialogs of the data sets named before describe files the project no longer names.
  if (dialogs_.empty() || dialogs_.back()->window != window) return;
  columnLines_.clear();
  for (const ColumnAttribute& attribute : dialogs_.back()->attributes()) {
    columnLines_.push_back(columnLine(attribute));
  }
  markModified();
}

std::vector<ColumnAttribute> CsvGroup::columnAttributes() const {
  std::vector<ColumnAttribute> attributes;
  for (const std::string& line : columnLines_) {
    ColumnAttribute attribute;
    if (parseColumnLine(line, attribute)) attributes.push_back(attribute);
  }
  return attributes;
}

void CsvGroup::pick(uint32_t name) {
  lastPick_ = name;
  if (pickHandler_) {
    pickHandler_(name);
    return;
  }
  const char* dataSet = dataSetName_.empty() ? "(no data set)" : dataSetName_.c_str();
  if (name == 0) {
    std::printf("CSV group %s: nothing picked\n", dataSet);
  } else {
    std::printf("CSV group %s: picked object %u\n", dataSet, static_cast<unsigned>(name));
  }
}

ColumnAttributesDialog* CsvGroup::dialog(int index) const {
  if (index < 0 || index >= dialogCount()) return nullptr;
  return dialogs_[index].get();
}

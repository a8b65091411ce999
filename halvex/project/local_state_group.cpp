#include "halvex/project/local_state_group.h"

#include <strings.h>

#include <cstdio>

#include "common/dlink_list.h"
#include "halvex/config/field_file.h"
#include "halvex/project/project_file.h"
#include "halvex/project/project_prompts.h"
#include "halvex/streams/state_file_element.h"
#include "halvex/tracking/ring_marker.h"
#include "halvex/view/ring_marker_draw.h"

namespace {

constexpr const char* kNewTitle = "Create a new state file location";
constexpr const char* kNewPrompt = "New State File Name";
constexpr const char* kLoadTitle = "Load an existing State File";
constexpr const char* kTextFilter = "Text Files (*.txt)";
constexpr const char* kNoneSelected = "No new state file selected.";
constexpr const char* kUnkeepable =
    "The state file path %s cannot be kept in a project file:\npaths must be one word of at "
    "most 260 characters other than END.";
constexpr double kMarkerIntensity = 1.0;

/// One listed state file: its path (the list compares paths) and the markers read from it.
class StateFileEntry : public DlinkString {
 public:
  explicit StateFileEntry(const std::string& path) : DlinkString(path.c_str()), element(text()) {}
  StateFileElement element;
};

StateFileEntry* entryOf(DlinkList* link) {
  return static_cast<StateFileEntry*>(link);
}

}  // namespace

LocalStateGroup::LocalStateGroup(ProjectPrompts& prompts) : prompts_(prompts) {}

LocalStateGroup::~LocalStateGroup() {
  DlinkList::deleteAll(head_);
  tail_ = nullptr;
}

void LocalStateGroup::readSection(FieldFile& file) {
  std::string word;
  while (file.nextLine()) {
    if (!file.fieldText(0, word)) continue;
    if (strcasecmp(word.c_str(), "END") == 0) return;
    append(word);
  }
}

void LocalStateGroup::writeSection(std::FILE* out) {
  std::fprintf(out, "BEGIN %s\n", projectSectionName(kLocalStateGroup));
  for (DlinkList* link = head_; link != nullptr; link = link->next()) {
    std::fputs(entryOf(link)->element.projectLine().c_str(), out);
  }
  std::fputs("END\n", out);
}

void LocalStateGroup::draw(const DrawContext& context) {
  for (DlinkList* link = head_; link != nullptr; link = link->next()) {
    StateFileElement& element = entryOf(link)->element;
    element.read();
    for (RingMarker* marker = element.firstMarker(); marker != nullptr;
         marker = marker->nextMarker()) {
      drawRingMarker(*marker, context, kMarkerIntensity);
    }
  }
}

void LocalStateGroup::newStateFileLocation() {
  NameEntry entry;
  if (prompts_.askName(kNewTitle, kNewPrompt, entry)) addStateFile(entry.fullPath);
}

void LocalStateGroup::loadStateFile() {
  const std::string chosen = prompts_.chooseFile(kLoadTitle, kTextFilter, true);
  if (chosen.empty()) {
    prompts_.message(kNoneSelected);
    return;
  }
  std::printf("New State File opened %s\n", chosen.c_str());
  addStateFile(chosen);
}

bool LocalStateGroup::addStateFile(const std::string& path) {
  if (!projectKeepsPath(path)) {
    prompts_.message(fillIn(kUnkeepable, path));
    return false;
  }
  if (!append(path)) return false;
  markModified();
  return true;
}

bool LocalStateGroup::append(const std::string& path) {
  for (DlinkList* link = head_; link != nullptr; link = link->next()) {
    if (path == entryOf(link)->text()) return false;  // listed: no element made and dropped
  }
  auto* entry = new StateFileEntry(path);
  if (!entry->appendTo(head_, tail_, 1)) {
    delete entry;
    return false;
  }
  return true;
}

int LocalStateGroup::count() const {
  int n = 0;
  for (DlinkList* link = head_; link != nullptr; link = link->next()) ++n;
  return n;
}

StateFileElement* LocalStateGroup::element(int index) const {
  int i = 0;
  for (DlinkList* link = head_; link != nullptr; link = link->next(), ++i) {
    if (i == index) return &entryOf(link)->element;
  }
  return nullptr;
}

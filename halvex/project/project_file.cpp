#include "halvex/project/project_file.h"

#include <strings.h>

#include <cstdio>

#include "common/platform/atomic_file.h"
#include "halvex/config/field_file.h"
#include "halvex/project/project_group.h"

namespace {

/// Section names of the groups 0 to 4.
constexpr const char* kSectionNames[kWrittenGroupCount] = {
    "MAP_group", "LOCAL_STATE_group", "REMOTE_STATE_group", "CSV_group", "FILTER_group"};

/// Fields kept per project file line: "BEGIN", the group, and one more.
constexpr int kProjectFields = 3;

}  // namespace

const char* projectSectionName(int index) {
  return index >= 0 && index < kWrittenGroupCount ? kSectionNames[index] : nullptr;
}

int projectGroupIndex(const std::string& sectionName) {
  for (int i = 0; i < kWrittenGroupCount; ++i) {
    if (strcasecmp(sectionName.c_str(), kSectionNames[i]) == 0) return i;
  }
  return kOtherGroup;
}

bool readProjectFile(const std::string& path, const ProjectGroups& groups) {
  FieldFile file(path, kProjectFields, std::string(), FieldFile::kMaxLineLength,
                 kProjectFieldLength);
  ProjectGroup skipper;  // reads the sections of groups that are missing
  file.selectLine(0);
  while (file.selectedLine() < file.lineCount() - 1) {
    std::string begin, name;
    if (file.fieldCount() >= 2 && file.fieldText(0, begin) && file.fieldText(1, name) &&
        strcasecmp(begin.c_str(), "BEGIN") == 0) {
      ProjectGroup* group = groups[projectGroupIndex(name)];
      (group != nullptr ? group : &skipper)->readSection(file);
    }
    if (!file.nextLine()) break;
  }
  return file.opened();
}

namespace {

/// Writes the sections of groups 0 to 4 to `out`; false when a write failed.
bool writeSections(std::FILE* out, const ProjectGroups& groups) {
  for (int i = 0; i < kWrittenGroupCount; ++i) {
    if (groups[i] != nullptr) groups[i]->writeSection(out);
  }
  return std::ferror(out) == 0;
}

}  // namespace

ProjectWrite writeProjectFile(const std::string& path, const ProjectGroups& groups) {
  // A new file beside the old one, renamed over it once whole and synced: a full disk or a
  // crash leaves the old project as it was. A link to a project is followed and kept.
  AtomicFile file(path, Durability::kKeep, LinkPolicy::kFollow);
  if (!file.open()) return ProjectWrite::kOpenFailed;
  const bool written = writeSections(file.stream(), groups);
  return written && file.commit() ? ProjectWrite::kWritten : ProjectWrite::kWriteFailed;
}

bool projectKeepsPath(const std::string& path) {
  return !path.empty() && path.size() < static_cast<size_t>(kProjectFieldLength) &&
         path.find_first_of(" \t\r\n\v\f") == std::string::npos &&
         strcasecmp(path.c_str(), "END") != 0;
}

// The project file (".mpr"): sections opened by "BEGIN <group>" and closed by "END", one per
// group of the project.
#pragma once

#include <array>
#include <string>

class ProjectGroup;

/// The groups of a project, by their place in the project.
enum ProjectGroupIndex : int {
  kMapGroup = 0,          ///< "MAP_group": the project's maps.
  kLocalStateGroup = 1,   ///< "LOCAL_STATE_group": state files drawn as overlays.
  kRemoteStateGroup = 2,  ///< "REMOTE_STATE_group": no content yet.
  kCsvGroup = 3,          ///< "CSV_group": the CSV data set.
  kFilterGroup = 4,       ///< "FILTER_group": no content yet.
  kOtherGroup = 5,        ///< Any other section name; skipped, never written.
  kProjectGroupCount = 6,
};

/// Groups written to the project file, in order: all but kOtherGroup.
constexpr int kWrittenGroupCount = 5;

/// Longest word of a project file line, paths included (paths go up to 260 characters).
constexpr int kProjectFieldLength = 261;

/// The project's groups, indexed by ProjectGroupIndex; null entries read as the base group.
using ProjectGroups = std::array<ProjectGroup*, kProjectGroupCount>;

/// The section name of group `index` ("MAP_group" ...), or null for kOtherGroup and others.
const char* projectSectionName(int index);

/// The group index for a section name, compared without regard to letter case; kOtherGroup for
/// names that are not a group's.
int projectGroupIndex(const std::string& sectionName);

/// Whether `path` reads back from a project file line as it was written: one word, not too
/// long, and not the word that ends a section.
bool projectKeepsPath(const std::string& path);

/// Reads the project file at `path` into `groups`: every line of at least two fields whose first
/// word is "BEGIN" (any case) hands the file to the group its second word names, which reads up
/// to its "END". The last line is never taken as a section start. Returns whether the file could
/// be opened (a file that cannot be opened leaves the groups empty).
///
///   BEGIN LOCAL_STATE_group
///   	/data/state.txt
///   END
bool readProjectFile(const std::string& path, const ProjectGroups& groups);

/// How writing a project file went.
enum class ProjectWrite {
  kWritten,     ///< Every section written and the file closed.
  kOpenFailed,  ///< The file could not be opened for writing.
  kWriteFailed  ///< Opened, but writing or closing it failed.
};

/// Writes the sections of groups 0 to 4, in that order, to `path`, replacing the file.
ProjectWrite writeProjectFile(const std::string& path, const ProjectGroups& groups);

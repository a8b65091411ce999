// Opens arbitrary text as a project file with a real local-state group and stand-ins for the
// other groups, then writes the project and reads it back: the state file list must come back
// the same, each path listed once and as one word a project file can hold.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "halvex/project/local_state_group.h"
#include "halvex/project/project_manager.h"
#include "halvex/project/project_prompts.h"
#include "halvex/streams/state_file_element.h"
#include "tests/fuzz/memory_file.h"

class RingMarker;
struct DrawContext;

/// The local-state group is built from its source here; its drawing is not fuzzed.
void drawRingMarker(const RingMarker&, const DrawContext&, double) {}

namespace {

/// Answers every question no and chooses nothing; opening a file never asks.
class NoPrompts : public ProjectPrompts {
 public:
  bool ask(const std::string&) override { return false; }
  void message(const std::string&) override {}
  std::string chooseFile(const std::string&, const std::string&, bool) override { return {}; }
  bool askName(const std::string&, const std::string&, NameEntry&) override { return false; }
  int choose(const std::string&, const std::string&, const std::string&,
             const std::string&) override {
    return 0;
  }
};

/// The state file paths of the open project's local-state group.
std::vector<std::string> statePaths(const ProjectManager& manager) {
  const auto* group = dynamic_cast<const LocalStateGroup*>(manager.group(kLocalStateGroup));
  if (group == nullptr) std::abort();
  std::vector<std::string> paths;
  for (int i = 0; i < group->count(); ++i) paths.push_back(group->element(i)->name());
  return paths;
}

/// Where the project is written back: a real file, since the writer replaces it by renaming a
/// new file over it, in a memory-backed folder when there is one, so that the sync per save
/// costs nothing. The folder goes when the process ends.
std::string outputFile() {
  static const std::string folder = [] {
    char pattern[] = "/dev/shm/project_fuzz_XXXXXX";
    char fallback[] = "/tmp/project_fuzz_XXXXXX";
    const char* made = mkdtemp(pattern);
    if (made == nullptr) made = mkdtemp(fallback);
    if (made == nullptr) std::abort();
    static std::string kept = made;
    std::atexit([] { std::filesystem::remove_all(kept); });
    return kept;
  }();
  return folder + "/written.mpr";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NoPrompts prompts;
  const auto factory = [&prompts](int index) -> std::unique_ptr<ProjectGroup> {
    if (index == kLocalStateGroup) return std::make_unique<LocalStateGroup>(prompts);
    return nullptr;
  };
  ProjectManager first(prompts, factory);
  first.openPath(memoryFile(data, size));
  if (!first.isOpen() || first.modified()) std::abort();
  const std::vector<std::string> paths = statePaths(first);
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& path = paths[i];
    if (path.empty() || path.size() >= static_cast<size_t>(kProjectFieldLength)) std::abort();
    if (path.find_first_of(" \t\r\n\v\f") != std::string::npos) std::abort();
    for (size_t j = 0; j < i; ++j) {
      if (paths[j] == path) std::abort();
    }
  }

  const std::string written = outputFile();
  if (writeProjectFile(written, {first.group(0), first.group(1), first.group(2), first.group(3),
                                 first.group(4), first.group(5)}) != ProjectWrite::kWritten) {
    std::abort();
  }
  ProjectManager second(prompts, factory);
  second.openPath(written);
  if (statePaths(second) != paths) std::abort();
  return 0;
}

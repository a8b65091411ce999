// The project manager's test fixture: stub groups that record what reaches them, scripted
// prompts, and a scratch directory for the project files.
#pragma once

#include <gtest/gtest.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "common/platform/paths.h"
#include "halvex/config/field_file.h"
#include "halvex/gl/draw_context.h"
#include "halvex/project/local_state_group.h"
#include "halvex/project/project_manager.h"
#include "tests/halvex/project/scripted_prompts.h"
#include "tests/support/scratch_dir.h"

/// What the stub groups saw, shared by all of a project's groups.
struct Trace {
  std::vector<std::string> events;
  int destroyed = 0;
};

/// A group that records what reaches it and writes a fixed section (the map group's stand-in).
class StubGroup : public ProjectGroup {
 public:
  StubGroup(int index, Trace& trace, std::string section = std::string())
      : index_(index), trace_(trace), section_(std::move(section)) {}
  ~StubGroup() override { ++trace_.destroyed; }

  void readSection(FieldFile& file) override {
    std::string words;
    std::string word;
    while (file.nextLine()) {
      file.fieldText(0, word);
      if (strcasecmp(word.c_str(), "END") == 0) break;
      words += " " + word;
    }
    trace_.events.push_back("read " + std::to_string(index_) + ":" + words);
  }
  void writeSection(std::FILE* out) override { std::fputs(section_.c_str(), out); }
  void draw(const DrawContext&) override {
    trace_.events.push_back("draw " + std::to_string(index_));
  }
  int mouseEvent(int event, int toolMode, double latitude, double longitude) override {
    trace_.events.push_back("event " + std::to_string(index_) + " " + std::to_string(event) + " " +
                            std::to_string(toolMode) + " " + std::to_string(latitude) + " " +
                            std::to_string(longitude));
    return used_;
  }
  void pick(uint32_t name) override {
    trace_.events.push_back("pick " + std::to_string(index_) + " " + std::to_string(name));
  }
  /// What the operator's change would do.
  void touch() { markModified(); }
  int used_ = 0;

 private:
  int index_;
  Trace& trace_;
  std::string section_;
};

constexpr const char* kMapSection = "BEGIN MAP_group\n\tnorth.mapSetUp\n\tsouth.mapSetUp\nEND\n";

constexpr const char* kNotSaved =
    "ask: Project %s is not saved!\nIf you continue this project will be closed without "
    "saving.\nDo you wish to continue?";
constexpr const char* kRequired =
    "choose: You must have a project open to do this operation\nChoose one of the "
    "followig:|Cancel|Open existing project|Create new project";

inline std::string with(const std::string& text, const std::string& value) {
  return fillIn(text, value);
}

class Projects : public ::testing::Test {
 protected:
  Projects()
      : manager_(prompts_, [this](int index) -> std::unique_ptr<ProjectGroup> {
          if (index == kLocalStateGroup && realLocal_) {
            return std::make_unique<LocalStateGroup>(prompts_);
          }
          return std::make_unique<StubGroup>(index, trace_, index == kMapGroup ? kMapSection : "");
        }) {}

  LocalStateGroup* local() { return dynamic_cast<LocalStateGroup*>(manager_.group(1)); }
  StubGroup* stub(int index) { return dynamic_cast<StubGroup*>(manager_.group(index)); }

  /// Creates a project named `name` in the scratch directory through "new project".
  void create(const std::string& name) {
    prompts_.names.push_back(ScriptedPrompts::entry(dir_.dir(), name));
    manager_.newProject();
    ASSERT_TRUE(manager_.isOpen());
    prompts_.log.clear();
  }

  /// Opens the file `name` of the scratch directory as auto-start does.
  void open(const std::string& name, const std::string& text) {
    manager_.openPath(dir_.write(name, text));
    ASSERT_TRUE(manager_.isOpen());
  }

  ScratchDir dir_;
  ScriptedPrompts prompts_;
  Trace trace_;
  bool realLocal_ = true;
  ProjectManager manager_;
};

// One group of an open project: a section of the project file, something drawn every frame, and
// a receiver of the pointer events the interaction tool routes to the project.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <utility>

class FieldFile;
struct DrawContext;

/// Base of the project's groups. The base reads its section up to "END" and otherwise does
/// nothing, which is what unknown sections get.
class ProjectGroup {
 public:
  virtual ~ProjectGroup() = default;
  /// Reads the section whose "BEGIN" line is selected in file, up to and including the line
  /// whose first word is "END" (any letter case), or to the end of the file.
  virtual void readSection(FieldFile& file);
  /// Does nothing (a slot kept in the group layout).
  virtual void reserved() {}
  /// Writes the group's section; the base writes nothing.
  virtual void writeSection(std::FILE* out) { (void)out; }
  /// Draws the group's content once per frame; the base draws nothing.
  virtual void draw(const DrawContext& context) { (void)context; }
  /// A pointer or key event routed by the interaction tool of `toolMode`, with the ground
  /// position under the pointer (degrees). Returns non-zero when used; the base returns 0.
  virtual int mouseEvent(int event, int toolMode, double latitude, double longitude) {
    (void)event, (void)toolMode, (void)latitude, (void)longitude;
    return 0;
  }
  /// The name a picking pass chose (0: nothing); only the data-set group acts on it.
  virtual void pick(uint32_t name) { (void)name; }

  /// What markModified() calls; the project manager sets it so that the project asks before
  /// unsaved work is closed.
  void setModifiedHook(std::function<void()> hook) { modifiedHook_ = std::move(hook); }

 protected:
  /// Tells the owner that the operator changed what the project keeps (an added map, state
  /// file or data set, a committed map edit). Does nothing without a hook.
  void markModified() {
    if (modifiedHook_) modifiedHook_();
  }

 private:
  std::function<void()> modifiedHook_;
};

// The tracker's three-dimensional view wired to the model: the scene and what it draws from,
// the view's events (picking, the pointer's ground position, the project's groups), the
// interaction tool window and the view file kept beside the program.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "halvex/view/follow_frame.h"
#include "halvex/view/gl_draw_surface.h"
#include "halvex/view/node_icon.h"
#include "halvex/view/scene.h"

class Fl_Window;
class MapLayer;
class ProjectManager;
class TrackerEngine;
class TrackerModel;

/// Hands the surface the scene and the camera, the scene what it draws from and reports to, and
/// routes the view's events; owns the interaction tool window once built.
class TrackerView {
 public:
  /// Wires `surface` (owned by the window) and reads the view file beside the program, when
  /// the program's path is registered.
  TrackerView(glDrawSurface* surface, ViewCamera& camera, TrackerModel& model,
              TrackerEngine& engine, ProjectManager& projects);
  /// Drops a pick not yet handed on, writes the view file and deletes the tool window.
  ~TrackerView();
  TrackerView(const TrackerView&) = delete;
  TrackerView& operator=(const TrackerView&) = delete;

  /// Rebuilds the node icons and map layers from the graphics files last read.
  void rebuildGraphics();
  /// Builds the interaction tool window with its top left corner at screen point (x, y) and
  /// shows it.
  void buildPalette(int x, int y);
  /// Shows or hides the interaction tool window, once built.
  void showPalette(bool shown);

  glDrawSurface* surface() const { return surface_; }
  SceneFrame& scene() { return scene_; }
  InteractionTool& interaction() { return interaction_; }
  Fl_Window* palette() const { return palette_.get(); }
  double pointerLatitude() const { return pointerLatitude_; }
  double pointerLongitude() const { return pointerLongitude_; }
  long pickPasses() const { return pickPasses_; }
  const std::string& viewPath() const { return viewPath_; }

 private:
  static int onEvent(int event, void* view) {
    return static_cast<TrackerView*>(view)->event(event);
  }
  /// The view's events after its own handling: picking requests and the project's groups.
  int event(int event);
  /// The name a picking pass chose; handed on once the frame is drawn.
  void picked(uint32_t name);
  static void onPickDrawn(void* view) { static_cast<TrackerView*>(view)->deliverPick(); }
  void deliverPick();
  static void onToolMode(int mode, void* view) { static_cast<TrackerView*>(view)->toolMode(mode); }
  /// The interaction tool window's mode changed.
  void toolMode(int mode) { interaction_.mode = mode; }

  glDrawSurface* surface_;
  ViewCamera& camera_;
  TrackerModel& model_;
  ProjectManager& projects_;
  std::string viewPath_;
  SceneFrame scene_;
  NodeIconSet icons_;                            ///< From the node graphics file.
  std::vector<std::unique_ptr<MapLayer>> maps_;  ///< From the map graphics file.
  FollowState follow_;
  InteractionTool interaction_;
  std::unique_ptr<Fl_Window> palette_;
  bool pickRequested_ = false;  ///< Set by a shift-click with the data-set tool.
  uint32_t pickedName_ = 0;     ///< Chosen by the last picking pass, not yet handed on.
  long pickPasses_ = 0;         ///< Picking passes run so far.
  double pointerLatitude_ = 0;  ///< Ground position under the pointer at the last frame.
  double pointerLongitude_ = 0;
  int64_t frameTime_ = 0;  ///< Counter value at the end of the last frame.
};

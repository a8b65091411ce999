// The frame of the three-dimensional view: navigation, camera, lights, maps, the pointer readout,
// the nodes with their trails, icons and labels, the data set's rows, the ring markers, and the
// picking pass around them.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_map>
#include <vector>

#include "common/geodesy/readout.h"
#include "halvex/tracking/node_role.h"
#include "halvex/view/data_set_draw.h"
#include "halvex/view/label_declutter.h"
#include "halvex/view/trail_draw.h"

class DataSetModel;
class MapGraphics;
class MapLayer;
class NodeIconSet;
class NodeRecord;
class NodeTable;
class TrailStore;
class ViewCamera;
struct DrawContext;
struct FollowState;
struct TrackingSettings;

/// Words of the selection buffer of a picking pass.
constexpr int kSelectionWords = 1000;

/// Names of pickable objects: unique non-zero 32-bit values that map back to the objects.
/// Drawing code loads an object's name before drawing it and 0 after a group of them.
class PickNames {
 public:
  /// The object's name, given on first request and kept until forgotten; 0 for null.
  uint32_t nameFor(const void* object);
  /// The object named `name`, or null (also for 0 and forgotten names).
  void* objectFor(uint32_t name) const;
  /// Drops the object's name (call before the object goes).
  void forget(const void* object);
  /// Drops every name.
  void clear();
  /// Names in use.
  size_t size() const { return objects_.size(); }

 private:
  std::unordered_map<const void*, uint32_t> names_;
  std::unordered_map<uint32_t, const void*> objects_;
  uint32_t next_ = 1;
};

/// The process-wide pick names.
PickNames& pickNames();

/// The name chosen from `hits` hit records in buffer[0 .. words): the first name of the record
/// with the strictly smallest minimum depth below 1.0 whose first name is not 0; 0 when the
/// buffer overflowed (negative hits) or nothing was hit. Records that would run past the buffer
/// end the walk.
uint32_t chooseHit(const uint32_t* buffer, int words, int hits);

/// One map layer per line of the map graphics file, in file order.
std::vector<std::unique_ptr<MapLayer>> buildMapLayers(const MapGraphics& graphics);

/// Everything one frame draws from and reports to. Pointers may be null (that part is then left
/// out); callbacks may be empty.
struct SceneInputs {
  NodeTable* table = nullptr;                  ///< Nodes and ring markers.
  const TrackingSettings* settings = nullptr;  ///< Roles, display mode, label switches.
  NodeIconSet* icons = nullptr;                ///< Icons built from the node graphics file.
  const TrailStore* trails = nullptr;          ///< Each node's recent track, drawn behind it.
  DataSetModel* dataSet = nullptr;  ///< Rows drawn on the ground under the nodes, and picked.
  const std::vector<std::unique_ptr<MapLayer>>* maps = nullptr;  ///< From the map graphics file.
  ViewCamera* camera = nullptr;   ///< Null: the draw context's camera.
  FollowState* follow = nullptr;  ///< Navigation state; null skips the navigation step.
  std::function<void()> update;   ///< Per-frame update of the nodes from the inputs.
  std::function<void(const DrawContext&)> drawGroups;  ///< The open project's groups.
  std::function<bool()> statusFromRecords;             ///< The last tick read state records.
  bool* pickRequested = nullptr;                       ///< Set by an event; the frame consumes it.
  std::function<void(uint32_t)> pickResult;            ///< The name a picking pass chose (0: none).
  double* pointerLatitude = nullptr;  ///< Ground position under the pointer (degrees).
  double* pointerLongitude = nullptr;
  int64_t* frameTime = nullptr;  ///< Counter value at the end of the last frame.
};

/// Draws the tracker's scene once per call, in a fixed order of steps and OpenGL state.
class SceneFrame {
 public:
  /// Clear colour used while no stereo driver sets its own.
  static constexpr float kClearColour[4] = {0.0f, 0.4f, 0.5f, 1.0f};

  explicit SceneFrame(SceneInputs inputs = SceneInputs()) : inputs_(std::move(inputs)) {}

  SceneInputs& inputs() { return inputs_; }

  /// Draws one frame into the current context; runs a picking pass instead of a normal draw when
  /// one was requested.
  void drawFrame(const DrawContext& context);

  /// glDrawSurface draw callback; `user` is the SceneFrame.
  static void drawCallback(void* user, const DrawContext& context);

  /// The readout of the last frame.
  const geodesy::Readout& lastReadout() const { return readout_; }

 private:
  /// Lights and blending after the camera (so that the lights turn with the ground).
  void setUpLights();
  /// The nodes' trails, the data set's markers, then the nodes in table order with their role
  /// and base icons; the labels of both after them. A picking pass draws no trails, and of the
  /// data set only the row nearest to the pointer.
  void drawNodes(const DrawContext& context, bool pick);
  /// Decides which of the frame's labels are drawn (the declutter) and draws them.
  void drawLabels(int underPointerId);

  /// A node the frame draws, as read under its lock.
  struct ShownNode {
    NodeRecord* node;
    RoleChoice role;
    int status;
    double longitude, latitude;
  };

  SceneInputs inputs_;
  geodesy::Readout readout_;
  double ownLatitude_ = 0;  ///< Pointer position when the inputs keep none.
  double ownLongitude_ = 0;
  LabelDeclutter declutter_;
  std::vector<LabelCandidate> candidates_;  ///< One per label of the frame, reused.
  std::vector<int> candidateLabels_;        ///< The batch's label of each candidate.
  /// What a label of the batch stands for, as the declutter ranks it.
  struct LabelKind {
    LabelRole role;
    int closeRank;
  };
  std::vector<LabelKind> labelKinds_;  ///< One per label of the batch.
  /// How the declutter ranks the label of a node in `role`.
  static LabelKind labelKindOf(const RoleChoice& role);
  std::vector<ShownNode> shown_;       ///< The frame's nodes, reused.
  std::vector<TrailNode> trailNodes_;  ///< The frame's trails, reused.
  TrailDraw trailDraw_;
  DataSetDraw dataSetDraw_;
};

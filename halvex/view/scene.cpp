#include "halvex/view/scene.h"

#include <FL/gl.h>

#include <cmath>
#include <cstdio>

#include "common/platform/perf_counter.h"
#include "common/platform/wall_clock.h"
#include "halvex/config/map_graphics.h"
#include "halvex/core/load_status.h"
#include "halvex/gl/draw_context.h"
#include "halvex/gl/gl_extensions.h"
#include "halvex/gl/view_camera.h"
#include "halvex/maps/map_layer.h"
#include "halvex/maps/map_raster.h"
#include "halvex/tracking/node_role.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/node_trail.h"
#include "halvex/tracking/ring_marker.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/follow_frame.h"
#include "halvex/view/label_batch.h"
#include "halvex/view/node_icon.h"
#include "halvex/view/readout_draw.h"
#include "halvex/view/ring_marker_draw.h"

namespace {

constexpr GLfloat kLight0Position[4] = {0.3f, -0.9f, 0.8f, 0.0f};
constexpr GLfloat kLight1Position[4] = {-0.3f, 0.9f, 0.8f, 0.0f};
constexpr GLfloat kLight0Ambient[4] = {0.3f, 0.3f, 0.3f, 1.0f};
constexpr GLfloat kLightDiffuse[4] = {0.5f, 0.5f, 0.5f, 1.0f};
constexpr double kDepthScale = 1.0 / 4294967296.0;  ///< Hit depth units per 1.0 (2^-32).
constexpr int kHitHeaderWords = 3;                  ///< Name count, minimum and maximum depth.
constexpr double kMarkerIntensity = 1.0;
constexpr int64_t kMsPerSecond = 1000;

/// The selection buffer of the picking pass.
GLuint gSelection[kSelectionWords];

}  // namespace

uint32_t PickNames::nameFor(const void* object) {
  if (!object) return 0;
  const auto found = names_.find(object);
  if (found != names_.end()) return found->second;
  // Skip 0 and names still in use once the counter has gone round.
  while (next_ == 0 || objects_.count(next_)) ++next_;
  const uint32_t name = next_++;
  names_[object] = name;
  objects_[name] = object;
  return name;
}

void* PickNames::objectFor(uint32_t name) const {
  const auto found = objects_.find(name);
  return found == objects_.end() ? nullptr : const_cast<void*>(found->second);
}

void PickNames::forget(const void* object) {
  const auto found = names_.find(object);
  if (found == names_.end()) return;
  objects_.erase(found->second);
  names_.erase(found);
}

void PickNames::clear() {
  names_.clear();
  objects_.clear();
}

PickNames& pickNames() {
  static PickNames names;
  return names;
}

uint32_t chooseHit(const uint32_t* buffer, int words, int hits) {
  if (!buffer || hits <= 0) return 0;
  double best = 1.0;
  uint32_t chosen = 0;
  int at = 0;
  for (int hit = 0; hit < hits; ++hit) {
    if (at + kHitHeaderWords > words) break;
    const int count = static_cast<int>(buffer[at]);
    const int names = count > 0 ? count : 0;
    if (names > words - at - kHitHeaderWords) break;
    const double depth = buffer[at + 1] * kDepthScale;
    if (names > 0 && buffer[at + kHitHeaderWords] != 0 && depth < best) {
      best = depth;
      chosen = buffer[at + kHitHeaderWords];
    }
    at += kHitHeaderWords + names;
  }
  return chosen;
}

std::vector<std::unique_ptr<MapLayer>> buildMapLayers(const MapGraphics& graphics) {
  std::vector<std::unique_ptr<MapLayer>> layers;
  for (const MapGraphicDef& map : graphics.maps()) {
    // The line's rectangle places the map whichever reader draws it.
    const MapLayer::Corners corners = {
        {map.west, map.south}, {map.east, map.south}, {map.east, map.north}, {map.west, map.north}};
    RasterPlacement raster;
    if (readsAsRaster(map.name)) {
      raster = placeRaster(map.name);
      if (!raster.raster) {
        std::fprintf(stderr, "halvex: map %s: %s\n", map.name.c_str(), raster.error.c_str());
      }
    }
    layers.push_back(makeMapLayer(map.name, corners, &raster, map.minExtent, map.maxExtent));
  }
  return layers;
}

void SceneFrame::drawCallback(void* user, const DrawContext& context) {
  if (user) static_cast<SceneFrame*>(user)->drawFrame(context);
}

void SceneFrame::setUpLights() {
  glLightfv(GL_LIGHT0, GL_POSITION, kLight0Position);
  glLightfv(GL_LIGHT1, GL_POSITION, kLight1Position);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glDepthMask(GL_TRUE);
  glEnable(GL_DEPTH_TEST);
  glLightfv(GL_LIGHT0, GL_AMBIENT, kLight0Ambient);
  glLightfv(GL_LIGHT0, GL_DIFFUSE, kLightDiffuse);
  glLightfv(GL_LIGHT1, GL_DIFFUSE, kLightDiffuse);
}

void SceneFrame::drawNodes(const DrawContext& context, bool pick) {
  NodeTable* table = inputs_.table;
  const TrackingSettings* settings = inputs_.settings;
  NodeIconSet* icons = inputs_.icons;
  const bool withNodes = table && settings && icons;
  if (!withNodes && !inputs_.dataSet) return;
  shown_.clear();
  trailNodes_.clear();
  if (withNodes) {
    const bool fromRecords = inputs_.statusFromRecords && inputs_.statusFromRecords();
    const WallTime now = table->now();
    const bool withTrails = !pick && inputs_.trails && inputs_.trails->minutes() > 0;
    for (int position = 0; position < table->count(); ++position) {
      NodeRecord* node = table->nodeAt(position);
      if (!node) continue;
      const RoleChoice role = roleOf(*node, *settings, *table, icons->roleCount());
      if (!isDisplayed(role, *settings)) continue;
      node->lock();
      if (!fromRecords) {
        node->computeStatusLocked(now);
        node->computeAgeLocked(now);
      }
      shown_.push_back({node, role, node->status, node->longitude, node->latitude});
      node->unlock();
      const NodeIcon* base = withTrails ? icons->baseFor(*node) : nullptr;
      if (base) {
        const NodeIconLook& look = base->statusLook(shown_.back().status);
        trailNodes_.push_back({node->id, static_cast<float>(look.red),
                               static_cast<float>(look.green), static_cast<float>(look.blue)});
      }
    }
    // Under the icons, so that every icon stays readable over the lines.
    if (withTrails) {
      trailDraw_.draw(context, *inputs_.trails, trailNodes_,
                      now.seconds * kMsPerSecond + now.milliseconds);
    }
  }

  LabelBatch& labels = labelBatch();
  labels.begin();
  labelKinds_.clear();
  // The reports lie on the ground under the icons; their labels give way to the nodes'.
  if (inputs_.dataSet) {
    dataSetDraw_.draw(context, *inputs_.dataSet, pick, labels);
    labelKinds_.resize(labels.labels().size(), LabelKind{LabelRole::kReport, 0});
  }
  // The node whose icon holds the ground point under the pointer always shows its label.
  const double pointerX = inputs_.pointerLongitude ? *inputs_.pointerLongitude : ownLongitude_;
  const double pointerY = inputs_.pointerLatitude ? *inputs_.pointerLatitude : ownLatitude_;
  int underPointerId = LabelDeclutter::kNoPointer;
  for (const ShownNode& shown : shown_) {
    NodeRecord& node = *shown.node;
    NodeIcon* roleIcon = icons->role(shown.role.roleIcon);
    if (roleIcon) {
      roleIcon->setPosition(shown.longitude, shown.latitude);
      roleIcon->setStatus(shown.status);
      roleIcon->drawOverlay(context, *settings, node, false);
    }
    if (NodeIcon* base = icons->baseFor(node)) {
      base->setPosition(shown.longitude, shown.latitude);
      base->setStatus(shown.status);
      const size_t labelsBefore = labels.labels().size();
      base->draw(context, *settings, node, roleIcon, true);
      if (labels.labels().size() > labelsBefore) labelKinds_.push_back(labelKindOf(shown.role));
      if (std::fabs(pointerX - shown.longitude) <= base->halfSize() &&
          std::fabs(pointerY - shown.latitude) <= base->halfSize()) {
        underPointerId = node.id;
      }
    }
  }
  drawLabels(underPointerId);
}

SceneFrame::LabelKind SceneFrame::labelKindOf(const RoleChoice& role) {
  switch (role.role) {
    case NodeRole::kTarget:
      return {LabelRole::kTarget, 0};
    case NodeRole::kChase:
      return {LabelRole::kChase, 0};
    case NodeRole::kClose:
      return {LabelRole::kClose, role.roleIcon - kFirstCloseRoleIcon + 1};
    case NodeRole::kNone:
      break;
  }
  return {LabelRole::kOther, 0};
}

void SceneFrame::drawLabels(int underPointerId) {
  LabelBatch& batch = labelBatch();
  std::vector<LabelBox>& labels = batch.labels();
  candidates_.clear();
  candidateLabels_.clear();
  const int* viewport = batch.viewport();
  for (size_t k = 0; k < labels.size() && k < labelKinds_.size(); ++k) {
    const LabelBox& box = labels[k];
    if (box.right < box.left) continue;  // nothing of it lies in the view
    LabelCandidate candidate;
    candidate.id = box.id;
    candidate.role = labelKinds_[k].role;
    candidate.closeRank = labelKinds_[k].closeRank;
    candidate.x0 = box.left - viewport[0];
    candidate.x1 = box.right - viewport[0];
    candidate.y0 = box.bottom - viewport[1];
    candidate.y1 = box.top - viewport[1];
    candidates_.push_back(candidate);
    candidateLabels_.push_back(static_cast<int>(k));
  }
  const bool declutter = inputs_.settings == nullptr || inputs_.settings->labelDeclutter;
  const std::vector<bool>& placed =
      declutter_.place(candidates_, viewport[2], viewport[3], declutter, underPointerId);
  for (size_t c = 0; c < candidateLabels_.size() && c < placed.size(); ++c) {
    labels[static_cast<size_t>(candidateLabels_[c])].drawn = placed[c];
  }
  batch.draw();
}

void SceneFrame::drawFrame(const DrawContext& given) {
  DrawContext context = given;
  if (inputs_.camera) context.camera = inputs_.camera;
  ViewCamera* camera = context.camera;

  // 1. The nodes take what the inputs brought.
  if (inputs_.update) inputs_.update();

  // 2-3. Background and the state every frame starts from.
  if (!glExtensions().setFocalPlane) {
    glClearColor(kClearColour[0], kClearColour[1], kClearColour[2], kClearColour[3]);
  }
  glDepthFunc(GL_LESS);
  glClearDepth(1.0);
  glDepthRange(0.0, 1.0);
  glCullFace(GL_BACK);
  glEnable(GL_CULL_FACE);
  glEnable(GL_NORMALIZE);
  glDisable(GL_DITHER);
  glDisable(GL_BLEND);
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_TRUE);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
  glDepthMask(GL_FALSE);
  glEnable(GL_DITHER);

  // 4. The stereo driver's settings, when it is there.
  applyStereoSettingsFile(kStereoSettingsPath, glExtensions());

  // 5. Navigation.
  glLoadIdentity();
  glMatrixMode(GL_PROJECTION);
  if (camera && inputs_.follow && inputs_.settings && inputs_.table) {
    followAndFrame(*camera, *inputs_.settings, *inputs_.table, context.width, context.height,
                   *inputs_.follow, perfCounter());
  }

  // 6. A requested picking pass draws the scene in selection mode.
  const bool pick = inputs_.pickRequested && *inputs_.pickRequested;
  if (pick) {
    glSelectBuffer(kSelectionWords, gSelection);
    glRenderMode(GL_SELECT);
    glPushMatrix();
    glInitNames();
    glPushName(0);
    glLoadName(0);
  }

  // 7-8. Camera, then the lights so that they turn with the ground.
  if (camera) camera->apply(context.width, context.height, pick);
  glMatrixMode(GL_MODELVIEW);
  setUpLights();

  // 9. The view is up: the splash screen may go.
  loadStatusHide();

  // 10. Maps.
  glDepthFunc(GL_ALWAYS);
  if (inputs_.maps) {
    for (const std::unique_ptr<MapLayer>& layer : *inputs_.maps) {
      if (layer) layer->drawRect(context);
    }
  }
  if (inputs_.drawGroups) inputs_.drawGroups(context);

  // 11. Pointer ground position and readout.
  double* latitude = inputs_.pointerLatitude ? inputs_.pointerLatitude : &ownLatitude_;
  double* longitude = inputs_.pointerLongitude ? inputs_.pointerLongitude : &ownLongitude_;
  readout_ = drawPointerReadout(context, *latitude, *longitude);

  // 12. Nodes, then the ring markers.
  glDepthFunc(GL_LESS);
  drawNodes(context, pick);
  if (inputs_.table) {
    for (RingMarker* marker = inputs_.table->firstMarker(); marker; marker = marker->nextMarker()) {
      drawRingMarker(*marker, context, kMarkerIntensity);
    }
  }

  // 13. The picking pass hands over the nearest named object.
  if (pick) {
    *inputs_.pickRequested = false;
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glPopName();
    glFlush();
    const int hits = glRenderMode(GL_RENDER);
    glMatrixMode(GL_MODELVIEW);
    const uint32_t name = chooseHit(gSelection, kSelectionWords, hits);
    if (inputs_.pickResult) inputs_.pickResult(name);
  }

  // 14. Frame time for the loop's timing.
  if (inputs_.frameTime) *inputs_.frameTime = perfCounter();
}

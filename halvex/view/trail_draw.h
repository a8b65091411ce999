// The trails behind the node icons: each node's recent track as a line in its status colour that
// fades out with age.
#pragma once

#include <cstdint>
#include <vector>

#include "halvex/view/frame_view.h"
#include "halvex/view/trail_layer.h"
#include "halvex/view/trail_line.h"

class TrailStore;
struct DrawContext;

/// One node whose trail is drawn, and the colour of its line.
struct TrailNode {
  int id = 0;
  float red = 0, green = 0, blue = 0;  ///< 0 to 1: the node's icon colour in its status.
};

/// Draws the frame's trails. A trail runs over the store's span before the frame's time, its
/// opacity falling from kNewestAlpha at the newest point to 0 at the span's start. Each trail is
/// reduced to a TrailLine within two pixels of every point, kept from frame to frame and brought
/// up to date with the points that came since (started afresh when the view's scale halves or
/// doubles). The lines are set into a TrailLayer, which is set anew when the view moves, the
/// nodes or their colours change, kRefreshMs after trails have grown, or when the fade has moved
/// by a level of a colour channel; in between, each trail's stretch since is drawn as a line of
/// its own, so that it still reaches its node.
class TrailDraw {
 public:
  static constexpr float kNewestAlpha = 0.9f;  ///< Opacity of a trail at its newest point.
  /// How far a trail's line may pass from a point, pixels at the view's centre: the reduction
  /// keeps it between half this and this as the scale changes. Closer points draw nothing more
  /// a viewer could see.
  static constexpr double kTolerancePixels = 2.0;
  /// The opacity along a line is true to within 1/kTimeSteps of the span at every point.
  static constexpr int kTimeSteps = 16;
  /// Pixels, as wide as the layer draws its lines: wide enough to read over a map.
  static constexpr float kLineWidth = 2.0f;
  /// Longest time (trail time) the stretches that came since the layer was set are drawn as
  /// lines over it, a few segments a node, before it is set anew with them.
  static constexpr int64_t kRefreshMs = 1000;
  /// Steps of opacity a colour channel has: a layer is kept until its trails would fade by one.
  static constexpr int kOpacityLevels = 255;

  /// Draws the trails of `nodes` as of `nowMs` (UTC ms since 1970) into the current context,
  /// with the current matrices (view-local coordinates of `context`'s camera).
  void draw(const DrawContext& context, const TrailStore& trails,
            const std::vector<TrailNode>& nodes, int64_t nowMs);

 private:
  /// What a frame's trails are drawn through: the matrices and viewport, and the view-local
  /// origin.
  /// One end of a segment drawn as a line (the stretches since the layer was set).
  struct Vertex {
    float x, y;  ///< View-local world units.
    unsigned char rgba[4];
  };

  /// Whether the layer must be set anew for this frame.
  bool layerStale(const FrameView& view, const std::vector<TrailNode>& nodes, int64_t spanMs,
                  int64_t nowMs) const;
  /// Sets every line into the layer and notes where each ends.
  void buildLayer(const FrameView& view, const std::vector<TrailNode>& nodes, int64_t spanMs,
                  int64_t nowMs);
  /// Draws, as lines, each trail's stretch from where the layer ends to its newest point.
  void drawHeads(const FrameView& view, const std::vector<TrailNode>& nodes, int64_t spanMs,
                 int64_t nowMs);

  std::vector<TrailLine> lines_;  ///< By node id.
  uint64_t clears_ = 0;           ///< The store's count of clears the lines were built after.
  TrailLayer layer_;
  bool built_ = false;                     ///< The layer holds a picture.
  FrameView builtView_{};                  ///< What the layer was set for ...
  std::vector<TrailNode> builtNodes_;      ///< ... which nodes in which colours ...
  int64_t builtMs_ = 0, builtSpanMs_ = 0;  ///< ... at which time and span ...
  std::vector<TrailLine::Vertex> heads_;   ///< ... and where each of builtNodes_ ended.
  std::vector<Vertex> vertices_;           ///< The heads' segments, two ends each.
  bool grown_ = false;                     ///< The last frame drew stretches over the layer.
};

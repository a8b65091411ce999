#include "halvex/view/trail_draw.h"

#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_local.h"
#include "halvex/tracking/node_trail.h"

namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;
constexpr float kFullByte = 255.0f;
/// A head that starts here has no layer to start from.
constexpr int64_t kNoHead = std::numeric_limits<int64_t>::min();

/// A colour channel of 0 to 1 as a byte.
unsigned char byteOf(float channel) {
  return static_cast<unsigned char>(std::clamp(channel, 0.0f, 1.0f) * kFullByte + 0.5f);
}

bool sameNodes(const std::vector<TrailNode>& a, const std::vector<TrailNode>& b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](const TrailNode& x, const TrailNode& y) {
           return x.id == y.id && x.red == y.red && x.green == y.green && x.blue == y.blue;
         });
}

/// The vertices of `line` from where it enters the span at `oldestMs` on: the first of them
/// (the entry, cut from the segment across the span's start) in `start`, the rest from the
/// returned position. End when the line lies wholly before the span.
std::vector<TrailLine::Vertex>::const_iterator fromSpanStart(
    const std::vector<TrailLine::Vertex>& line, int64_t oldestMs, TrailLine::Vertex& start) {
  auto next = std::lower_bound(line.begin(), line.end(), oldestMs,
                               [](const TrailLine::Vertex& v, int64_t ms) { return v.ms < ms; });
  if (next == line.end()) return next;
  if (next == line.begin()) {
    start = *next;
    return next + 1;
  }
  const TrailLine::Vertex& before = *(next - 1);
  const double t = static_cast<double>(oldestMs - before.ms) / (next->ms - before.ms);
  start = {before.longitude + (next->longitude - before.longitude) * t,
           before.latitude + (next->latitude - before.latitude) * t, oldestMs};
  return next;
}

}  // namespace

void TrailDraw::draw(const DrawContext& context, const TrailStore& trails,
                     const std::vector<TrailNode>& nodes, int64_t nowMs) {
  const int64_t spanMs = trails.minutes() * kMsPerMinute;
  const ViewLocal local = viewLocalOf(context);
  const double pixel = local.extent / context.width;  // degrees
  if (spanMs <= 0 || !(pixel > 0) || !std::isfinite(pixel)) return;
  if (trails.clears() != clears_) {
    lines_.clear();
    clears_ = trails.clears();
    built_ = false;
  }
  const int idLimit = trails.idLimit();
  if (static_cast<int>(lines_.size()) < idLimit) lines_.resize(static_cast<size_t>(idLimit));
  // A power of two, so that the lines are built afresh only when the scale halves or doubles.
  const double tolerance = std::exp2(std::floor(std::log2(pixel * kTolerancePixels)));
  const double timeTolerance = static_cast<double>(spanMs) / kTimeSteps;
  for (const TrailNode& node : nodes) {
    if (node.id < 0 || node.id >= idLimit) continue;
    lines_[static_cast<size_t>(node.id)].update(trails.pointsOf(node.id), tolerance, timeTolerance,
                                                nowMs - spanMs);
  }

  const FrameView view = FrameView::current(local);
  if (layerStale(view, nodes, spanMs, nowMs)) buildLayer(view, nodes, spanMs, nowMs);
  layer_.draw(view.viewport);
  drawHeads(view, nodes, spanMs, nowMs);
}

bool TrailDraw::layerStale(const FrameView& view, const std::vector<TrailNode>& nodes,
                           int64_t spanMs, int64_t nowMs) const {
  const int64_t age = nowMs - builtMs_;
  const double fadeLevelMs = static_cast<double>(spanMs) / (kNewestAlpha * kOpacityLevels);
  return !built_ || !layer_.uploadedHere() || view != builtView_ || spanMs != builtSpanMs_ ||
         age < 0 || (grown_ && age >= kRefreshMs) || static_cast<double>(age) >= fadeLevelMs ||
         !sameNodes(nodes, builtNodes_);
}

void TrailDraw::buildLayer(const FrameView& view, const std::vector<TrailNode>& nodes,
                           int64_t spanMs, int64_t nowMs) {
  const int width = view.viewport[2], height = view.viewport[3];
  layer_.begin(width, height);
  heads_.assign(nodes.size(), TrailLine::Vertex{0, 0, kNoHead});
  const int64_t oldestMs = nowMs - spanMs;
  const float alphaPerMs = kNewestAlpha / static_cast<float>(spanMs);
  // Window pixels from the viewport's corner and opacity of a line's vertex; false behind the
  // eye, where a segment is left out.
  const auto place = [&](const TrailLine::Vertex& v, float& x, float& y, float& alpha) {
    if (!view.project(static_cast<float>(v.longitude - view.left),
                      static_cast<float>(v.latitude - view.bottom), x, y)) {
      return false;
    }
    alpha = std::clamp(static_cast<float>(v.ms - oldestMs) * alphaPerMs, 0.0f, kNewestAlpha);
    return true;
  };
  for (size_t k = 0; k < nodes.size(); ++k) {
    const TrailNode& node = nodes[k];
    if (node.id < 0 || node.id >= static_cast<int>(lines_.size())) continue;
    const std::vector<TrailLine::Vertex>& line = lines_[static_cast<size_t>(node.id)].vertices();
    if (line.empty()) continue;
    heads_[k] = line.back();
    TrailLine::Vertex start{};
    auto next = fromSpanStart(line, oldestMs, start);
    const unsigned char rgb[3] = {byteOf(node.red), byteOf(node.green), byteOf(node.blue)};
    float x0 = 0, y0 = 0, alpha0 = 0;
    bool known = next != line.end() && place(start, x0, y0, alpha0);
    for (; next != line.end(); ++next) {
      float x1 = 0, y1 = 0, alpha1 = 0;
      const bool here = place(*next, x1, y1, alpha1);
      if (known && here) layer_.addSegment(x0, y0, alpha0, x1, y1, alpha1, rgb);
      x0 = x1, y0 = y1, alpha0 = alpha1, known = here;
    }
  }
  layer_.upload();
  built_ = true;
  builtView_ = view;
  builtNodes_ = nodes;
  builtMs_ = nowMs;
  builtSpanMs_ = spanMs;
}

void TrailDraw::drawHeads(const FrameView& view, const std::vector<TrailNode>& nodes,
                          int64_t spanMs, int64_t nowMs) {
  vertices_.clear();
  const int64_t oldestMs = nowMs - spanMs;
  const float alphaPerMs = kNewestAlpha / static_cast<float>(spanMs);
  for (size_t k = 0; k < nodes.size() && k < heads_.size(); ++k) {
    const TrailNode& node = nodes[k];
    if (heads_[k].ms == kNoHead || node.id < 0 || node.id >= static_cast<int>(lines_.size())) {
      continue;
    }
    const std::vector<TrailLine::Vertex>& line = lines_[static_cast<size_t>(node.id)].vertices();
    const TrailLine::Vertex& head = heads_[k];
    if (line.empty() || line.back().ms <= head.ms) continue;
    const unsigned char rgb[3] = {byteOf(node.red), byteOf(node.green), byteOf(node.blue)};
    const auto vertexOf = [&](const TrailLine::Vertex& v) {
      const float alpha =
          std::clamp(static_cast<float>(v.ms - oldestMs) * alphaPerMs, 0.0f, kNewestAlpha);
      return Vertex{static_cast<float>(v.longitude - view.left),
                    static_cast<float>(v.latitude - view.bottom),
                    {rgb[0], rgb[1], rgb[2], static_cast<unsigned char>(alpha * kFullByte + 0.5f)}};
    };
    // From where the layer's line ends through every vertex since.
    Vertex from = vertexOf(head);
    auto next = std::upper_bound(line.begin(), line.end(), head.ms,
                                 [](int64_t ms, const TrailLine::Vertex& v) { return ms < v.ms; });
    for (; next != line.end(); ++next) {
      const Vertex to = vertexOf(*next);
      if (to.x != from.x || to.y != from.y) {
        vertices_.push_back(from);
        vertices_.push_back(to);
      }
      from = to;
    }
  }
  grown_ = !vertices_.empty();
  if (!grown_) return;

  glPushAttrib(GL_ENABLE_BIT | GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT | GL_LINE_BIT |
               GL_CURRENT_BIT);
  glPushClientAttrib(GL_CLIENT_VERTEX_ARRAY_BIT);
  for (GLenum cap : {GL_DEPTH_TEST, GL_TEXTURE_2D, GL_LIGHTING, GL_LINE_SMOOTH}) glDisable(cap);
  glDepthMask(GL_FALSE);
  glEnable(GL_BLEND);
  glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  glLineWidth(kLineWidth);
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_COLOR_ARRAY);
  glVertexPointer(2, GL_FLOAT, sizeof(Vertex), &vertices_[0].x);
  glColorPointer(4, GL_UNSIGNED_BYTE, sizeof(Vertex), vertices_[0].rgba);
  glDrawArrays(GL_LINES, 0, static_cast<GLsizei>(vertices_.size()));
  glPopClientAttrib();
  glPopAttrib();
}

#include "halvex/view/node_icon.h"

#include <FL/Enumerations.H>
#include <FL/gl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "common/platform/perf_counter.h"
#include "halvex/core/load_status.h"
#include "halvex/gl/draw_context.h"
#include "halvex/gl/view_local.h"
#include "halvex/maps/map_texture.h"
#include "halvex/tracking/node_record.h"
#include "halvex/tracking/tracking_settings.h"
#include "halvex/view/gl_text.h"
#include "halvex/view/label_batch.h"

int gNodeIconLoadCountdown = 0;

namespace {

constexpr double kHalfSizePerExtent = 0.005;   ///< Half size of a size-1 icon per view width.
constexpr double kLabelGapPerExtent = 0.0075;  ///< Label start right of the centre, per size.
constexpr double kPixelSizePerWidth = 0.01;    ///< Icon pixels per window pixel and size.
constexpr double kFontPerPixelSize = 0.66666;  ///< Font size from the icon's pixel size ...
constexpr int kFontDivisor = 3;                ///< ... divided by this.
constexpr int kMaxLabelPixels = 4096;          ///< Largest icon size in pixels that labels follow.
constexpr int kLineBytes = 256;                ///< Position line and number label buffers.
constexpr Fl_Font kNumberFont = FL_HELVETICA_BOLD;
constexpr Fl_Font kLineFont = FL_HELVETICA;

NodeIcon::CounterFn gCounter = perfCounter;
NodeIcon::CounterFn gFrequency = perfFrequency;

/// a + (b - a) * t.
double mix(double a, double b, double t) {
  return (1 - t) * a + t * b;
}

/// The world point at offset (dx, dy) from (x, y), in world units, the offset turned by
/// `rotation` so that a text there faces the screen.
void pointAt(double x, double y, double dx, double dy, const float* rotation, double point[3]) {
  double turned[3];
  turnOffset(rotation, dx, dy, 0, turned);
  point[0] = x + turned[0];
  point[1] = y + turned[1];
  point[2] = turned[2];
}

/// Draws `text` with its lower-left corner at offset (dx, dy) from (x, y), as pointAt places it.
void drawTextAt(const char* text, double x, double y, double dx, double dy, const float* rotation) {
  double point[3];
  pointAt(x, y, dx, dy, rotation, point);
  glRasterPos3d(point[0], point[1], point[2]);
  drawGlText(text);
}

/// Where one label goes: the icon's centre relative to the view, the font size, world units per
/// pixel, the baseline's drop below a text's middle and the lines' offset right of the centre.
struct LabelPlace {
  double x, y;
  int fontSize;
  double toWorld, baselineDrop, labelOffset;
  const float* rotation;
};

/// Adds node `id`'s label to the frame's batch, placed as drawLabels places it; false, with
/// nothing added, when one of its texts cannot go through the batch.
bool addToBatch(const LabelPlace& at, int id, const char* number, const char* const lines[],
                int lineCount) {
  LabelBatch& batch = labelBatch();
  batch.beginLabel(id);
  const GlyphAtlas* numberAtlas =
      number != nullptr ? batch.accepts(kNumberFont, at.fontSize, number) : nullptr;
  bool whole = number == nullptr || numberAtlas != nullptr;
  const GlyphAtlas* lineAtlas = nullptr;
  for (int k = 0; whole && k < lineCount; ++k) {
    lineAtlas = batch.accepts(kLineFont, at.fontSize, lines[k]);
    whole = lineAtlas != nullptr;
  }
  if (!whole) {
    batch.dropLabel();
    return false;
  }
  double point[3];
  if (number != nullptr) {
    const double width = numberAtlas->measure(number, static_cast<int>(std::strlen(number)));
    pointAt(at.x, at.y, -width / 2 * at.toWorld, -at.baselineDrop, at.rotation, point);
    batch.addText(kNumberFont, at.fontSize, point, number);
  }
  if (lineCount <= 0) return true;
  const double lineHeight = lineAtlas->lineHeight() * at.toWorld;
  for (int k = 0; k < lineCount; ++k) {
    const double dy = ((lineCount - 1) / 2.0 - k) * lineHeight - at.baselineDrop;
    pointAt(at.x, at.y, at.labelOffset, dy, at.rotation, point);
    batch.addText(kLineFont, at.fontSize, point, lines[k]);
  }
  return true;
}

}  // namespace

NodeIcon::NodeIcon(const NodeIconDef& definition)
    : kind_(definition.kind),
      number_(definition.number),
      kindWord_(definition.kindWord),
      imagePath_(definition.imagePath),
      textureId_(definition.imagePath.empty() ? kNoTexture : kNotLoaded),
      numberLabel_(definition.numberLabel) {
  for (int s = 0; s < kStatusCount; ++s) looks_[s] = definition.look[s];
}

void NodeIcon::setClock(CounterFn counter, CounterFn frequency) {
  gCounter = counter ? counter : perfCounter;
  gFrequency = frequency ? frequency : perfFrequency;
}

void NodeIcon::load() {
  if (imagePath_.empty()) {
    textureId_ = kNoTexture;
    return;
  }
  const int id = loadMapImage(imagePath_.c_str());
  textureId_ = id >= 0 ? id : kNoTexture;
}

void NodeIcon::setPosition(double x, double y) {
  x_ = x;
  y_ = y;
}

void NodeIcon::setStatus(int status) {
  status_ = status;
}

const NodeIconLook& NodeIcon::statusLook(int status) const {
  // Any other number counts as lost, as the node table reads state records.
  return looks_[status == NodeRecord::kAlive  ? NodeRecord::kAlive
                : status == NodeRecord::kIdle ? NodeRecord::kIdle
                                              : NodeRecord::kLost];
}

NodeIconLook NodeIcon::appearance(int64_t counter, int64_t frequency) const {
  const NodeIconLook& normal = looks_[NodeRecord::kAlive];
  if (status_ == NodeRecord::kAlive) return normal;
  const NodeIconLook& marked = statusLook(status_);
  double b = 0;
  if (frequency > 0) {
    int64_t phase = counter % frequency;
    if (phase < 0) phase += frequency;
    b = 2.0 * static_cast<double>(phase) / static_cast<double>(frequency) - 0.5;
    if (b < 0) b = 0;
    if (b > 1) b = 1;
  }
  NodeIconLook look;
  look.size = mix(marked.size, normal.size, b);
  look.red = mix(marked.red, normal.red, b);
  look.green = mix(marked.green, normal.green, b);
  look.blue = mix(marked.blue, normal.blue, b);
  return look;
}

bool NodeIcon::lazyLoad() {
  if (textureId_ != kNotLoaded) return true;
  if (gNodeIconLoadCountdown > 0) {
    --gNodeIconLoadCountdown;
    return false;
  }
  loadStatusShow();
  load();
  gNodeIconLoadCountdown = kLoadSkips;
  return true;
}

void NodeIcon::drawOverlay(const DrawContext& context, const TrackingSettings& settings,
                           NodeRecord& node, bool withLabels) {
  draw(context, settings, node, nullptr, withLabels);
}

void NodeIcon::draw(const DrawContext& context, const TrackingSettings& settings, NodeRecord& node,
                    const NodeIcon* roleIcon, bool withLabels) {
  glDisable(GL_DEPTH_TEST);
  glDepthMask(GL_FALSE);

  char name[NodeRecord::kTextBytes];
  char comment1[NodeRecord::kTextBytes];
  char comment2[NodeRecord::kTextBytes];
  node.lock();
  const double latitude = node.latitude;
  const double longitude = node.longitude;
  const double age = node.age;
  const int id = node.id;
  std::snprintf(name, sizeof name, "%s", node.name);
  std::snprintf(comment1, sizeof comment1, "%s", node.comment1);
  std::snprintf(comment2, sizeof comment2, "%s", node.comment2);
  node.unlock();
  char position[kLineBytes];
  std::snprintf(position, sizeof position, "lat: %10.5lf   lon:  %10.5lf   idle sec: %.0lf",
                latitude, longitude, age);

  const ViewLocal view = viewLocalOf(context);
  if (!lazyLoad()) {
    glDepthMask(GL_TRUE);
    return;
  }
  if (bindMapTexture(textureId_)) {
    glEnable(GL_BLEND);
    // A map drawn below full opacity leaves the blend function at (one, zero).
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
  }

  frequency_ = gFrequency();
  lastCounter_ = gCounter();
  const NodeIconLook look = appearance(lastCounter_, frequency_);
  const double h = look.size * view.extent * kHalfSizePerExtent;
  halfSize_ = std::fabs(h);
  const double x = x_ - view.left;
  const double y = y_ - view.bottom;
  glColor3d(look.red, look.green, look.blue);
  glBegin(GL_POLYGON);
  glTexCoord2d(1, 1);
  glVertex3d(x + h, y + h, 0);
  glTexCoord2d(0, 1);
  glVertex3d(x - h, y + h, 0);
  glTexCoord2d(0, 0);
  glVertex3d(x - h, y - h, 0);
  glTexCoord2d(1, 0);
  glVertex3d(x + h, y - h, 0);
  glEnd();
  glDisable(GL_TEXTURE_2D);
  glDisable(GL_BLEND);
  glDepthMask(GL_TRUE);
  if (!withLabels) return;

  char idText[kLineBytes];
  std::snprintf(idText, sizeof idText, "%d", id);
  const char* lines[TrackingSettings::kLabelCount];
  int lineCount = 0;
  if (settings.showComment[0]) lines[lineCount++] = name[0] ? name : idText;
  if (settings.showComment[1]) lines[lineCount++] = comment1;
  if (settings.showComment[2]) lines[lineCount++] = comment2;
  if (settings.showComment[3] && position[0]) lines[lineCount++] = position;
  const double labelSize =
      roleIcon ? roleIcon->appearance(lastCounter_, frequency_).size : look.size;
  drawLabels(context, id, lines, lineCount, look.size,
             labelSize * view.extent * kLabelGapPerExtent);
}

void NodeIcon::drawLabels(const DrawContext& context, int id, const char* const lines[],
                          int lineCount, double size, double labelOffset) {
  if (context.width <= 0 || !std::isfinite(size)) return;
  // Sizes from the node graphics file are not bounded: keep the pixel size within int and the
  // font size within what the toolkit can open (it ends the program beyond 65535).
  const double wanted = std::min(kPixelSizePerWidth * context.width * std::fabs(size),
                                 static_cast<double>(kMaxLabelPixels));
  const int pixels = static_cast<int>(wanted);
  const int fontSize = static_cast<int>(kFontPerPixelSize * pixels) / kFontDivisor;
  // Below one pixel no text can be read (and the toolkit has no font of size 0).
  if (fontSize < 1) return;
  const ViewLocal view = viewLocalOf(context);
  const double toWorld = view.extent / context.width;
  const double x = x_ - view.left;
  const double y = y_ - view.bottom;
  // The baseline sits a quarter of the font size below the middle of a text.
  const double baselineDrop = fontSize / 4.0 * toWorld;
  char number[kLineBytes];
  std::snprintf(number, sizeof number, "%03d", id);
  const LabelPlace place{x, y, fontSize, toWorld, baselineDrop, labelOffset, view.inverseRotation};
  if (addToBatch(place, id, numberLabel_ ? number : nullptr, lines, lineCount)) return;
  glColor3f(0, 0, 0);

  if (numberLabel_) {
    gl_font(kNumberFont, fontSize);
    drawTextAt(number, x, y, -gl_width(number) / 2 * toWorld, -baselineDrop, view.inverseRotation);
  }
  if (lineCount <= 0) return;
  gl_font(kLineFont, fontSize);
  const double lineHeight = gl_height() * toWorld;
  for (int k = 0; k < lineCount; ++k) {
    // Line 0 on top; the block is centred vertically on the icon.
    const double dy = ((lineCount - 1) / 2.0 - k) * lineHeight - baselineDrop;
    drawTextAt(lines[k], x, y, labelOffset, dy, view.inverseRotation);
  }
}

NodeIcon* NodeIconSet::icon(int index) const {
  return index >= 0 && index < count() ? icons_[index].get() : nullptr;
}

NodeIcon* NodeIconSet::role(int place) const {
  return place >= 0 && place < roleCount() ? roles_[place] : nullptr;
}

NodeIcon* NodeIconSet::iconFor(const NodeIconDef* definition) const {
  const auto found = byDefinition_.find(definition);
  return found == byDefinition_.end() ? nullptr : found->second;
}

NodeIcon* NodeIconSet::baseFor(const NodeRecord& node) const {
  if (NodeIcon* own = node.icon ? iconFor(node.icon) : nullptr) return own;
  if (NodeIcon* first = role(0)) return first;
  return icon(0);
}

void NodeIconSet::build(const NodeGraphics& graphics) {
  icons_.clear();
  roles_.clear();
  byDefinition_.clear();
  for (const NodeIconDef& definition : graphics.definitions()) {
    icons_.push_back(std::make_unique<NodeIcon>(definition));
    byDefinition_[&definition] = icons_.back().get();
  }
  roles_.resize(graphics.roleCount(), nullptr);
  for (int place = 0; place < graphics.roleCount(); ++place) {
    roles_[place] = iconFor(graphics.role(place));
  }
}

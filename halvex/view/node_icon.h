// Node icons: the textured squares drawn for the nodes in the look of their idle status, with
// their number and text labels, and the lists that say which icon a node is drawn with.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "halvex/config/node_graphics.h"

class NodeRecord;
struct DrawContext;
struct TrackingSettings;

/// Loads left to skip between two lazy icon texture loads; shared by every node icon.
extern int gNodeIconLoadCountdown;

/// One icon definition made drawable: its texture (loaded lazily while drawing), its three
/// appearances and the position and status set before each draw.
class NodeIcon {
 public:
  static constexpr int kNotLoaded = -2;   ///< Texture identifier before the lazy load.
  static constexpr int kNoTexture = -1;   ///< No image, or a failed load (never retried).
  static constexpr int kLoadSkips = 100;  ///< Icon draws skipped after each lazy load.
  static constexpr int kStatusCount = NodeIconDef::kStatusCount;

  /// Counter source of the pulse (perfCounter and perfFrequency by default).
  using CounterFn = int64_t (*)();

  explicit NodeIcon(const NodeIconDef& definition);
  NodeIcon(const NodeIcon&) = delete;
  NodeIcon& operator=(const NodeIcon&) = delete;
  virtual ~NodeIcon() = default;

  /// Loads the image into a texture; sets kNoTexture when there is none or it fails.
  virtual void load();
  /// Draws the icon at its position for `node` and, with labels, its number and text lines
  /// (placed beside `roleIcon` when one is given). Needs a current context.
  virtual void draw(const DrawContext& context, const TrackingSettings& settings, NodeRecord& node,
                    const NodeIcon* roleIcon, bool withLabels);
  /// The same draw without a role icon, for a role icon drawn over the node.
  virtual void drawOverlay(const DrawContext& context, const TrackingSettings& settings,
                           NodeRecord& node, bool withLabels);
  /// Position for the next draw: x longitude, y latitude (degrees).
  virtual void setPosition(double x, double y);
  /// Node status for the next draw: 0 alive, 1 idle, 2 lost (others draw as lost).
  virtual void setStatus(int status);
  /// Texture identifier: kNotLoaded, kNoTexture or the texture's identifier.
  virtual int textureId() const { return textureId_; }

  /// Size and colour at counter value `counter` of a counter running at `frequency` per second:
  /// a node of status 1 or 2 pulses once a second from its status look back to the normal one.
  NodeIconLook appearance(int64_t counter, int64_t frequency) const;

  NodeIconKind kind() const { return kind_; }
  int number() const { return number_; }
  const std::string& kindWord() const { return kindWord_; }
  const std::string& imagePath() const { return imagePath_; }
  const NodeIconLook& look(int status) const { return looks_[status]; }
  /// The look of node status `status` without the pulse: 0 alive, 1 idle, any other lost.
  const NodeIconLook& statusLook(int status) const;
  double x() const { return x_; }
  double y() const { return y_; }
  int status() const { return status_; }
  bool numberLabel() const { return numberLabel_; }
  /// Half the icon's side at its last draw (world units).
  double halfSize() const { return halfSize_; }

  /// Replaces the pulse's counter source (null restores the performance counter).
  static void setClock(CounterFn counter, CounterFn frequency);

 private:
  /// Loads the texture when its turn has come; false when this icon is not drawn this frame.
  bool lazyLoad();
  /// The number label and the text lines (starting labelOffset world units to the right).
  void drawLabels(const DrawContext& context, int id, const char* const lines[], int lineCount,
                  double size, double labelOffset);

  NodeIconKind kind_;
  int number_;
  std::string kindWord_;
  std::string imagePath_;  ///< Empty when absent.
  int textureId_;
  NodeIconLook looks_[kStatusCount];  ///< Normal, medium idle, lost.
  double x_ = 0;
  double y_ = 0;
  int status_ = 2;
  int64_t frequency_ = 1;    ///< Counter frequency at the last draw.
  double halfSize_ = 0;      ///< Half the icon's side at the last draw (world units).
  int64_t lastCounter_ = 0;  ///< Counter value at the last draw.
  bool numberLabel_;
};

/// The icons of the node graphics file last read, in the lists the scene draws from: every
/// definition in file order, the role places and the individual icons.
class NodeIconSet {
 public:
  NodeIconSet() = default;
  /// Builds one icon per definition of `graphics`.
  explicit NodeIconSet(const NodeGraphics& graphics) { build(graphics); }
  NodeIconSet(const NodeIconSet&) = delete;
  NodeIconSet& operator=(const NodeIconSet&) = delete;

  /// Replaces every icon by those of `graphics`.
  void build(const NodeGraphics& graphics);

  /// Icons in file order (the default list).
  int count() const { return static_cast<int>(icons_.size()); }
  NodeIcon* icon(int index) const;
  /// Role places as NodeGraphics numbers them; null for an empty place or one out of range.
  int roleCount() const { return static_cast<int>(roles_.size()); }
  NodeIcon* role(int place) const;
  /// The icon made from `definition` (a definition of the graphics built from), or null.
  NodeIcon* iconFor(const NodeIconDef* definition) const;
  /// The node's base icon: its own definition's icon, else the first role place, else the
  /// first icon of the file; null when there are no icons.
  NodeIcon* baseFor(const NodeRecord& node) const;

 private:
  std::vector<std::unique_ptr<NodeIcon>> icons_;
  std::vector<NodeIcon*> roles_;
  std::unordered_map<const NodeIconDef*, NodeIcon*> byDefinition_;
};

// The node labels of one frame, gathered while the nodes are drawn and drawn afterwards in one
// pass per glyph atlas: each text is laid out on the processor exactly as the bitmap font moves
// the raster position, each glyph becomes a textured quad, and a label's box (the union of its
// glyphs' ink, window pixels) is known before anything is drawn, for the declutter.
#pragma once

#include <vector>

#include "halvex/view/glyph_atlas.h"

/// One node's label in a frame: its node and its box in window pixels (x right, y up).
struct LabelBox {
  int id = 0;
  float left = 0, bottom = 0, right = -1, top = -1;  ///< Empty (right < left) without ink.
  bool drawn = true;  ///< Set by the caller between finish() and draw().
};

class LabelBatch {
 public:
  /// Starts a frame: reads the current projection, model-view and viewport, which every text
  /// of the frame is placed through.
  void begin();

  /// Starts the label of node `id`; the texts added until the next call belong to it.
  void beginLabel(int id);
  /// The atlas `text` in `font` at `size` is added through, when it can be: the atlas exists
  /// (built now when new) and holds every character, and the frame is not a picking pass. Null
  /// otherwise: a label one of whose texts cannot be added is drawn as before instead.
  const GlyphAtlas* accepts(int font, int size, const char* text);
  /// Adds `text` with its raster position at the world point `point` (drawn only when that
  /// point lies in the view, as a raster position must). Call accepts() first.
  void addText(int font, int size, const double point[3], const char* text);
  /// Drops the label begun last (its texts are drawn the old way instead).
  void dropLabel();

  /// The labels of this frame, in the order begun; set `drawn` to leave some out.
  std::vector<LabelBox>& labels() { return labels_; }

  /// Draws the glyphs of every label still marked drawn, in black, and empties the batch.
  void draw();

  /// Drops the atlases (the context is going).
  void clearAtlases() { atlases_.clear(); }

  /// The viewport read at begin(): x, y, width, height (window pixels).
  const int* viewport() const { return viewport_; }

  /// The raster position for a world point, found on the processor as the driver finds it
  /// (the driver itself is asked when a pixel or the view's edge is too close to call): false
  /// when the point lies outside the view (no raster position), else window pixels in x and y.
  bool project(const double point[3], float& x, float& y) const;

 private:
  struct Quad {
    const GlyphAtlas* atlas;
    int x, y;  ///< The cell's lower left (window pixels).
    const GlyphAtlas::Glyph* glyph;
    int label;
  };
  float modelView_[16] = {};   ///< column-major, as read at begin()
  float projection_[16] = {};  ///< column-major, as read at begin()
  int viewport_[4] = {0, 0, 0, 0};
  bool active_ = false;            ///< Rendering (not picking) since begin().
  const void* context_ = nullptr;  ///< The context the atlases were built in.
  GlyphAtlasCache atlases_;
  std::vector<Quad> quads_;
  std::vector<LabelBox> labels_;
  std::vector<float> vertices_, texels_;
};

/// The batch of the view being drawn (the toolkit draws one view at a time).
LabelBatch& labelBatch();

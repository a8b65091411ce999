// The node labels of one frame, gathered while the nodes are drawn and drawn afterwards at once:
// each text is laid out on the processor exactly as the bitmap font moves the raster position,
// a label's box (the union of its glyphs' ink, window pixels) is known before anything is drawn,
// for the declutter, and the labels kept are set into one mask of the view's pixels on the
// processor and drawn as one textured quad.
#pragma once

#include <vector>

#include "halvex/view/glyph_atlas.h"
#include "halvex/view/overlay_texture.h"
#include "halvex/view/word_cache.h"

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

  /// Draws every label still marked drawn, in black, and empties the batch.
  void draw();

  /// The viewport read at begin(): x, y, width, height (window pixels).
  const int* viewport() const { return viewport_; }

  /// The raster position for a world point, found on the processor as the driver finds it
  /// (the driver itself is asked when a pixel or the view's edge is too close to call): false
  /// when the point lies outside the view (no raster position), else window pixels in x and y.
  bool project(const double point[3], float& x, float& y) const;

 private:
  /// Inked pixels of a glyph or a run of words: where they go and where they are.
  struct Ink {
    const unsigned char* texels;  ///< The atlas's or the word cache's texels.
    int stride;                   ///< Texels a row there.
    int x, y;                     ///< Lower left, window pixels.
    int width, height;            ///< Pixels.
    int u, v;                     ///< Lower left in the texels.
    int label;
  };
  /// Adds a block of ink to the label begun last and grows its box.
  void addInk(int left, int bottom, int width, int height, const unsigned char* texels, int stride,
              int u, int v);
  float modelView_[16] = {};   ///< column-major, as read at begin()
  float projection_[16] = {};  ///< column-major, as read at begin()
  int viewport_[4] = {0, 0, 0, 0};
  bool active_ = false;  ///< Rendering (not picking) since begin().
  GlyphAtlasCache atlases_;
  WordCache words_;
  std::vector<WordCache::Piece> pieces_;  ///< The words of the text being added.
  std::vector<Ink> inks_;
  std::vector<unsigned char> mask_;  ///< The frame's labels, one byte a pixel.
  OverlayTexture maskTexture_;
  std::vector<LabelBox> labels_;
};

/// The batch of the view being drawn (the toolkit draws one view at a time).
LabelBatch& labelBatch();

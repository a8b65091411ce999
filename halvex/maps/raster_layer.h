// A map raster far larger than one texture drawn on the ground: cut into tiles at several
// levels of detail, each tile a texture of its own, laid through the raster's mesh so that a
// raster in any projection lands where its georeference says. Tiles are read on loader threads;
// while a tile loads a coarser one stands in, and the textures held stay under a budget.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "halvex/maps/map_layer.h"
#include "halvex/maps/raster_mesh.h"
#include "halvex/maps/texture_budget.h"
#include "halvex/maps/tile_loader.h"
#include "halvex/maps/tile_pyramid.h"

/// A MapLayer over a RasterSource. The corners it is drawn with may differ from those it was
/// made with (the operator's edits): each point moves by the bilinear blend of the corners'
/// moves at its place in the raster.
class RasterLayer : public MapLayer {
 public:
  /// Reader threads of a layer: enough to keep one disk busy, few enough to leave the drawing
  /// thread its core.
  static constexpr int kLoaderThreads = 2;
  /// Textures made from finished tiles in one frame at most, so that a burst of arrivals does
  /// not stall a frame: a new tile's texture can cost a few ms where its memory is fresh.
  static constexpr size_t kUploadsPerFrame = 4;

  /// Draws `raster` laid by `mesh` (placed); `corners` are where the mesh puts the raster's
  /// lower-left, lower-right, upper-right and upper-left corners. The texture memory held stays
  /// under `budgetBytes`.
  RasterLayer(std::shared_ptr<const RasterSource> raster, RasterMesh mesh, const char* path,
              const Corners corners, double minExtent, double maxExtent,
              size_t budgetBytes = TextureBudget::kDefaultBudgetBytes);
  ~RasterLayer() override;

  /// Starts the tile loader; textures are made while drawing.
  void load() override;
  void draw(const DrawContext& context, const Corners corners, double opacity,
            int outline) override;
  void drawRect(const DrawContext& context) override;

  /// Whether the last frame drew every tile of the view at the level whose texel is at most one
  /// screen pixel (nothing coarser standing in, nothing waiting).
  bool sharp() const { return sharp_; }
  /// Texture bytes held now.
  size_t textureBytes() const { return budget_.bytes(); }
  const TilePyramid& pyramid() const { return pyramid_; }
  const RasterMesh& mesh() const { return mesh_; }

  /// The mesh of a raster laid by four corners alone (a map placed by hand or by its setup
  /// file): one cell whose corners are `corners`.
  static RasterMesh cornerMesh(double width, double height, const Corners corners);

 private:
  struct Texture {
    unsigned id = 0;
    PixelRect rect;  ///< Level-0 pixels it covers.
  };
  /// Makes textures of up to kUploadsPerFrame finished tiles and releases those over budget.
  void takeTiles();
  /// Cuts the tiles again from the raster's levels when they changed (its levels cache became
  /// readable): the old tiles' textures and requests are dropped.
  void takeNewLevels();
  /// Draws tile `key` (resident) through the mesh cells it overlaps, moved by the edit blend.
  void drawTile(const Texture& texture, const double shift[4][2], double left, double bottom) const;

  std::shared_ptr<const RasterSource> raster_;
  RasterMesh mesh_;
  uint64_t levelsVersion_;  ///< The raster's levelsVersion() the pyramid was cut at.
  TilePyramid pyramid_;
  TextureBudget budget_;
  std::unique_ptr<TileLoader> loader_;
  std::unordered_map<TileKey, Texture> textures_;
  Corners placed_;                 ///< The corners the mesh gives.
  FramePlan plan_;                 ///< Reused by every frame.
  std::vector<TileKey> requests_;  ///< The frame's tiles to load, most urgent first.
  std::vector<TileKey> coarse_;    ///< The coarsest level's tiles of the view.
  std::vector<std::pair<TileKey, TileImage>> arrived_;
  uint64_t frame_ = 0;
  bool sharp_ = false;
};

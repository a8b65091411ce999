// A map of a project: an image laid on the ground by its geo-reference (kept in the setup file
// beside the image), placed through the placement dialog and edited with the mouse.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "common/dlink_list.h"
#include "common/platform/wall_clock.h"
#include "halvex/maps/geo_reference.h"
#include "halvex/maps/map_layer.h"
#include "halvex/maps/map_raster.h"
#include "halvex/project/placement_dialog.h"

class Fl_File_Chooser;
class Fl_Group;
class ViewCamera;
struct DrawContext;

/// Tells the operator something in a message box; replaceable where no box can be shown.
using MapMessageFn = std::function<void(const std::string& text)>;

/// Shows `text` in the toolkit's modal message box.
void showMapMessage(const std::string& text);

/// While it lives, new windows are top-level whatever group is open; the open group is
/// restored afterwards.
class TopLevelScope {
 public:
  TopLevelScope();
  ~TopLevelScope();
  TopLevelScope(const TopLevelScope&) = delete;
  TopLevelScope& operator=(const TopLevelScope&) = delete;

 private:
  Fl_Group* saved_;
};

/// A geo-referenced map image: a list element whose text is the image path. Corners are
/// (x = longitude, y = latitude) in degrees, lower-left, lower-right, upper-right, upper-left,
/// kept in a GeoReference and read from and written to the setup file by map_setup_file. Mouse
/// edits stay pending (and are only previewed) until commitEdits.
class GeoMap : public DlinkString {
 public:
  using Corners = MapLayer::Corners;
  using Clock = std::function<WallTime()>;

  static constexpr double kMinExtentFactor = 0.01;  ///< Visible from this many map widths...
  static constexpr double kMaxExtentFactor = 100;   ///< ...up to (not including) this many.
  static constexpr int kNoCorner = -1;              ///< Drag index: no corner chosen yet.
  static constexpr double kTimedFlash = -2;         ///< Flash value of startFlash.
  static constexpr int kFlashSeconds = 2;           ///< A timed flash ends after this many.

  /// A map of the image at `path` (copied) seen through `camera` (not owned, may be null).
  /// Its corners start at zero until it is placed.
  GeoMap(const char* path, ViewCamera* camera);
  ~GeoMap() override;

  /// First placement: a complete setup file gives the layer and opacity 1; otherwise a raster
  /// with a georeference (or a JPEG with a world file) is placed by it, and any other map
  /// shows the placement dialog.
  void place();
  /// Lays the map by the placement settings ("next" of the dialog) and builds a new layer.
  void applyPlacement();

  /// Reads the setup file into the corners; true when all four lines gave two numbers.
  bool readSetupFile();
  /// Commits every edit and writes the corners to the setup file; false (after a message)
  /// when it cannot be written.
  bool writeSetupFile();
  /// The setup file beside the image: the image path with the extension ".mapSetUp".
  const std::string& setupPath() const { return setupPath_; }

  /// Draws the map with its pending edits previewed; nothing without a layer.
  virtual void draw(const DrawContext& context);

  /// Pending move (degrees).
  void setMoveDelta(double dy, double dx);
  /// Pending size change: height by -heightGrowth (dragging down is positive), width by
  /// widthDelta (degrees).
  void setSizeDelta(double heightGrowth, double widthDelta);
  /// Pending rotation: a only decides whether to rotate; b is hundredths of a degree.
  void setRotationDelta(int a, int b);
  /// Moves one corner to (x, y); with index -1 (or any index outside 0..3) the rotation is
  /// committed first and the nearest corner taken. Returns the corner index used.
  int dragCorner(double y, double x, int index);
  /// Adds the pending move and size change to the corners and the pending rotation to the
  /// committed one, then clears them.
  void commitEdits();
  /// Whether a move, size change or rotation is pending.
  bool hasPendingEdits() const;
  /// Turns the corners by the committed (and pending) rotation and clears both.
  void commitRotation();
  /// Whether (x, y) lies inside the corners' quadrilateral; edges count as inside.
  bool contains(double y, double x) const { return geo_.contains(y, x); }
  /// The corner nearest to (x, y), 0 to 3; the lower index on a tie.
  int nearestCorner(double y, double x) const { return geo_.nearestCorner(y, x); }
  /// Flashes the map for about two seconds.
  void startFlash();

  /// Writes the map's "MAP_group" line ("\t<path> <opacity>") and then its setup file.
  void writeGroupLine(std::FILE* out);

  /// Sets where messages go (default: showMapMessage).
  void setMessageFn(MapMessageFn fn) { message_ = std::move(fn); }
  /// Replaces the wall clock (for flash timing).
  void setClock(Clock clock) { clock_ = std::move(clock); }
  /// Called after the placement has been applied (the corners may have changed).
  void setPlacedHook(std::function<void()> hook) { placed_ = std::move(hook); }

  const char* path() const { return text(); }
  const Corners& corners() const { return geo_.corners(); }
  /// East-west size of the corners' bounding box (degrees); the visible range follows it.
  double width() const { return geo_.width(); }
  void setCorner(int index, double x, double y) { geo_.setCorner(index, x, y); }
  MapLayer* layer() const { return layer_.get(); }
  PlacementDialog* placementDialog() const { return dialog_.get(); }
  /// The alpha image chooser, once applyPlacement has needed it.
  Fl_File_Chooser* alphaChooser() const { return alphaChooser_.get(); }

  double opacity() const { return settings_.opacity; }
  /// Sets the opacity, limited to 0..1.
  void setOpacity(double opacity);
  double flash() const { return flash_; }
  void setFlash(double flash) { flash_ = flash; }
  double outline() const { return outline_; }
  void setOutline(double outline) { outline_ = outline; }
  int64_t flashStart() const { return flashStart_; }

  double moveDy() const { return moveDy_; }
  double moveDx() const { return moveDx_; }
  double heightDelta() const { return heightDelta_; }
  double widthDelta() const { return widthDelta_; }
  int rotation() const { return rotation_; }
  int rotationA() const { return rotationA_; }
  int committedRotation() const { return committedRotation_; }
  int committedRotationA() const { return committedRotationA_; }
  int dragIndex() const { return dragIndex_; }

  int placementMode() const { return settings_.mode; }
  const PlacementSettings& placement() const { return settings_; }
  /// Takes over the placement settings (what "next" and "cancel" copy from the dialog).
  void setPlacement(const PlacementSettings& settings);
  /// The separate alpha image (relative to the current directory), empty when none.
  const std::string& alphaPath() const { return alphaPath_; }

 protected:
  /// Creates the placement dialog when there is none and shows it.
  virtual void showPlacementDialog();
  /// Asks for the separate alpha image and waits for the answer; empty when none was chosen.
  virtual std::string chooseAlphaImage();

 private:
  /// Replaces the layer by one built from the corners.
  void rebuildLayer();
  /// Opens the map as a raster when GDAL reads it (or it is a JPEG with a world file) and has
  /// none open yet; a failure is said on standard error once.
  void openRaster();
  /// Places the map by its raster's georeference; false when it has none.
  bool placeByGeoreference();
  /// Tells the layer the visible range of the current map width.
  void updateVisibleRange();

  std::unique_ptr<PlacementDialog> dialog_;
  /// The map's raster when GDAL reads it; null for the JPEG and SGI readers.
  std::unique_ptr<RasterPlacement> raster_;
  std::string alphaTitle_;  ///< The alpha chooser's title while it is shown.
  std::unique_ptr<Fl_File_Chooser> alphaChooser_;
  double flash_ = 0;
  double outline_ = 0;
  int64_t flashStart_ = 0;
  double moveDy_ = 0, moveDx_ = 0;
  double heightDelta_ = 0, widthDelta_ = 0;
  int rotation_ = 0, rotationA_ = 0;
  int committedRotation_ = 0, committedRotationA_ = 0;
  double dragY_ = 0, dragX_ = 0;
  int dragIndex_ = kNoCorner;
  PlacementSettings settings_;
  std::string alphaPath_;
  ViewCamera* camera_;
  std::unique_ptr<MapLayer> layer_;
  GeoReference geo_;
  std::string setupPath_;
  MapMessageFn message_ = showMapMessage;
  Clock clock_ = wallClockNow;
  std::function<void()> placed_;
};

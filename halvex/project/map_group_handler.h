// The maps of the open project: the "MAP_group" section, the drawing of every map, and the
// mouse selection and editing of one map with the map tool.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>

#include "halvex/project/geo_map.h"
#include "halvex/project/project_group.h"

class Fl_File_Chooser;
class HoverButton;
class PopupToolWindow;
class ViewCamera;

/// Keeps the project's GeoMaps in the order added. A control-click selects the last map under
/// the pointer (with a chooser popup to walk to the others when several overlap); dragging with
/// the map tool edits the selected map, and the release commits the edit.
class KT_mapGroupHandler : public ProjectGroup {
 public:
  static constexpr int kChooserWidth = 166;  ///< The map chooser popup, px.
  static constexpr int kChooserHeight = 50;
  static constexpr int kNoCorner = GeoMap::kNoCorner;

  /// The toolkit's view of one event: buttons, modifiers, the A key and where the pointer is.
  struct PointerState {
    bool button1 = false, button2 = false, button3 = false;
    bool control = false;
    bool shift = false;                     ///< Shift xor caps lock.
    bool aKey = false;                      ///< The A key is held.
    int x = 0, y = 0;                       ///< Pointer in the event's window, px.
    int rootX = 0, rootY = 0;               ///< Pointer on the screen, px.
    int windowWidth = 0, windowHeight = 0;  ///< The first top-level window (0: none).
  };

  /// What the last recorded event left: the live edit of each frame is taken from it.
  struct Interaction {
    int toolMode = 0;
    int event = 0;
    double latitude = 0, longitude = 0;
    double pushLatitude = 0, pushLongitude = 0;
    bool button1 = false, button2 = false, button3 = false;
    bool control = false, shift = false, aKey = false;
    int x = 0, y = 0;
    int pushX = 0, pushY = 0;
    int pushWidth = 100, pushHeight = 100;       ///< Top-level window size at the push.
    int dragDx = 0, dragDy = 0;                  ///< Pixels since the push.
    double dragLongitude = 0, dragLatitude = 0;  ///< Degrees since the push.
    int cornerIndex = kNoCorner;                 ///< Corner held by a shift drag.
  };

  /// A group whose new maps see the ground through `camera` (not owned, may be null).
  explicit KT_mapGroupHandler(ViewCamera* camera);
  ~KT_mapGroupHandler() override;
  KT_mapGroupHandler(const KT_mapGroupHandler&) = delete;
  KT_mapGroupHandler& operator=(const KT_mapGroupHandler&) = delete;

  /// Reads the map lines after "BEGIN MAP_group" up to "END" (any case) or the end of input.
  void readSection(FieldFile& file) override;
  /// Writes the section and every map's setup file.
  void writeSection(std::FILE* out) override;
  /// Draws every map, the selected one last with its live edit.
  void draw(const DrawContext& context) override;
  /// Acts for tool modes 1 and 2 with the toolkit's current event state; returns 1 then.
  int mouseEvent(int event, int toolMode, double latitude, double longitude) override;

  /// mouseEvent with the event state given.
  int handleEvent(int event, int toolMode, double latitude, double longitude,
                  const PointerState& state);
  /// The toolkit's state of the event being handled.
  static PointerState currentPointerState();

  /// Asks for map images ("Load a new map into this project") and adds each one chosen.
  void addMapsFromChooser();
  /// Creates, places and appends a map of the image at `path`; the new map loads at the next
  /// frame. Returns it (null for a null or empty path).
  GeoMap* addMap(const char* path);
  /// Applies the recorded interaction to the selected map (part of draw).
  void applyLiveEdit();

  /// "Select this Map": the candidate stops flashing, keeps its outline; the chooser hides.
  void selectThisMap();
  /// "next map ->": the previous map under the chooser's point becomes the candidate; with
  /// none left nothing is selected and the chooser hides.
  void selectNextMap();

  /// Where the maps' messages go (default: a message box); applies to existing maps too.
  void setMessageFn(MapMessageFn fn);

  GeoMap* head() const { return static_cast<GeoMap*>(head_); }
  GeoMap* tail() const { return static_cast<GeoMap*>(tail_); }
  /// Number of maps.
  int mapCount() const;
  GeoMap* selected() const { return selected_; }
  const Interaction& interaction() const { return interaction_; }
  /// The map chooser popup, once a selection has needed it.
  PopupToolWindow* mapChooser() const { return chooser_; }
  HoverButton* selectButton() const { return selectButton_; }
  HoverButton* nextButton() const { return nextButton_; }
  /// The add-map file chooser, once addMapsFromChooser has needed it.
  Fl_File_Chooser* fileChooser() const { return fileChooser_.get(); }

 protected:
  /// Makes a new map; a group without a display overrides it with maps that show no dialogs.
  virtual GeoMap* createMap(const char* path);

 private:
  /// Control-click at the ground point: the selection and, for overlapping maps, the chooser.
  void selectAt(double latitude, double longitude, int rootX, int rootY);
  /// Records one event into the interaction state.
  void record(int event, int toolMode, double latitude, double longitude,
              const PointerState& state);
  /// Creates the chooser popup on first use and shows it at (x, y) on the screen.
  void showChooser(int x, int y);
  /// A new map with this group's message and modification hooks.
  GeoMap* newMap(const char* path);

  static void onSelectThis(Fl_Widget*, void* self);
  static void onSelectNext(Fl_Widget*, void* self);

  DlinkList* head_ = nullptr;
  DlinkList* tail_ = nullptr;
  GeoMap* selected_ = nullptr;
  std::unique_ptr<Fl_File_Chooser> fileChooser_;
  ViewCamera* camera_;
  PopupToolWindow* chooser_ = nullptr;  ///< Owned; deleted with the group.
  HoverButton* selectButton_ = nullptr;
  HoverButton* nextButton_ = nullptr;
  double chooserLatitude_ = 0, chooserLongitude_ = 0;
  Interaction interaction_;
  bool editedSincePush_ = false;  ///< A corner or the opacity changed during this press.
  MapMessageFn message_ = showMapMessage;
};

#include "halvex/project/map_group_handler.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/gl.h>
#include <strings.h>

#include <cmath>
#include <cstdio>
#include <string>

#include "common/platform/paths.h"
#include "common/popup/hover_button.h"
#include "common/popup/popup_tool_window.h"
#include "halvex/config/field_file.h"
#include "halvex/maps/map_texture.h"
#include "halvex/project/project_file.h"

namespace {

constexpr char kSectionBegin[] = "BEGIN MAP_group\n";
constexpr char kSectionEnd[] = "END\n";
constexpr char kEndWord[] = "END";
constexpr char kChooserTitle[] = "Load a new map into this project";
constexpr char kChooserFilter[] =
    "Image Files (*.{jpg,jpeg,sgi,rgb})\t*.jpg\t*.jpeg\t*.sgi\t*.rgb\t"
    "Map Rasters (*.{tif,tiff,jp2,mbtiles,png})";
constexpr char kSelectThisLabel[] = "Select this Map";
constexpr char kSelectNextLabel[] = "next map ->";
constexpr int kEditTool = 1;    ///< Tool mode that selects and edits maps.
constexpr int kSelectTool = 2;  ///< Tool mode that selects maps and records drags only.
constexpr char kUnkeepable[] =
    "The map path %s cannot be kept in a project file:\npaths must be one word of at most 260 "
    "characters other than END.";
constexpr int kUnkeepableBytes = 1024;

/// Opacity limited to 0..1; anything that is not a number gives 0.
double limitOpacity(double value) {
  return value > 1 ? 1 : value >= 0 ? value : 0;
}

}  // namespace

KT_mapGroupHandler::KT_mapGroupHandler(ViewCamera* camera) : camera_(camera) {}

KT_mapGroupHandler::~KT_mapGroupHandler() {
  selected_ = nullptr;
  DlinkList::deleteAll(head_);
  tail_ = nullptr;
  delete chooser_;  // its destructor takes its entry out of the event tool list
}

int KT_mapGroupHandler::mapCount() const {
  int n = 0;
  for (DlinkList* e = head_; e != nullptr; e = e->next()) ++n;
  return n;
}

void KT_mapGroupHandler::setMessageFn(MapMessageFn fn) {
  message_ = std::move(fn);
  for (GeoMap* m = head(); m != nullptr; m = static_cast<GeoMap*>(m->next())) {
    m->setMessageFn(message_);
  }
}

GeoMap* KT_mapGroupHandler::createMap(const char* path) {
  return new GeoMap(path, camera_);
}

GeoMap* KT_mapGroupHandler::newMap(const char* path) {
  GeoMap* map = createMap(path);
  map->setMessageFn(message_);
  map->setPlacedHook([this] { markModified(); });
  return map;
}

// Sample section:
//   BEGIN MAP_group
//   	maps/area.jpg 0.750000
//   END
void KT_mapGroupHandler::readSection(FieldFile& file) {
  std::string path;
  while (file.nextLine()) {
    if (!file.fieldText(0, path)) continue;
    if (strcasecmp(path.c_str(), kEndWord) == 0) return;
    double opacity = 0;
    file.fieldDouble(1, opacity);
    GeoMap* map = newMap(path.c_str());
    map->setOpacity(limitOpacity(opacity));
    map->place();
    map->appendTo(head_, tail_, 0);
  }
}

void KT_mapGroupHandler::writeSection(std::FILE* out) {
  if (out == nullptr) return;
  std::fputs(kSectionBegin, out);
  for (GeoMap* m = head(); m != nullptr; m = static_cast<GeoMap*>(m->next())) {
    m->writeGroupLine(out);
  }
  std::fputs(kSectionEnd, out);
}

void KT_mapGroupHandler::addMapsFromChooser() {
  if (!fileChooser_) {
    const TopLevelScope scope;
    fileChooser_ = std::make_unique<Fl_File_Chooser>(".", kChooserFilter, Fl_File_Chooser::SINGLE,
                                                     kChooserTitle);
  }
  fileChooser_->show();
  while (fileChooser_->shown()) Fl::wait();
  const int count = fileChooser_->count();
  for (int i = 1; i <= count; ++i) {
    const char* chosen = fileChooser_->value(i);
    if (chosen == nullptr || *chosen == '\0') break;
    addMap(relativeToCurrentDirectory(chosen).c_str());
  }
}

GeoMap* KT_mapGroupHandler::addMap(const char* path) {
  if (path == nullptr || *path == '\0') return nullptr;
  // A map the project file could not read back would be lost at the next opening.
  if (!projectKeepsPath(path)) {
    char text[kUnkeepableBytes];
    std::snprintf(text, sizeof text, kUnkeepable, path);
    message_(text);
    return nullptr;
  }
  GeoMap* map = newMap(path);
  map->place();
  map->appendTo(head_, tail_, 0);
  gMapLoadCountdown = 0;
  markModified();
  return map;
}

void KT_mapGroupHandler::draw(const DrawContext& context) {
  glDepthFunc(GL_ALWAYS);
  for (GeoMap* m = head(); m != nullptr; m = static_cast<GeoMap*>(m->next())) {
    if (m != selected_) m->draw(context);
  }
  if (selected_ == nullptr) return;
  applyLiveEdit();
  selected_->draw(context);
}

void KT_mapGroupHandler::applyLiveEdit() {
  Interaction& in = interaction_;
  if (selected_ == nullptr || in.toolMode != kEditTool) return;
  if (in.button1 && in.aKey) {
    const double opacity = in.pushWidth > 0 ? limitOpacity(double(in.x) / in.pushWidth) : 0.0;
    if (opacity != selected_->opacity()) editedSincePush_ = true;
    selected_->setOpacity(opacity);
  } else if (in.button1 && in.shift) {
    in.cornerIndex = selected_->dragCorner(in.latitude, in.longitude, in.cornerIndex);
    editedSincePush_ = true;
  } else if (in.button1) {
    selected_->setMoveDelta(in.dragLatitude, in.dragLongitude);
  }
  if (in.button2) selected_->setRotationDelta(in.dragDy, in.dragDx);
  if (in.button3) {
    const double d = std::hypot(in.dragLongitude, in.dragLatitude);
    double ux = in.dragDx, uy = in.dragDy;
    const double length = std::hypot(ux, uy);
    if (length != 0) {
      ux /= length;
      uy /= length;
    }
    selected_->setSizeDelta(d * uy, d * ux);
  }
}

KT_mapGroupHandler::PointerState KT_mapGroupHandler::currentPointerState() {
  PointerState s;
  s.button1 = Fl::event_button1() != 0;
  s.button2 = Fl::event_button2() != 0;
  s.button3 = Fl::event_button3() != 0;
  s.control = Fl::event_ctrl() != 0;
  const bool capsLock = (Fl::event_state() & FL_CAPS_LOCK) != 0;
  s.shift = (Fl::event_shift() != 0) != capsLock;
  s.aKey = Fl::event_key('a') != 0;
  s.x = Fl::event_x();
  s.y = Fl::event_y();
  s.rootX = Fl::event_x_root();
  s.rootY = Fl::event_y_root();
  if (Fl_Window* first = Fl::first_window()) {
    const Fl_Window* top = first->top_window() != nullptr ? first->top_window() : first;
    s.windowWidth = top->w();
    s.windowHeight = top->h();
  }
  return s;
}

int KT_mapGroupHandler::mouseEvent(int event, int toolMode, double latitude, double longitude) {
  return handleEvent(event, toolMode, latitude, longitude, currentPointerState());
}

int KT_mapGroupHandler::handleEvent(int event, int toolMode, double latitude, double longitude,
                                    const PointerState& state) {
  if (toolMode != kEditTool && toolMode != kSelectTool) return 0;
  if (event == FL_PUSH && state.control) {
    selectAt(latitude, longitude, state.rootX, state.rootY);
    return 1;
  }
  // Drags and keys with the control key belong to a selection, not to an edit: recording them
  // would measure the drag from an earlier push. A release always ends the edit.
  const bool editEvent =
      event == FL_PUSH || event == FL_DRAG || event == FL_KEYDOWN || event == FL_KEYUP;
  // The edit shown at the last frame may lag the last drag: take it up to the last recorded
  // drag (whose buttons the release no longer reports) before the release commits it.
  if (event == FL_RELEASE) applyLiveEdit();
  if (event == FL_RELEASE || (editEvent && !state.control)) {
    record(event, toolMode, latitude, longitude, state);
  }
  return 1;
}

void KT_mapGroupHandler::record(int event, int toolMode, double latitude, double longitude,
                                const PointerState& state) {
  Interaction& in = interaction_;
  in.toolMode = toolMode;
  in.event = event;
  in.latitude = latitude;
  in.longitude = longitude;
  in.button1 = state.button1;
  in.button2 = state.button2;
  in.button3 = state.button3;
  in.control = state.control;
  in.shift = state.shift;
  in.aKey = state.aKey;
  in.x = state.x;
  in.y = state.y;
  if (!(state.shift && state.button1)) in.cornerIndex = kNoCorner;
  switch (event) {
    case FL_PUSH:
      in.pushLatitude = latitude;
      in.pushLongitude = longitude;
      in.pushX = state.x;
      in.pushY = state.y;
      if (state.windowWidth > 0 && state.windowHeight > 0) {
        in.pushWidth = state.windowWidth;
        in.pushHeight = state.windowHeight;
      }
      in.dragDx = in.dragDy = 0;
      in.dragLongitude = in.dragLatitude = 0;
      editedSincePush_ = false;
      break;
    case FL_RELEASE:
      if (selected_ != nullptr) {
        const bool edited = editedSincePush_ || selected_->hasPendingEdits();
        selected_->commitEdits();
        if (edited) markModified();
      }
      editedSincePush_ = false;
      break;
    case FL_DRAG:
      in.dragDx = state.x - in.pushX;
      in.dragDy = state.y - in.pushY;
      in.dragLongitude = longitude - in.pushLongitude;
      in.dragLatitude = latitude - in.pushLatitude;
      break;
    default:
      break;
  }
}

void KT_mapGroupHandler::selectAt(double latitude, double longitude, int rootX, int rootY) {
  GeoMap* found = nullptr;
  int containing = 0;
  for (GeoMap* m = head(); m != nullptr; m = static_cast<GeoMap*>(m->next())) {
    m->setFlash(0);
    m->setOutline(0);
    if (m->contains(latitude, longitude)) {
      found = m;
      ++containing;
    }
  }
  selected_ = found;
  // A new selection replaces a chooser still open from the last one.
  if (chooser_ != nullptr && chooser_->shown()) chooser_->hide();
  if (found == nullptr) return;
  found->setOutline(1);
  if (containing == 1) {
    found->startFlash();
    return;
  }
  chooserLatitude_ = latitude;
  chooserLongitude_ = longitude;
  found->setFlash(1);
  showChooser(rootX - kChooserWidth / 2, rootY - kChooserHeight / 4);
}

void KT_mapGroupHandler::showChooser(int x, int y) {
  if (chooser_ == nullptr) {
    const TopLevelScope scope;
    chooser_ = new PopupToolWindow(x, y, kChooserWidth, kChooserHeight,
                                   PopupToolWindow::Variant::kTracker);
    selectButton_ = new HoverButton(0, 0, kChooserWidth, kChooserHeight / 2, kSelectThisLabel);
    nextButton_ =
        new HoverButton(0, kChooserHeight / 2, kChooserWidth, kChooserHeight / 2, kSelectNextLabel);
    selectButton_->callback(onSelectThis, this);
    nextButton_->callback(onSelectNext, this);
    chooser_->end();
    // A press outside the chooser (and closing it) chooses the candidate.
    chooser_->callback(onSelectThis, this);
  }
  chooser_->position(x, y);
  chooser_->show();
}

void KT_mapGroupHandler::selectThisMap() {
  std::printf("KT_mapGroupHandler::select_this_map\t+++++++++++++\n");
  if (selected_ != nullptr) {
    selected_->setFlash(0);
    selected_->setOutline(1);
  }
  if (chooser_ != nullptr) chooser_->hide();
}

void KT_mapGroupHandler::selectNextMap() {
  std::printf("KT_mapGroupHandler::select_next_map\t+++++++++++++\n");
  GeoMap* next = nullptr;
  if (selected_ != nullptr) {
    selected_->setFlash(0);
    selected_->setOutline(0);
    for (DlinkList* e = selected_->prev(); e != nullptr; e = e->prev()) {
      auto* m = static_cast<GeoMap*>(e);
      if (m->contains(chooserLatitude_, chooserLongitude_)) {
        next = m;
        break;
      }
    }
  }
  selected_ = next;
  if (next == nullptr) {
    if (chooser_ != nullptr) chooser_->hide();
    return;
  }
  next->setFlash(1);
  next->setOutline(1);
  // The press on the button has hidden the popup on its release; the choice goes on.
  if (chooser_ != nullptr && !chooser_->shown()) chooser_->show();
}

void KT_mapGroupHandler::onSelectThis(Fl_Widget*, void* self) {
  static_cast<KT_mapGroupHandler*>(self)->selectThisMap();
}

void KT_mapGroupHandler::onSelectNext(Fl_Widget*, void* self) {
  static_cast<KT_mapGroupHandler*>(self)->selectNextMap();
}

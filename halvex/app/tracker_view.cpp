#include "halvex/app/tracker_view.h"

#include <FL/Fl.H>
#include <FL/Fl_Window.H>

#include <cstdio>

#include "common/name_registry.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/gl/pointer_ground.h"
#include "halvex/maps/map_layer.h"
#include "halvex/project/project_manager.h"
#include "halvex/ui/interaction_tool_window.h"
#include "halvex/view/view_event_route.h"

TrackerView::TrackerView(glDrawSurface* surface, ViewCamera& camera, TrackerModel& model,
                         TrackerEngine& engine, ProjectManager& projects)
    : surface_(surface), camera_(camera), model_(model), projects_(projects) {
  surface_->setCamera(&camera_);
  SceneInputs& in = scene_.inputs();
  in.table = &model_.nodes();
  in.settings = &model_.settings();
  in.icons = &icons_;
  in.trails = &model_.trails();
  in.dataSet = &model_.dataSet();
  in.maps = &maps_;
  in.camera = &camera_;
  in.follow = &follow_;
  // The loop's tick runs the input step before each redraw request, so the frame has none.
  in.statusFromRecords = [&engine] { return engine.newStateData(); };
  in.pickRequested = &pickRequested_;
  in.pickResult = [this](uint32_t name) { picked(name); };
  in.pointerLatitude = &pointerLatitude_;
  in.pointerLongitude = &pointerLongitude_;
  in.frameTime = &frameTime_;
  in.drawGroups = [this](const DrawContext& context) { projects_.draw(context); };
  surface_->addDrawCallback(SceneFrame::drawCallback, &scene_);
  surface_->setInteractionHook(&interaction_, onEvent, this);
  surface_->setFrameDrawn([&engine] { engine.frameDrawn(); });
  // The view kept beside the program from the last run.
  if (const auto* exe = static_cast<const char*>(NameRegistry::instance().find("full exe name"))) {
    viewPath_ = viewFilePath(exe);
    camera_.loadView(viewPath_);
  }
}

TrackerView::~TrackerView() {
  Fl::remove_timeout(onPickDrawn, this);
  if (!viewPath_.empty() && !camera_.saveView(viewPath_)) {
    std::fprintf(stderr, "halvex: cannot write the view file %s\n", viewPath_.c_str());
  }
}

void TrackerView::rebuildGraphics() {
  icons_.build(model_.nodeGraphics());
  maps_ = buildMapLayers(model_.mapGraphics());
}

void TrackerView::buildPalette(int x, int y) {
  auto palette = std::make_unique<InteractionToolWindow>(x, y);
  palette->setModeCallback(onToolMode, this);
  interaction_.mode = palette->mode();
  palette_ = std::move(palette);
  palette_->show();
}

void TrackerView::showPalette(bool shown) {
  if (palette_ == nullptr) return;
  if (shown) {
    palette_->show();
  } else {
    palette_->hide();
  }
}

int TrackerView::event(int event) {
  const int mode = interaction_.mode;
  const ViewEventRoute route =
      routeViewEvent(event, mode, Fl::event_shift() != 0, Fl::event_key(' ') != 0);
  if (route.requestPick) {
    pickRequested_ = true;
    surface_->redraw();
  }
  if (route.readPointer) {
    pointerGround(camera_, Fl::event_x(), Fl::event_y(), surface_->w(), surface_->h(),
                  &pointerLatitude_, &pointerLongitude_);
  }
  if (route.toGroups) projects_.mouseEvent(event, mode, pointerLatitude_, pointerLongitude_);
  // Every event counts as used: the view keeps its keys (Escape over the view does not close
  // the tracker) and the drags of a press.
  return 1;
}

void TrackerView::picked(uint32_t name) {
  // The frame is still drawing: questions and the data-set group's answer come after it.
  ++pickPasses_;
  pickedName_ = name;
  Fl::remove_timeout(onPickDrawn, this);
  Fl::add_timeout(0, onPickDrawn, this);
  surface_->redraw();
}

void TrackerView::deliverPick() {
  projects_.pickOrPrompt(pickedName_);
}

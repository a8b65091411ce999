#include "halvex/tracking/kt_map_window.h"

#include <FL/Fl.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Light_Button.H>
#include <FL/Fl_Menu_Bar.H>
#include <FL/Fl_Window.H>
#include <FL/fl_ask.H>
#include <FL/x.H>

#include <cmath>
#include <cstdio>

#include "common/callback_list.h"
#include "common/name_registry.h"
#include "common/platform/mouse_buttons.h"
#include "common/platform/paths.h"
#include "halvex/config/io_definitions.h"
#include "halvex/maps/map_group_handler.h"
#include "halvex/ui/csv_group.h"
#include "halvex/ui/ui_kit.h"
#include "halvex/view/gl_draw_surface.h"
#include "halvex/view/interaction_tool_window.h"
#include "halvex/view/local_state_group.h"
#include "halvex/view/pointer_ground.h"

namespace {

/// Size of the interaction tool window.
/// Longest relative path a file chooser's answer keeps, characters.
constexpr size_t kMaxChosenPath = 255;

/// Widget callback forwarding to one operation of the window in the user data.
template <void (KT_mapWindow::*Operation)()>
void forward(Fl_Widget* /*widget*/, void* window) {
  (static_cast<KT_mapWindow*>(window)->*Operation)();
}

/// A chosen file's name relative to the current directory, at most kMaxChosenPath characters.
std::string relativeToCurrent(const char* chosen) {
  std::string path = chosen != nullptr ? chosen : "";
  const std::string here = currentDirectory() + "/";
  if (path.compare(0, here.size(), here) == 0) path.erase(0, here.size());
  if (path.size() > kMaxChosenPath) path.resize(kMaxChosenPath);
  return path;
}

/// Mouse buttons as any window of the display sees them.
bool mousePressed() {
  return anyMouseButtonDown(fl_display);
}

}  // namespace

KT_mapWindow::KT_mapWindow(const std::string& directory, const std::string& baseName)
    : MainWindowUi(
          [](int x, int y, int w, int h) -> Fl_Widget* { return new glDrawSurface(x, y, w, h); }),
      directory_(directory),
      baseName_(baseName),
      engine_(model_, this) {
  surface_ = static_cast<glDrawSurface*>(drawSurface);
  surface_->setCamera(&camera_);
  projects_ =
      std::make_unique<ProjectManager>(prompts_, [this](int index) { return makeGroup(index); });
  connectScene();
  surface_->setFrameDrawn([this] { engine_.frameDrawn(); });
  // The view kept beside the program from the last run.
  if (const auto* exe = static_cast<const char*>(NameRegistry::instance().find("full exe name"))) {
    viewPath_ = viewFilePath(exe);
    camera_.loadView(viewPath_);
  }
  mainWindow->label(kTitle);
  mainWindow->callback(forward<&KT_mapWindow::menuWindow_>, this);
  fileChooser_ = new Fl_File_Chooser(".", "*", Fl_File_Chooser::SINGLE, "Fl_File_Chooser Test");
  fileChooser_->callback(
      [](Fl_File_Chooser*, void* window) { static_cast<KT_mapWindow*>(window)->fileChosen(); },
      this);
  model_.setListener(this);
  model_.nodes().setBytesPerBuffer(kInitialBufferBytes);
  model_.nodes().setBuffersPerPort(kInitialBuffersPerPort);
  model_.nodes().setIdleThresholds(kDefaultMediumIdle, kDefaultBadIdle);
  model_.settings().mediumIdle = kDefaultMediumIdle;
  model_.settings().badIdle = kDefaultBadIdle;
  bindControls();
  // Until files are read the windows show the settings in force, which every pass pushes back.
  setChoiceItems(tool_.closeChoice, TrackerModel::closeChoiceLabels());
  showSettings();
  inputs_.bytesPerBufferInput->value(kInitialBufferBytes);
  inputs_.buffersPerPortInput->value(kInitialBuffersPerPort);
  outputs_.outputFilePath->value(model_.stateOutput().fileName().c_str());
  outputs_.generationToggle->value(model_.stateOutput().snapshotOn() ? 1 : 0);
  menuItems_ = makeMenuTable(this);
  installMenu(menuItems_.data());
  // Lets the remote-poll timer's thread hand window changes to this thread.
  Fl::lock();
  // Last: the project named in the auto-start file beside the program.
  projects_->openAutoStart(autoStart_);
}

KT_mapWindow::~KT_mapWindow() {
  Fl::remove_timeout(deliverPick, this);
  engine_.stop();
  if (!viewPath_.empty() && !camera_.saveView(viewPath_)) {
    std::fprintf(stderr, "halvex: cannot write the view file %s\n", viewPath_.c_str());
  }
  if (eventTool_) NameRegistry::instance().remove("manu event tool", eventTool_.get());
  mainWindow->hide();
  tool_.window->hide();
  delete palette_;
  delete fileChooser_;
}

void KT_mapWindow::bindControls() {
  filesButton->callback(forward<&KT_mapWindow::showMasterConfigDialog>, this);
  graphicsButton->callback(forward<&KT_mapWindow::showToolWindow>, this);
  inputsButton->callback(forward<&KT_mapWindow::showInputsDialog>, this);
  outputsButton->callback(forward<&KT_mapWindow::showOutputsDialog>, this);

  tool_.targetChoice->callback(forward<&KT_mapWindow::targetChosen>, this);
  tool_.chaseChoice->callback(forward<&KT_mapWindow::chaseChosen>, this);
  tool_.closeChoice->callback(forward<&KT_mapWindow::closeCountChosen>, this);
  tool_.targetIconButton->callback(forward<&KT_mapWindow::targetIconToggled>, this);
  tool_.chaseIconButton->callback(forward<&KT_mapWindow::chaseIconToggled>, this);
  tool_.closeIconButton->callback(forward<&KT_mapWindow::closeIconToggled>, this);
  tool_.navFrameAllButton->callback(forward<&KT_mapWindow::navigationFrameAll>, this);
  tool_.navCenterButton->callback(forward<&KT_mapWindow::navigationCenter>, this);
  tool_.navRoamButton->callback(forward<&KT_mapWindow::navigationRoam>, this);
  tool_.displayAllButton->callback(forward<&KT_mapWindow::displayAllNodes>, this);
  tool_.displayTargetsButton->callback(forward<&KT_mapWindow::displayTargetVehicles>, this);
  tool_.nodeCommentButton->callback(forward<&KT_mapWindow::commentNodeToggled>, this);
  tool_.packetComment1Button->callback(forward<&KT_mapWindow::commentPacket1Toggled>, this);
  tool_.packetComment2Button->callback(forward<&KT_mapWindow::commentPacket2Toggled>, this);
  tool_.gpsCommentButton->callback(forward<&KT_mapWindow::commentGpsToggled>, this);
  tool_.updateButton->callback(forward<&KT_mapWindow::updateTargetLists_>, this);
  tool_.resetButton->callback(forward<&KT_mapWindow::resetTimeStamps>, this);
  tool_.frameRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);

  inputs_.localRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);
  inputs_.remoteRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);
  inputs_.clientRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);
  outputs_.localRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);
  outputs_.clientRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);

  // The input mode buttons exclude each other.
  Fl_Round_Button* modes[] = {inputs_.multicastButton, inputs_.localButton, inputs_.remoteButton,
                              inputs_.clientButton, inputs_.serverButton};
  for (Fl_Round_Button* mode : modes) mode->type(FL_RADIO_BUTTON);
  inputs_.portFileButton->callback(
      [](Fl_Widget*, void* w) {
        auto* self = static_cast<KT_mapWindow*>(w);
        const char* chosen = fl_file_chooser("Select multi cast port file",
                                             "dgc map file (*.mcp)\ttext files (*.txt)", nullptr);
        if (chosen == nullptr) return;
        const std::string path = relativeToCurrent(chosen);
        self->inputs_.portFilePath->value(path.c_str());
        auto hold = self->engine_.holdInputs();
        self->model_.readPortFile(path);
        self->model_.nodes().startReceivers();
      },
      this);
  inputs_.localFileButton->callback(
      [](Fl_Widget*, void* w) {
        const char* chosen = fl_file_chooser("Select state file", "text files (*.txt)", nullptr);
        if (chosen != nullptr) {
          static_cast<KT_mapWindow*>(w)->inputs_.localFilePath->value(
              relativeToCurrent(chosen).c_str());
        }
      },
      this);
  outputs_.outputFileButton->callback(
      [](Fl_Widget*, void* w) {
        auto* self = static_cast<KT_mapWindow*>(w);
        const char* chosen = fl_file_chooser("Select Snapshot file", "text files (*.txt)", nullptr);
        if (chosen == nullptr) return;
        const std::string path = relativeToCurrent(chosen);
        self->model_.stateOutput().setFileName(path.c_str());
        self->outputs_.outputFilePath->value(path.c_str());
      },
      this);
  outputs_.generationToggle->callback(
      [](Fl_Widget* button, void* w) {
        auto* self = static_cast<KT_mapWindow*>(w);
        StateOutput& output = self->model_.stateOutput();
        output.setSnapshot(static_cast<Fl_Light_Button*>(button)->value() != 0);
        self->outputs_.setGenerationLabel(output.toggleLabel().c_str());
      },
      this);
}

// ---- configuration ----

void KT_mapWindow::loadConfiguration(const std::string& path) {
  auto hold = engine_.holdInputs();
  model_.loadConfiguration(path);
}

void KT_mapWindow::nodeListRead() {
  const std::vector<std::string> nodes = model_.nodeChoiceLabels();
  setChoiceItems(tool_.targetChoice, nodes);
  setChoiceItems(tool_.chaseChoice, nodes);
  setChoiceItems(tool_.closeChoice, TrackerModel::closeChoiceLabels());
  // The refilled choices keep showing the target, chase and count in force.
  showSettings();
}

void KT_mapWindow::preferencesRead() {
  showSettings();
}

void KT_mapWindow::showSettings() {
  const TrackingSettings& s = model_.settings();
  const int target = model_.choiceIndexOf(s.targetId);
  const int chase = model_.choiceIndexOf(s.chaseId);
  if (target >= 0) tool_.targetChoice->value(target);
  if (chase >= 0) tool_.chaseChoice->value(chase);
  tool_.closeChoice->value(s.closeCount);
  tool_.targetIconButton->value(s.targetIcon);
  tool_.chaseIconButton->value(s.chaseIcon);
  tool_.closeIconButton->value(s.closeIcon);
  if (s.navigationMode >= 0 && s.navigationMode < 3) chooseNavigation(s.navigationMode);
  if (s.displayMode >= 0 && s.displayMode < 2) chooseDisplay(s.displayMode);
  tool_.nodeCommentButton->value(s.showComment[0]);
  tool_.packetComment1Button->value(s.showComment[1]);
  tool_.packetComment2Button->value(s.showComment[2]);
  tool_.gpsCommentButton->value(s.showComment[3]);
  tool_.mediumIdleInput->value(s.mediumIdle);
  tool_.badIdleInput->value(s.badIdle);
}

void KT_mapWindow::ioDefinitionsRead() {
  const IoDefinitions& io = model_.ioDefinitions();
  Fl_Round_Button* modes[] = {inputs_.multicastButton, inputs_.localButton, inputs_.remoteButton,
                              inputs_.clientButton, inputs_.serverButton};
  for (Fl_Round_Button* mode : modes) mode->value(0);
  modes[static_cast<int>(selectedInputButton(io))]->value(1);
  const OutputButtons outputs = outputButtonsToSet(io);
  if (outputs.localState) outputs_.localStateButton->value(1);
  if (outputs.client) outputs_.clientSendButton->value(1);
  if (outputs.server) outputs_.serverSendButton->value(1);

  inputs_.portFilePath->value(io.multicastPortFile.c_str());
  inputs_.buffersPerPortInput->value(io.multicastBuffersPerPort);
  inputs_.bytesPerBufferInput->value(io.multicastBytesPerBuffer);
  inputs_.localFilePath->value(io.inputLocalStateFile.c_str());
  inputs_.remoteHostInput->value(io.remoteIp.c_str());
  inputs_.remotePortInput->value(io.remotePort);
  inputs_.remoteFileInput->value(io.remoteStateFile.c_str());
  inputs_.clientHostInput->value(io.inputClientIp.c_str());
  inputs_.clientPortInput->value(io.inputClientPort);
  inputs_.serverPortInput->value(io.inputServerPort);

  const StateOutput& output = model_.stateOutput();
  outputs_.outputFilePath->value(output.fileName().c_str());
  outputs_.setGenerationLabel(kStateFileGenerationOffLabel);
  outputs_.setCounterLabel(kStateFileCounterResetLabel);
  outputs_.clientHostInput->value(io.outputClientIp.c_str());
  outputs_.clientPortInput->value(io.outputClientPort);
  outputs_.serverPortInput->value(io.outputServerPort);
}

void KT_mapWindow::connectScene() {
  SceneInputs& in = scene_.inputs();
  in.table = &model_.nodes();
  in.settings = &model_.settings();
  in.icons = &icons_;
  in.maps = &maps_;
  in.camera = &camera_;
  in.follow = &follow_;
  // The loop's tick runs the input step before each redraw request, so the frame has none.
  in.statusFromRecords = [this] { return engine_.newStateData(); };
  in.pickRequested = &pickRequested_;
  in.pickResult = [this](uint32_t name) { picked(name); };
  in.pointerLatitude = &pointerLatitude_;
  in.pointerLongitude = &pointerLongitude_;
  in.frameTime = &frameTime_;
  in.drawGroups = [this](const DrawContext& context) { projects_->draw(context); };
  surface_->addDrawCallback(SceneFrame::drawCallback, &scene_);
  surface_->setInteractionHook(&interaction_, onViewEvent, this);
}

void KT_mapWindow::rebuildGraphics() {
  icons_.build(model_.nodeGraphics());
  maps_ = buildMapLayers(model_.mapGraphics());
}

int KT_mapWindow::viewEvent(int event) {
  if (event == FL_PUSH && interaction_.mode == kDataSetTool && Fl::event_shift()) {
    pickRequested_ = true;
    surface_->redraw();
  }
  // The ground under the pointer at this event, from the view last drawn: the frame's own
  // value may be a frame old, and a drag that ends before the next frame would lose its last
  // stretch.
  if (event == FL_PUSH || event == FL_DRAG || event == FL_RELEASE || event == FL_MOVE) {
    pointerGround(camera_, Fl::event_x(), Fl::event_y(), surface_->w(), surface_->h(),
                  &pointerLatitude_, &pointerLongitude_);
  }
  // The project's groups take the pointer with the map and data-set tools; the space bar keeps
  // it for the camera.
  const int mode = interaction_.mode;
  if (Fl::event_key(' ') == 0 && mode >= kMapEditTool && mode <= kDataSetTool) {
    projects_->mouseEvent(event, mode, pointerLatitude_, pointerLongitude_);
  }
  // Every event counts as used: the view keeps its keys (Escape over the view does not close
  // the tracker) and the drags of a press.
  return 1;
}

void KT_mapWindow::picked(uint32_t name) {
  // The frame is still drawing: questions and the data-set group's answer come after it.
  ++pickPasses_;
  pickedName_ = name;
  Fl::remove_timeout(deliverPick, this);
  Fl::add_timeout(0, deliverPick, this);
  surface_->redraw();
}

void KT_mapWindow::deliverPick(void* window) {
  auto* self = static_cast<KT_mapWindow*>(window);
  // The chosen name goes to the open project's data-set group; without a project the operator
  // is asked to open one.
  if (self->projects_->isOpen()) {
    self->projects_->pick(self->pickedName_);
  } else {
    self->projects_->requireProject();
  }
}

void KT_mapWindow::configurationLoaded() {
  rebuildGraphics();
  const MasterPaths& paths = model_.paths();
  master_.masterPath->value(paths.master.c_str());
  // The dialog's sections, from the top.
  const MasterKey sections[] = {MasterKey::NodeFile,    MasterKey::PortFile,
                                MasterKey::NodeDefFile, MasterKey::MapFile,
                                MasterKey::WWWFile,     MasterKey::PreferenceFile};
  for (int k = 0; k < kMasterKeyCount; ++k) {
    master_.files[k].path->value(paths.file(sections[k]).c_str());
  }
  updateRates();
}

void KT_mapWindow::buildToolPalette() {
  auto* palette = new InteractionToolWindow(mainWindow->x() + mainWindow->w() / 2,
                                            mainWindow->y() + mainWindow->h() / 2);
  palette->setModeCallback(toolModeChanged, this);
  interaction_.mode = palette->mode();
  palette_ = palette;
  palette_->show();
}

void KT_mapWindow::toolModeChanged(int mode, void* window) {
  static_cast<KT_mapWindow*>(window)->interaction_.mode = mode;
}

// ---- the loop ----

void KT_mapWindow::readControls() {
  EngineControls& c = engine_.controls();
  c.inputMode = inputs_.multicastButton->value() ? IoDefinitions::kInputMulticast
                : inputs_.localButton->value()   ? IoDefinitions::kInputLocalState
                : inputs_.remoteButton->value()  ? IoDefinitions::kInputRemoteState
                : inputs_.clientButton->value()  ? IoDefinitions::kInputClient
                : inputs_.serverButton->value()  ? IoDefinitions::kInputServer
                                                 : IoDefinitions::kInputNone;
  c.localStateFile = inputs_.localFilePath->value();
  c.remoteHost = inputs_.remoteHostInput->value();
  c.remotePort = static_cast<int>(inputs_.remotePortInput->clamp(inputs_.remotePortInput->value()));
  c.remotePath = inputs_.remoteFileInput->value();
  c.bytesPerBuffer =
      static_cast<int>(inputs_.bytesPerBufferInput->clamp(inputs_.bytesPerBufferInput->value()));
  c.buffersPerPort =
      static_cast<int>(inputs_.buffersPerPortInput->clamp(inputs_.buffersPerPortInput->value()));
  c.mediumIdle = std::fabs(tool_.mediumIdleInput->value());
  c.badIdle = std::fabs(tool_.badIdleInput->value());
  c.localStateOutput = outputs_.localStateButton->value() != 0;
  c.clientOutput = outputs_.clientSendButton->value() != 0;
  c.displayShown = mainWindow->shown() && mainWindow->visible() && mainWindow->active();
}

void KT_mapWindow::pass() {
  applyRemoteRate();
  readControls();
  engine_.tick();
}

void KT_mapWindow::runLoop() {
  mainWindow->show();
  surface_->show();
  // The dialogs' buffer settings before the receivers start, so that the first pass does not
  // stop them for a restart.
  readControls();
  model_.nodes().setBytesPerBuffer(engine_.controls().bytesPerBuffer);
  model_.nodes().setBuffersPerPort(engine_.controls().buffersPerPort);
  engine_.start();
  if (!eventTool_) {
    eventTool_ = std::make_unique<CallbackList>();
    NameRegistry::instance().add("manu event tool", eventTool_.get());
  }
  bool pressed = mousePressed();
  while (!quit_) {
    pass();
    const double wait = engine_.waitSeconds();
    if (wait < 0) {
      Fl::wait();
    } else {
      Fl::wait(wait);
    }
    const bool now = mousePressed();
    if (now != pressed) {
      pressed = now;
      eventTool_->fire(now ? 1 : 0);
    }
  }
  engine_.stop();
}

void KT_mapWindow::idleControlsShown(bool shown) {
  Fl_Widget* controls[] = {tool_.mediumIdleInput, tool_.badIdleInput};
  for (Fl_Widget* control : controls) {
    if (shown) {
      control->show();
    } else {
      control->hide();
    }
  }
}

void KT_mapWindow::remoteRateShown(bool shown) {
  remoteRateVisible_ = shown;
  // Only wakes the loop, which applies it: a queued callback could outlive this window.
  Fl::awake();
}

void KT_mapWindow::applyRemoteRate() {
  Fl_Widget* choice = inputs_.remoteRateChoice;
  if (remoteRateVisible_ && !choice->visible()) {
    choice->show();
  } else if (!remoteRateVisible_ && choice->visible()) {
    choice->hide();
  }
}

void KT_mapWindow::redrawRequested() {
  surface_->redraw();
}

void KT_mapWindow::framesWritten(long /*count*/) {
  outputs_.setCounterLabel(model_.stateOutput().counterLabel().c_str());
}

// ---- operations ----

void KT_mapWindow::menuWindow_() {
  quitAsked();
}

void KT_mapWindow::quitAsked() {
  // A project with unsaved changes asks first, as closing it from the menu does.
  if (projects_->modified()) {
    projects_->closeAsked();
    if (projects_->isOpen()) return;
  }
  quit_ = true;
}

void KT_mapWindow::toggleToolWindow() {
  if (tool_.window->shown()) {
    tool_.window->hide();
  } else {
    tool_.window->show();
  }
}

void KT_mapWindow::fileChosen() {
  const char* first = fileChooser_->value(1);
  (void)first;  // read, nothing more
}

void KT_mapWindow::close_() {
  quitAsked();
}

void KT_mapWindow::showToolWindow() {
  tool_.window->show();
}
void KT_mapWindow::showMasterConfigDialog() {
  master_.window->show();
}
void KT_mapWindow::showInputsDialog() {
  inputs_.window->show();
}
void KT_mapWindow::showOutputsDialog() {
  outputs_.window->show();
}

void KT_mapWindow::targetChosen() {
  const NodeRecord* node = model_.nodes().nodeAt(tool_.targetChoice->value());
  if (node != nullptr) model_.settings().targetId = node->id;
}

void KT_mapWindow::chaseChosen() {
  const NodeRecord* node = model_.nodes().nodeAt(tool_.chaseChoice->value());
  if (node != nullptr) model_.settings().chaseId = node->id;
}

void KT_mapWindow::closeCountChosen() {
  model_.settings().closeCount = tool_.closeChoice->value();
}

void KT_mapWindow::targetIconToggled() {
  model_.settings().targetIcon = tool_.targetIconButton->value() != 0;
}
void KT_mapWindow::chaseIconToggled() {
  model_.settings().chaseIcon = tool_.chaseIconButton->value() != 0;
}
void KT_mapWindow::closeIconToggled() {
  model_.settings().closeIcon = tool_.closeIconButton->value() != 0;
}

void KT_mapWindow::chooseNavigation(int mode) {
  Fl_Button* buttons[] = {tool_.navFrameAllButton, tool_.navCenterButton, tool_.navRoamButton};
  for (int k = 0; k < 3; ++k) buttons[k]->value(k == mode ? 1 : 0);
  model_.settings().navigationMode = mode;
}

void KT_mapWindow::chooseDisplay(int mode) {
  Fl_Button* buttons[] = {tool_.displayAllButton, tool_.displayTargetsButton};
  for (int k = 0; k < 2; ++k) buttons[k]->value(k == mode ? 1 : 0);
  model_.settings().displayMode = mode;
}

void KT_mapWindow::navigationFrameAll() {
  chooseNavigation(0);
}
void KT_mapWindow::navigationCenter() {
  chooseNavigation(1);
}
void KT_mapWindow::navigationRoam() {
  chooseNavigation(2);
}
void KT_mapWindow::displayAllNodes() {
  chooseDisplay(0);
}
void KT_mapWindow::displayTargetVehicles() {
  chooseDisplay(1);
}

void KT_mapWindow::commentNodeToggled() {
  model_.settings().showComment[0] = tool_.nodeCommentButton->value() != 0;
}
void KT_mapWindow::commentPacket1Toggled() {
  model_.settings().showComment[1] = tool_.packetComment1Button->value() != 0;
}
void KT_mapWindow::commentPacket2Toggled() {
  model_.settings().showComment[2] = tool_.packetComment2Button->value() != 0;
}
void KT_mapWindow::commentGpsToggled() {
  model_.settings().showComment[3] = tool_.gpsCommentButton->value() != 0;
}

void KT_mapWindow::updateRates() {
  engine_.setRateChoice(SlotScheduler::kDisplay, tool_.frameRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kLocalInput, inputs_.localRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kRemoteInput, inputs_.remoteRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kClientInput, inputs_.clientRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kLocalOutput, outputs_.localRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kClientOutput, outputs_.clientRateChoice->value());
  engine_.updateRates();
}

void KT_mapWindow::updateTargetLists_() {
  std::printf("updateTargetLists_\n");
}

void KT_mapWindow::resetTimeStamps() {
  NodeTable& nodes = model_.nodes();
  auto hold = engine_.holdInputs();
  nodes.stopReceivers();
  TrackingSettings& settings = model_.settings();
  const int navigation = settings.navigationMode;
  settings.navigationMode = 2;
  const MasterPaths& paths = model_.paths();
  model_.readNodeList(paths.file(MasterKey::NodeFile));
  model_.readPortFile(paths.file(MasterKey::PortFile));
  model_.attachNodeGraphics();
  engine_.setNewStateData(false);
  nodes.startReceivers();
  settings.navigationMode = navigation;
}

// ---- menu ----

void KT_mapWindow::menuCommand(MenuCommand command) {
  ProjectManager& p = *projects_;
  switch (command) {
    case MenuCommand::kLoadProject:
      p.loadProject();
      break;
    case MenuCommand::kNewProject:
      p.newProject();
      break;
    case MenuCommand::kLoadLocalStream:
      if (auto* g = dynamic_cast<LocalStateGroup*>(groupOrPrompt(kLocalStateGroup))) {
        g->loadStateFile();
      }
      break;
    case MenuCommand::kNewLocalStream:
      if (auto* g = dynamic_cast<LocalStateGroup*>(groupOrPrompt(kLocalStateGroup))) {
        g->newStateFileLocation();
      }
      break;
    case MenuCommand::kNewCsvDataSet:
      if (auto* g = dynamic_cast<CsvGroup*>(groupOrPrompt(kCsvGroup))) g->newDataSet();
      break;
    case MenuCommand::kLoadMap:
      if (auto* g = dynamic_cast<KT_mapGroupHandler*>(groupOrPrompt(kMapGroup))) {
        g->addMapsFromChooser();
      }
      break;
    case MenuCommand::kSaveProject:
      p.saveProject();
      break;
    case MenuCommand::kSaveProjectAs:
      p.saveProjectAs();
      break;
    case MenuCommand::kSetAutoStart:
      p.setAutoStart(autoStart_);
      break;
    case MenuCommand::kClearAutoStart:
      autoStart_.clear();
      break;
    case MenuCommand::kCloseProject:
      p.closeAsked();
      break;
    case MenuCommand::kShowToolPalette:
      if (palette_ != nullptr) palette_->show();
      break;
    case MenuCommand::kHideToolPalette:
      if (palette_ != nullptr) palette_->hide();
      break;
  }
}

ProjectGroup* KT_mapWindow::groupOrPrompt(int index) {
  // Without a project the operator is offered to open or create one instead; the operation
  // itself is chosen again once the project is there.
  if (!projects_->isOpen()) {
    projects_->requireProject();
    return nullptr;
  }
  return projects_->group(index);
}

std::unique_ptr<ProjectGroup> KT_mapWindow::makeGroup(int index) {
  switch (index) {
    case kMapGroup:
      return std::make_unique<KT_mapGroupHandler>(&camera_);
    case kLocalStateGroup:
      return std::make_unique<LocalStateGroup>(prompts_);
    case kCsvGroup:
      return std::make_unique<CsvGroup>(prompts_);
    default:
      return nullptr;  // a base group
  }
}

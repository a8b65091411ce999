#include "halvex/app/kt_map_window.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>
#include <FL/Fl_Window.H>
#include <unistd.h>

#include <cstdio>

#include "common/name_registry.h"
#include "common/platform/install_layout.h"
#include "halvex/maps/map_raster.h"
#include "halvex/maps/picture_limit.h"

namespace {

/// The map graphics file of the world map, in the shared data folder.
constexpr const char* kWorldMapsFile = "world-maps.txt";
/// View width (degrees) that shows the whole world map.
constexpr double kWorldWidth = 360;

/// Widget callback forwarding to one operation of the window in the user data.
template <void (KT_mapWindow::*Operation)()>
void forward(Fl_Widget* /*widget*/, void* window) {
  (static_cast<KT_mapWindow*>(window)->*Operation)();
}

}  // namespace

KT_mapWindow::KT_mapWindow(const std::string& directory, const std::string& baseName)
    : MainWindowUi(
          [](int x, int y, int w, int h) -> Fl_Widget* { return new glDrawSurface(x, y, w, h); }),
      projects_(camera_),
      directory_(directory),
      baseName_(baseName),
      engine_(model_, this),
      history_(model_, engine_),
      tool_(model_, engine_),
      dialogs_(model_, engine_),
      feeds_(engine_, [this] { dialogs_.clearInputModes(); }),
      historyWindow_(history_),
      dataSets_(model_, history_, [this] { redrawRequested(); }),
      view_(static_cast<glDrawSurface*>(drawSurface), camera_, model_, engine_,
            projects_.manager()) {
  mainWindow->label(kTitle);
  mainWindow->callback(forward<&KT_mapWindow::menuWindow_>, this);
  fileChooser_ = new Fl_File_Chooser(".", "*", Fl_File_Chooser::SINGLE, "Fl_File_Chooser Test");
  fileChooser_->callback(
      [](Fl_File_Chooser*, void* window) { static_cast<KT_mapWindow*>(window)->fileChosen(); },
      this);
  model_.setListener(this);
  projects_.setPickHandler([this](uint32_t name) { dataSets_.picked(name); });
  model_.ports().setBytesPerBuffer(kInitialBufferBytes);
  model_.ports().setBuffersPerPort(kInitialBuffersPerPort);
  model_.nodes().setIdleThresholds(kDefaultMediumIdle, kDefaultBadIdle);
  model_.settings().mediumIdle = kDefaultMediumIdle;
  model_.settings().badIdle = kDefaultBadIdle;
  bindControls();
  // Until files are read the windows show the settings in force, which every pass pushes back.
  tool_.showSettings();
  dialogs_.showSettings();
  menuItems_ = makeMenuTable(this);
  installMenu(menuItems_.data());
  showLabelDeclutter();
  // Lets other threads hand window changes to this thread.
  Fl::lock();
}

KT_mapWindow::~KT_mapWindow() {
  engine_.stop();
  mainWindow->hide();
  tool_.ui().window->hide();
  delete fileChooser_;
}

void KT_mapWindow::bindControls() {
  filesButton->callback(forward<&KT_mapWindow::showMasterConfigDialog>, this);
  graphicsButton->callback(forward<&KT_mapWindow::showToolWindow>, this);
  inputsButton->callback(forward<&KT_mapWindow::showInputsDialog>, this);
  outputsButton->callback(forward<&KT_mapWindow::showOutputsDialog>, this);

  ToolWindowUi& tool = tool_.ui();
  tool.targetChoice->callback(forward<&KT_mapWindow::targetChosen>, this);
  tool.chaseChoice->callback(forward<&KT_mapWindow::chaseChosen>, this);
  tool.closeChoice->callback(forward<&KT_mapWindow::closeCountChosen>, this);
  tool.targetIconButton->callback(forward<&KT_mapWindow::targetIconToggled>, this);
  tool.chaseIconButton->callback(forward<&KT_mapWindow::chaseIconToggled>, this);
  tool.closeIconButton->callback(forward<&KT_mapWindow::closeIconToggled>, this);
  tool.navFrameAllButton->callback(forward<&KT_mapWindow::navigationFrameAll>, this);
  tool.navCenterButton->callback(forward<&KT_mapWindow::navigationCenter>, this);
  tool.navRoamButton->callback(forward<&KT_mapWindow::navigationRoam>, this);
  tool.displayAllButton->callback(forward<&KT_mapWindow::displayAllNodes>, this);
  tool.displayTargetsButton->callback(forward<&KT_mapWindow::displayTargetVehicles>, this);
  tool.nodeCommentButton->callback(forward<&KT_mapWindow::commentNodeToggled>, this);
  tool.packetComment1Button->callback(forward<&KT_mapWindow::commentPacket1Toggled>, this);
  tool.packetComment2Button->callback(forward<&KT_mapWindow::commentPacket2Toggled>, this);
  tool.gpsCommentButton->callback(forward<&KT_mapWindow::commentGpsToggled>, this);
  tool.updateButton->callback(forward<&KT_mapWindow::updateTargetLists_>, this);
  tool.resetButton->callback(forward<&KT_mapWindow::resetTimeStamps>, this);
  tool.frameRateChoice->callback(forward<&KT_mapWindow::updateRates>, this);

  Fl_Widget* rateChoices[] = {inputsDialog().localRateChoice, inputsDialog().remoteRateChoice,
                              inputsDialog().clientRateChoice, outputsDialog().localRateChoice,
                              outputsDialog().clientRateChoice};
  for (Fl_Widget* choice : rateChoices) choice->callback(forward<&KT_mapWindow::updateRates>, this);
}

// ---- configuration ----

void KT_mapWindow::loadConfiguration(const std::string& path) {
  auto hold = engine_.holdInputs();
  model_.loadConfiguration(path);
}

void KT_mapWindow::openStartProject(const std::string& projectPath) {
  if (projectPath.empty()) {
    projects_.openAutoStart();
  } else {
    projects_.manager().openPath(projectPath);
  }
  // Without a configuration or a project the view opens on the world map, not on grey.
  if (model_.paths().master.empty() && !projects_.manager().isOpen()) showWorldMap();
}

void KT_mapWindow::showWorldMap() {
  const auto* exe = static_cast<const char*>(NameRegistry::instance().find("full exe name"));
  if (exe == nullptr) return;
  model_.readMapGraphics(sharedDataDir(exe) + "/" + kWorldMapsFile);
  view_.rebuildGraphics();
  // A first start, without a view kept from the last run, shows the whole world.
  if (view_.viewPath().empty() || ::access(view_.viewPath().c_str(), F_OK) != 0) {
    camera_.setCenter(0, 0);
    camera_.setExtent(kWorldWidth);
  }
}

void KT_mapWindow::nodeListRead() {
  tool_.showNodeChoices();
}

void KT_mapWindow::preferencesRead() {
  tool_.showSettings();
  showLabelDeclutter();
}

void KT_mapWindow::ioDefinitionsRead() {
  const IoDefinitions& io = model_.ioDefinitions();
  setMapPictureLimit(io.mapMaxMegapixels * kPixelsPerMegapixel);
  setRasterTextureBudget(io.mapTextureBudgetMB > 0 ? size_t(io.mapTextureBudgetMB) << 20 : 0);
  dialogs_.showIoDefinitions();
  feeds_.showIoDefinitions(model_.ioDefinitions());
}

void KT_mapWindow::configurationLoaded() {
  view_.rebuildGraphics();
  dialogs_.showMasterPaths();
  updateRates();
}

void KT_mapWindow::buildToolPalette() {
  view_.buildPalette(mainWindow->x() + mainWindow->w() / 2, mainWindow->y() + mainWindow->h() / 2);
}

// ---- the loop ----

void KT_mapWindow::readControls() {
  EngineControls& controls = engine_.controls();
  dialogs_.readControls(controls);
  feeds_.readControls(controls);
  tool_.readControls(controls);
  controls.displayShown = mainWindow->shown() && mainWindow->visible() && mainWindow->active();
}

void KT_mapWindow::pass() {
  dialogs_.applyRemoteRate();
  readControls();
  engine_.tick();
  // The project's data set: its path and column lines as the project has them now, then what
  // the watch read meanwhile.
  dataSets_.follow(projects_.csvGroup());
  if (dataSets_.pass()) redrawRequested();
}

void KT_mapWindow::runLoop() {
  mainWindow->show();
  surface()->show();
  readControls();
  engine_.startWithControls();
  loop_.run(engine_, [this] { pass(); });
  engine_.stop();
}

void KT_mapWindow::idleControlsShown(bool shown) {
  tool_.showIdleControls(shown);
}

void KT_mapWindow::remoteRateShown(bool shown) {
  dialogs_.remoteRateShown(shown);
}

void KT_mapWindow::redrawRequested() {
  surface()->redraw();
}

void KT_mapWindow::framesWritten(long /*count*/) {
  dialogs_.showFrameCount();
}

// ---- operations ----

void KT_mapWindow::menuWindow_() {
  quitAsked();
}

void KT_mapWindow::quitAsked() {
  if (projects_.manager().closeForQuit()) loop_.quit();
}

void KT_mapWindow::toggleToolWindow() {
  tool_.toggleShown();
}

void KT_mapWindow::fileChosen() {
  const char* first = fileChooser_->value(1);
  (void)first;  // read, nothing more
}

void KT_mapWindow::close_() {
  quitAsked();
}

void KT_mapWindow::showToolWindow() {
  toolWindow().window->show();
}
void KT_mapWindow::showMasterConfigDialog() {
  masterConfigDialog().window->show();
}
void KT_mapWindow::showInputsDialog() {
  inputsDialog().window->show();
}
void KT_mapWindow::showOutputsDialog() {
  outputsDialog().window->show();
}

void KT_mapWindow::targetChosen() {
  tool_.targetChosen();
}
void KT_mapWindow::chaseChosen() {
  tool_.chaseChosen();
}
void KT_mapWindow::closeCountChosen() {
  tool_.closeCountChosen();
}
void KT_mapWindow::targetIconToggled() {
  tool_.targetIconToggled();
}
void KT_mapWindow::chaseIconToggled() {
  tool_.chaseIconToggled();
}
void KT_mapWindow::closeIconToggled() {
  tool_.closeIconToggled();
}

void KT_mapWindow::navigationFrameAll() {
  tool_.chooseNavigation(0);
}
void KT_mapWindow::navigationCenter() {
  tool_.chooseNavigation(1);
}
void KT_mapWindow::navigationRoam() {
  tool_.chooseNavigation(2);
}
void KT_mapWindow::displayAllNodes() {
  tool_.chooseDisplay(0);
}
void KT_mapWindow::displayTargetVehicles() {
  tool_.chooseDisplay(1);
}

void KT_mapWindow::commentNodeToggled() {
  tool_.commentToggled(ToolWindowBinding::kNodeLabel);
}
void KT_mapWindow::commentPacket1Toggled() {
  tool_.commentToggled(ToolWindowBinding::kPacket1Label);
}
void KT_mapWindow::commentPacket2Toggled() {
  tool_.commentToggled(ToolWindowBinding::kPacket2Label);
}
void KT_mapWindow::commentGpsToggled() {
  tool_.commentToggled(ToolWindowBinding::kGpsLabel);
}

void KT_mapWindow::updateRates() {
  tool_.chooseRate();
  dialogs_.chooseRates();
  engine_.updateRates();
}

void KT_mapWindow::updateTargetLists_() {
  std::printf("updateTargetLists_\n");
}

void KT_mapWindow::resetTimeStamps() {
  engine_.resetTimeStamps();
}

// ---- menu ----

void KT_mapWindow::menuCommand(MenuCommand command) {
  if (command == MenuCommand::kShowToolPalette || command == MenuCommand::kHideToolPalette) {
    view_.showPalette(command == MenuCommand::kShowToolPalette);
  } else if (command == MenuCommand::kToggleLabelDeclutter) {
    labelDeclutterToggled();
  } else if (command == MenuCommand::kShowHistory) {
    historyWindow_.show();
  } else if (command == MenuCommand::kShowFieldReports) {
    dataSets_.show();
  } else if (command == MenuCommand::kShowNetworkFeeds) {
    feeds_.show();
  } else {
    projects_.command(command);
  }
}

void KT_mapWindow::labelDeclutterToggled() {
  bool& on = model_.settings().labelDeclutter;
  on = !on;
  showLabelDeclutter();
  redrawRequested();
}

void KT_mapWindow::showLabelDeclutter() {
  Fl_Menu_Item* item = findMenuItem(menuItems_, MenuCommand::kToggleLabelDeclutter);
  if (item == nullptr) return;
  if (model_.settings().labelDeclutter) {
    item->set();
  } else {
    item->clear();
  }
}

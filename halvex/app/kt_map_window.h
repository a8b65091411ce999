// The tracker's central object: the main window with its menu and settings windows, the model
// they show, and the loop that paces inputs, outputs and drawing.
#pragma once

#include <string>
#include <vector>

#include "halvex/app/data_set_binding.h"
#include "halvex/app/history_binding.h"
#include "halvex/app/io_dialogs_binding.h"
#include "halvex/app/menu_table.h"
#include "halvex/app/network_feeds_binding.h"
#include "halvex/app/tool_window_binding.h"
#include "halvex/app/tracker_projects.h"
#include "halvex/app/tracker_view.h"
#include "halvex/app/window_loop.h"
#include "halvex/core/tracker_defaults.h"
#include "halvex/engine/history_session.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"
#include "halvex/gl/view_camera.h"
#include "halvex/ui/main_window_ui.h"
#include "halvex/view/view_event_route.h"

class Fl_File_Chooser;
class Fl_Window;

/// The main window object. It owns the model, the engine and every window, binds the controls
/// to its operations (the virtual operations below, in the order the windows' controls use
/// them) and hands each to the part that does the work: the tool window's and the dialogs'
/// bindings, the projects, the view and the loop.
class KT_mapWindow : public MainWindowUi,
                     public TrackerModel::Listener,
                     public EngineView,
                     public MenuCommands {
 public:
  /// Title of the main window.
  static constexpr const char* kTitle =
      "Kestrane / Polvarin: Wayloom:  Version 0.15 - Mon Sep 12 11:40:05 2005";
  /// Receive buffer settings before any file is read.
  static constexpr int kInitialBufferBytes = tracker_defaults::kStartBufferBytes;
  static constexpr int kInitialBuffersPerPort = tracker_defaults::kStartBuffersPerPort;
  /// Idle thresholds before any preferences are read, s.
  static constexpr double kDefaultMediumIdle = tracker_defaults::kStartMediumIdle;
  static constexpr double kDefaultBadIdle = tracker_defaults::kStartBadIdle;
  /// Interaction tool modes whose events go to the project's groups: map editing (1), the map
  /// group's other mode (2) and data-set picking (3).
  static constexpr int kMapEditTool = kMapEditToolMode;
  static constexpr int kDataSetTool = kDataSetToolMode;
  /// Text of the prompt for operations that need an open project.
  static constexpr const char* kProjectRequired = ProjectManager::kProjectRequired;

  /// Builds every window (hidden) for the configuration in `directory` named `baseName`.
  KT_mapWindow(const std::string& directory, const std::string& baseName);
  /// Hides the windows, stops the engine and the receivers and saves the view.
  virtual ~KT_mapWindow();

  /// Builds the interaction tool window at the main window's centre and shows it.
  void buildToolPalette();
  /// Reads the master configuration file and every file it names into the windows.
  void loadConfiguration(const std::string& path);
  /// Opens the project at `projectPath`, or the one the auto-start file names when it is empty;
  /// with neither a configuration nor a project open then, shows the world map.
  void openStartProject(const std::string& projectPath);
  /// Reads the world map's map graphics file from the shared data folder into the view, which
  /// frames the whole world unless a view was kept from the last run.
  void showWorldMap();
  /// Shows the windows, starts the inputs and runs the loop until quit is set.
  void runLoop();
  /// One pass of the loop without waiting: controls read, engine step, redraw request.
  void pass();

  // Operations bound to the windows' controls, in the order of the windows' callbacks.
  virtual void menuWindow_();
  virtual void toggleToolWindow();
  virtual void fileChosen();
  virtual void close_();
  virtual void showToolWindow();
  virtual void showMasterConfigDialog();
  virtual void showInputsDialog();
  virtual void showOutputsDialog();
  virtual void targetChosen();
  virtual void chaseChosen();
  virtual void closeCountChosen();
  virtual void targetIconToggled();
  virtual void chaseIconToggled();
  virtual void closeIconToggled();
  virtual void navigationFrameAll();
  virtual void navigationCenter();
  virtual void navigationRoam();
  virtual void displayAllNodes();
  virtual void displayTargetVehicles();
  virtual void commentNodeToggled();
  virtual void commentPacket1Toggled();
  virtual void commentPacket2Toggled();
  virtual void commentGpsToggled();
  virtual void updateRates();
  virtual void updateTargetLists_();
  virtual void resetTimeStamps();
  /// Turns the label declutter of the view on or off ("view", "label declutter").
  virtual void labelDeclutterToggled();

  TrackerModel& model() { return model_; }
  TrackerEngine& engine() { return engine_; }
  /// Recording and replay.
  HistorySession& history() { return history_; }
  /// The "History" window, which drives history().
  HistoryBinding& historyWindow() { return historyWindow_; }
  /// The project's field reports: the "Field reports" window and the report popup.
  DataSetBinding& dataSets() { return dataSets_; }
  /// The "Network feeds" window: the MQTT output and input.
  NetworkFeedsBinding& networkFeeds() { return feeds_; }
  ProjectManager& projects() { return projects_.manager(); }
  ToolWindowUi& toolWindow() { return tool_.ui(); }
  InputsDialogUi& inputsDialog() { return dialogs_.inputs(); }
  OutputsDialogUi& outputsDialog() { return dialogs_.outputs(); }
  MasterConfigDialogUi& masterConfigDialog() { return dialogs_.master(); }
  /// The interaction tool window: navigation, data-set picking and map editing.
  Fl_Window* toolPalette() { return view_.palette(); }
  glDrawSurface* surface() { return view_.surface(); }
  ViewCamera& camera() { return camera_; }
  SceneFrame& scene() { return view_.scene(); }
  /// The interaction tool's mode as the view sees it (0: the camera takes the mouse).
  InteractionTool& interactionTool() { return view_.interaction(); }
  /// Ground position under the pointer at the last frame, degrees.
  double pointerLatitude() const { return view_.pointerLatitude(); }
  double pointerLongitude() const { return view_.pointerLongitude(); }
  /// Picking passes run so far.
  long pickPasses() const { return view_.pickPasses(); }
  /// The .view file read at construction and written at destruction (empty: none).
  const std::string& viewPath() const { return view_.viewPath(); }
  bool quit() const { return loop_.quitSet(); }

  // TrackerModel::Listener: a file was read, the windows follow.
  void nodeListRead() override;
  void preferencesRead() override;
  void ioDefinitionsRead() override;
  void configurationLoaded() override;

  // EngineView: what the engine asks of the windows.
  void idleControlsShown(bool shown) override;
  void remoteRateShown(bool shown) override;
  void redrawRequested() override;
  void framesWritten(long count) override;

  // MenuCommands.
  void menuCommand(MenuCommand command) override;

 private:
  /// Binds every control's callback to its operation.
  void bindControls();
  /// Copies what the windows show into the engine's controls, as every pass does.
  void readControls();
  /// Ends the loop, unless the operator keeps a project with unsaved changes open.
  void quitAsked();
  /// Checks the "label declutter" menu item when the setting is on.
  void showLabelDeclutter();

  ViewCamera camera_;         ///< Created first: the surface and the scene draw through it.
  TrackerProjects projects_;  ///< The open project, its prompts and the auto-start file.
  std::string directory_;
  std::string baseName_;
  TrackerModel model_;
  TrackerEngine engine_;
  HistorySession history_;               ///< After the engine it drives.
  std::vector<Fl_Menu_Item> menuItems_;  ///< The window's own copy of the menu table.
  ToolWindowBinding tool_;
  IoDialogsBinding dialogs_;
  NetworkFeedsBinding feeds_;     ///< After the dialogs whose input mode it shares.
  HistoryBinding historyWindow_;  ///< After the session it drives.
  DataSetBinding dataSets_;       ///< After the model and the session it reads.
  Fl_File_Chooser* fileChooser_ = nullptr;
  TrackerView view_;
  WindowLoop loop_;
};

// The tracker's central object: the main window with its menu and settings windows, the model
// they show, and the loop that paces inputs, outputs and drawing.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "halvex/app/tracker_engine.h"
#include "halvex/config/auto_start.h"
#include "halvex/config/project_manager.h"
#include "halvex/maps/map_layer.h"
#include "halvex/tracking/menu_table.h"
#include "halvex/tracking/tracker_model.h"
#include "halvex/ui/inputs_dialog.h"
#include "halvex/ui/main_window_ui.h"
#include "halvex/ui/master_config_dialog.h"
#include "halvex/ui/outputs_dialog.h"
#include "halvex/ui/project_prompts_fltk.h"
#include "halvex/ui/tool_window.h"
#include "halvex/view/follow_frame.h"
#include "halvex/view/gl_draw_surface.h"
#include "halvex/view/node_icon.h"
#include "halvex/view/scene.h"
#include "halvex/view/view_camera.h"

class CallbackList;
class Fl_File_Chooser;
class Fl_Window;
class MapLayer;

/// The main window object. It owns the model, the engine and every window, binds the controls
/// to its operations (the virtual operations below, in the order the windows' controls use
/// them), fills the windows when configuration files are read, and runs the main loop.
class KT_mapWindow : public MainWindowUi,
                     public TrackerModel::Listener,
                     public EngineView,
                     public MenuCommands {
 public:
  /// Title of the main window.
  static constexpr const char* kTitle =
      "Kestrane / Polvarin: Wayloom:  Version 0.15 - Mon Sep 12 11:40:05 2005";
  /// Receive buffer settings before any file is read.
  static constexpr int kInitialBufferBytes = 200;
  static constexpr int kInitialBuffersPerPort = 50;
  /// Idle thresholds before any preferences are read, s.
  static constexpr double kDefaultMediumIdle = 2.0;
  static constexpr double kDefaultBadIdle = 4.0;
  /// Interaction tool modes whose events go to the project's groups: map editing (1), the map
  /// group's other mode (2) and data-set picking (3).
  static constexpr int kMapEditTool = 1;
  static constexpr int kDataSetTool = 3;
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

  TrackerModel& model() { return model_; }
  TrackerEngine& engine() { return engine_; }
  ProjectManager& projects() { return *projects_; }
  ToolWindowUi& toolWindow() { return tool_; }
  InputsDialogUi& inputsDialog() { return inputs_; }
  OutputsDialogUi& outputsDialog() { return outputs_; }
  MasterConfigDialogUi& masterConfigDialog() { return master_; }
  /// The interaction tool window: navigation, data-set picking and map editing.
  Fl_Window* toolPalette() { return palette_; }
  glDrawSurface* surface() { return surface_; }
  ViewCamera& camera() { return camera_; }
  SceneFrame& scene() { return scene_; }
  /// The interaction tool's mode as the view sees it (0: the camera takes the mouse).
  InteractionTool& interactionTool() { return interaction_; }
  /// Ground position under the pointer at the last frame, degrees.
  double pointerLatitude() const { return pointerLatitude_; }
  double pointerLongitude() const { return pointerLongitude_; }
  /// Picking passes run so far.
  long pickPasses() const { return pickPasses_; }
  /// The .view file read at construction and written at destruction (empty: none).
  const std::string& viewPath() const { return viewPath_; }
  bool quit() const { return quit_; }

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
  /// Copies what the dialogs show into the engine's controls, as every pass does.
  void readControls();
  /// Shows the tracking settings in the tool window.
  void showSettings();
  /// Ends the loop, unless the operator keeps a project with unsaved changes open.
  void quitAsked();
  /// The open project's group `index`; without a project, the project-required choice and null.
  ProjectGroup* groupOrPrompt(int index);
  /// Makes the project's group `index` for a project being opened or created.
  std::unique_ptr<ProjectGroup> makeGroup(int index);
  /// Sets navigation mode `mode` (0 to 2) and only its button.
  void chooseNavigation(int mode);
  /// Sets display mode `mode` (0 or 1) and only its button.
  void chooseDisplay(int mode);
  /// Shows or hides the remote rate choice as the remote-poll timer last asked.
  void applyRemoteRate();
  /// Hands the scene what it draws from and reports to.
  void connectScene();
  /// Rebuilds the node icons and map layers from the graphics files last read.
  void rebuildGraphics();
  /// The view's events after its own handling: picking requests and the project's groups.
  static int onViewEvent(int event, void* window) {
    return static_cast<KT_mapWindow*>(window)->viewEvent(event);
  }
  int viewEvent(int event);
  /// The name a picking pass chose; handed on once the frame is drawn.
  void picked(uint32_t name);
  static void deliverPick(void* window);
  /// The interaction tool window's mode changed.
  static void toolModeChanged(int mode, void* window);

  ViewCamera camera_;           ///< Created first: the surface and the scene draw through it.
  FltkProjectPrompts prompts_;  ///< Questions, messages and choosers of the project operations.
  AutoStartFile autoStart_;     ///< Beside the program: the project opened at start.
  std::unique_ptr<ProjectManager> projects_;
  std::string viewPath_;
  std::string directory_;
  std::string baseName_;
  TrackerModel model_;
  TrackerEngine engine_;
  std::vector<Fl_Menu_Item> menuItems_;  ///< The window's own copy of the menu table.
  ToolWindowUi tool_;
  InputsDialogUi inputs_;
  OutputsDialogUi outputs_;
  MasterConfigDialogUi master_;
  Fl_File_Chooser* fileChooser_ = nullptr;
  Fl_Window* palette_ = nullptr;
  glDrawSurface* surface_ = nullptr;
  bool quit_ = false;
  std::atomic<bool> remoteRateVisible_{true};  ///< Asked by the timer's thread, applied here.
  std::unique_ptr<CallbackList> eventTool_;    ///< "manu event tool", registered while alive.
  SceneFrame scene_;
  NodeIconSet icons_;                            ///< From the node graphics file.
  std::vector<std::unique_ptr<MapLayer>> maps_;  ///< From the map graphics file.
  FollowState follow_;
  InteractionTool interaction_;
  bool pickRequested_ = false;  ///< Set by a shift-click with the data-set tool.
  uint32_t pickedName_ = 0;     ///< Chosen by the last picking pass, not yet handed on.
  long pickPasses_ = 0;         ///< Picking passes run so far.
  double pointerLatitude_ = 0;
  double pointerLongitude_ = 0;
  int64_t frameTime_ = 0;  ///< Counter value at the end of the last frame.
};

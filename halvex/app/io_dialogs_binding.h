// The inputs, outputs and master configuration dialogs bound to the model and the engine: the
// input mode and its files, hosts and buffers, the outputs and the state file generation, the
// rate choices, and the paths of the configuration files.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>

#include "halvex/ui/inputs_dialog.h"
#include "halvex/ui/master_config_dialog.h"
#include "halvex/ui/outputs_dialog.h"

class TrackerEngine;
class TrackerModel;
struct EngineControls;

/// Owns the three dialogs. Their choosers and the generation toggle act at once; the other
/// controls are read every pass into the engine's controls.
class IoDialogsBinding {
 public:
  /// Longest relative path a chooser's answer keeps, characters.
  static constexpr size_t kMaxChosenPath = 255;

  /// Builds the dialogs, hidden, with the input mode buttons excluding each other.
  IoDialogsBinding(TrackerModel& model, TrackerEngine& engine);

  InputsDialogUi& inputs() { return inputs_; }
  OutputsDialogUi& outputs() { return outputs_; }
  MasterConfigDialogUi& master() { return master_; }

  /// Shows the buffer settings and the state output in force before any file is read.
  void showSettings();
  /// Shows the input/output definitions just read.
  void showIoDefinitions();
  /// Shows the paths of the master configuration file and the files it named.
  void showMasterPaths();
  /// Copies what the dialogs show into the engine's controls; with no mode button set the
  /// input mode reads none (another window chose it).
  void readControls(EngineControls& controls) const;
  /// Clears every input mode button: an input mode chosen outside the dialog holds.
  void clearInputModes();
  /// Hands the input and output rate choices to the engine.
  void chooseRates();
  /// Asks for the remote rate choice shown or hidden; any thread may ask. Wakes the loop, which
  /// applies it with applyRemoteRate.
  void remoteRateShown(bool shown);
  void applyRemoteRate();
  /// Shows the state output's frame counter.
  void showFrameCount();

 private:
  static void onPortFileButton(Fl_Widget*, void* self) {
    static_cast<IoDialogsBinding*>(self)->choosePortFile();
  }
  static void onLocalFileButton(Fl_Widget*, void* self) {
    static_cast<IoDialogsBinding*>(self)->chooseLocalFile();
  }
  static void onOutputFileButton(Fl_Widget*, void* self) {
    static_cast<IoDialogsBinding*>(self)->chooseOutputFile();
  }
  static void onGenerationToggle(Fl_Widget*, void* self) {
    static_cast<IoDialogsBinding*>(self)->generationToggled();
  }
  /// The input mode buttons, multicast to server.
  using ModeButtons = std::array<Fl_Round_Button*, 5>;
  ModeButtons modeButtons() const;
  /// Loads the chosen multicast port file and starts its receivers.
  void choosePortFile();
  void chooseLocalFile();
  /// The chosen file becomes the state output's file.
  void chooseOutputFile();
  void generationToggled();

  TrackerModel& model_;
  TrackerEngine& engine_;
  InputsDialogUi inputs_;
  OutputsDialogUi outputs_;
  MasterConfigDialogUi master_;
  std::atomic<bool> remoteRateVisible_{true};  ///< Asked by the timer's thread, applied here.
};

#include "halvex/app/io_dialogs_binding.h"

#include <FL/Fl.H>
#include <FL/Fl_File_Chooser.H>

#include <string>

#include "common/platform/paths.h"
#include "halvex/engine/tracker_engine.h"
#include "halvex/engine/tracker_model.h"

namespace {

/// Asks for a file; false when none is chosen. `path` gets the answer relative to the current
/// directory when it lies below it, at most IoDialogsBinding::kMaxChosenPath characters.
bool chooseFile(const char* title, const char* filter, std::string& path) {
  const char* chosen = fl_file_chooser(title, filter, nullptr);
  if (chosen == nullptr) return false;
  path = relativeToCurrentDirectory(chosen, RelativeSteps::kBelowOnly);
  if (path.size() > IoDialogsBinding::kMaxChosenPath) path.resize(IoDialogsBinding::kMaxChosenPath);
  return true;
}

}  // namespace

IoDialogsBinding::IoDialogsBinding(TrackerModel& model, TrackerEngine& engine)
    : model_(model), engine_(engine) {
  for (Fl_Round_Button* mode : modeButtons()) mode->type(FL_RADIO_BUTTON);
  inputs_.portFileButton->callback(onPortFileButton, this);
  inputs_.localFileButton->callback(onLocalFileButton, this);
  outputs_.outputFileButton->callback(onOutputFileButton, this);
  outputs_.generationToggle->callback(onGenerationToggle, this);
}

IoDialogsBinding::ModeButtons IoDialogsBinding::modeButtons() const {
  return {inputs_.multicastButton, inputs_.localButton, inputs_.remoteButton, inputs_.clientButton,
          inputs_.serverButton};
}

void IoDialogsBinding::clearInputModes() {
  for (Fl_Round_Button* mode : modeButtons()) mode->value(0);
}

void IoDialogsBinding::choosePortFile() {
  std::string path;
  if (!chooseFile("Select multi cast port file", "dgc map file (*.mcp)\ttext files (*.txt)",
                  path)) {
    return;
  }
  inputs_.portFilePath->value(path.c_str());
  engine_.reloadPortFile(path);
}

void IoDialogsBinding::chooseLocalFile() {
  std::string path;
  if (chooseFile("Select state file", "text files (*.txt)", path)) {
    inputs_.localFilePath->value(path.c_str());
  }
}

void IoDialogsBinding::chooseOutputFile() {
  std::string path;
  if (!chooseFile("Select Snapshot file", "text files (*.txt)", path)) return;
  model_.stateOutput().setFileName(path.c_str());
  outputs_.outputFilePath->value(path.c_str());
}

void IoDialogsBinding::generationToggled() {
  StateOutput& output = model_.stateOutput();
  output.setSnapshot(outputs_.generationToggle->value() != 0);
  outputs_.setGenerationLabel(output.toggleLabel().c_str());
}

void IoDialogsBinding::showSettings() {
  inputs_.bytesPerBufferInput->value(model_.ports().bufferBytes());
  inputs_.buffersPerPortInput->value(model_.ports().buffersPerPort());
  outputs_.outputFilePath->value(model_.stateOutput().fileName().c_str());
  outputs_.generationToggle->value(model_.stateOutput().snapshotOn() ? 1 : 0);
}

void IoDialogsBinding::showIoDefinitions() {
  const IoDefinitions& io = model_.ioDefinitions();
  const ModeButtons modes = modeButtons();
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

  outputs_.outputFilePath->value(model_.stateOutput().fileName().c_str());
  outputs_.setGenerationLabel(kStateFileGenerationOffLabel);
  outputs_.setCounterLabel(kStateFileCounterResetLabel);
  outputs_.clientHostInput->value(io.outputClientIp.c_str());
  outputs_.clientPortInput->value(io.outputClientPort);
  outputs_.serverPortInput->value(io.outputServerPort);
}

void IoDialogsBinding::showMasterPaths() {
  const MasterPaths& paths = model_.paths();
  master_.masterPath->value(paths.master.c_str());
  // The dialog's sections, from the top (the CoT uid table has none: the master file names it).
  const MasterKey sections[] = {MasterKey::NodeFile,    MasterKey::PortFile,
                                MasterKey::NodeDefFile, MasterKey::MapFile,
                                MasterKey::WWWFile,     MasterKey::PreferenceFile};
  int k = 0;
  for (const MasterKey key : sections) master_.files[k++].path->value(paths.file(key).c_str());
}

void IoDialogsBinding::readControls(EngineControls& c) const {
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
  c.localStateOutput = outputs_.localStateButton->value() != 0;
  c.clientOutput = outputs_.clientSendButton->value() != 0;
}

void IoDialogsBinding::chooseRates() {
  engine_.setRateChoice(SlotScheduler::kLocalInput, inputs_.localRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kRemoteInput, inputs_.remoteRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kClientInput, inputs_.clientRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kLocalOutput, outputs_.localRateChoice->value());
  engine_.setRateChoice(SlotScheduler::kClientOutput, outputs_.clientRateChoice->value());
}

void IoDialogsBinding::remoteRateShown(bool shown) {
  remoteRateVisible_ = shown;
  // Only wakes the loop, which applies it: a queued callback could outlive this window.
  Fl::awake();
}

void IoDialogsBinding::applyRemoteRate() {
  Fl_Widget* choice = inputs_.remoteRateChoice;
  if (remoteRateVisible_ && !choice->visible()) {
    choice->show();
  } else if (!remoteRateVisible_ && choice->visible()) {
    choice->hide();
  }
}

void IoDialogsBinding::showFrameCount() {
  outputs_.setCounterLabel(model_.stateOutput().counterLabel().c_str());
}

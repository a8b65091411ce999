// Progress of loads that run while the view draws (map images, icons): a status line, the share
// of a load done and whether the loading screen shows. The program attaches a sink; without one
// every call does nothing, so the model and the view never depend on the window that shows the
// progress.
#pragma once

/// Receives load progress. Calls come from the GUI thread only.
class LoadStatusSink {
 public:
  virtual ~LoadStatusSink() = default;
  /// Whether the sink can show anything now.
  virtual bool open() const = 0;
  /// Sets the status text.
  virtual void status(const char* text) = 0;
  /// Brings the loading screen up, on top.
  virtual void show() = 0;
  /// Takes the loading screen down; its next showing starts without a measured share.
  virtual void hide() = 0;
  /// Sets the share of the current load done, 0 to 100, for the loading screen's bar.
  virtual void progress(int /*percent*/) {}
};

/// Attaches the sink (null detaches). The caller keeps it alive while attached.
void setLoadStatusSink(LoadStatusSink* sink);
/// Whether a sink is attached and open.
bool loadStatusOpen();
/// Sets the status text.
void loadStatus(const char* text);
/// Asks for the loading screen.
void loadStatusShow();
/// Asks for the loading screen to go.
void loadStatusHide();
/// Sets the share of the current load done, 0 to 100.
void loadProgress(int percent);

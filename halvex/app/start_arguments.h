// The tracker's command line, read before anything is created: help, version, the headless
// tracker, the splash process, or the windowed tracker with a configuration or a project.
#pragma once

#include <string>

#include "halvex/engine/history_options.h"

/// What one start of the program does.
enum class StartAction {
  kHelp,        ///< prints kStartUsage on standard output and ends
  kVersion,     ///< prints the program's name and version and ends
  kHeadless,    ///< runs the tracker without a window, on the arguments after "--headless"
  kSplash,      ///< is the splash process of another tracker (first argument "TeSt...")
  kWindow,      ///< runs the windowed tracker
  kUsageError,  ///< a wrong option: the message and the usage go to standard error (exit 2)
};

/// The decision on one command line.
struct StartArguments {
  StartAction action = StartAction::kWindow;
  /// kWindow: the master configuration file as given; empty for none (no argument, a first
  /// argument beginning with "-", or a project).
  std::string configPath;
  /// kWindow: the project to open, when the first argument ends in ".mpr" (any case) or the
  /// argument after the configuration does; empty opens the auto-start project.
  std::string projectPath;
  /// kSplash: the tag that names the tracker's shared memory and semaphore (may be empty).
  std::string splashTag;
  /// kWindow: recording and replay asked for before the configuration.
  HistoryOptions history;
  /// kUsageError: what was wrong.
  std::string error;
};

/// The windowed tracker's usage text, printed by --help.
extern const char kStartUsage[];

/// Classifies argv: "--help", "--version" and "--headless" as the first argument, the splash
/// argument, and otherwise the windowed tracker: history options (--record, --replay, ...) first,
/// then a configuration or a project path taken from the next argument, any other argument
/// beginning with "-" there meaning neither.
StartArguments classifyStartArguments(int argc, const char* const* argv);

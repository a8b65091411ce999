// The command-line options of recording and replay, shared by the windowed and headless tracker.
#pragma once

#include <cstdint>
#include <string>

class HistorySession;

/// What the command line asks of the history.
struct HistoryOptions {
  std::string recordPath;  ///< --record FILE: record into FILE.
  int recordMaxMB = 0;     ///< --record-max-mb N: roll over to a numbered file past N MiB.
  std::string replayPath;  ///< --replay FILE: replay FILE instead of the live inputs.
  double speed = 1;        ///< --speed X: replay speed, 0.25 to 64.
  int64_t fromMs = 0;      ///< --from TIME: replay from TIME (UTC ms; 0 for the start).
};

/// Their help text, for the usage texts.
extern const char kHistoryOptionsHelp[];

/// Takes the option at argv[k] with its value when it is a history option, advancing k past the
/// value. Returns 1 when taken, 0 when argv[k] is no history option, and -1 with a message in
/// `error` when its value is missing or wrong.
int takeHistoryOption(int argc, const char* const* argv, int& k, HistoryOptions& options,
                      std::string* error);

/// Checks the options together (replay and record at once is refused: a replay is not input).
bool checkHistoryOptions(const HistoryOptions& options, std::string* error);

/// Starts the recording and the replay the options name. Returns false with a message when one
/// cannot start.
bool startHistory(const HistoryOptions& options, HistorySession& session, std::string* error);

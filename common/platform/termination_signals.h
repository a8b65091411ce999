// Termination requests (SIGINT, SIGTERM) taken as events that a loop waits for.
#pragma once

#include <signal.h>

/// Blocks SIGINT and SIGTERM in the calling thread, and so in every thread it starts later, so
/// that they end a loop's wait instead of the process. Construct it before any thread starts;
/// the previous signal mask comes back on destruction.
class TerminationSignals {
 public:
  TerminationSignals();
  TerminationSignals(const TerminationSignals&) = delete;
  TerminationSignals& operator=(const TerminationSignals&) = delete;
  ~TerminationSignals();

  /// Waits at most `seconds` (negative: without limit) for a termination signal. Returns true
  /// when one has arrived, now or earlier.
  bool wait(double seconds);
  /// Whether a termination signal has arrived (checks without waiting).
  bool received() { return wait(0.0); }
  /// The signal that arrived, or 0.
  int signalNumber() const { return signal_; }

 private:
  sigset_t set_;
  sigset_t previous_;
  int signal_ = 0;
};

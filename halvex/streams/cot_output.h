// Sending the node table as Cursor on Target events to a multicast group: one event per node
// whenever it changed, at most one per node per output period.
#pragma once

#include <memory>
#include <string>

#include "common/platform/wall_clock.h"
#include "halvex/config/cot_settings.h"
#include "halvex/tracking/fix_listener.h"

class NodeTable;

/// "halvex.SITE.": how the uids of the events sent with `settings` begin, SITE being
/// settings.site or, when that is empty, the host name.
std::string cotUidPrefix(const CotSettings& settings);

/// The CoT output. The loop's thread tells it of fixes (as a FixListener) and calls period() at
/// every output period; a thread of its own sends the staged events, spread over part of the
/// period. Only the newest event of each node waits, so what waits is bounded by the node ids.
class CotOutput : public FixListener {
 public:
  CotOutput();
  /// Stops the sending thread and closes the socket.
  ~CotOutput() override;
  CotOutput(const CotOutput&) = delete;
  CotOutput& operator=(const CotOutput&) = delete;

  /// Opens the socket to the group of `settings` and starts sending, under the uids of
  /// cotUidPrefix(settings); the last event of every node staged before goes out again. False
  /// with a reason when the socket cannot be opened.
  bool start(const CotSettings& settings, std::string* error);
  void stop();
  bool running() const;

  /// Notes the fix: the node changed, and its last two fixes give its course and speed. Loop
  /// thread.
  void fixAccepted(const FixEvent& fix) override;
  /// One output period at `now`: stages the event of every node whose fix, status, comments or
  /// name changed since its last event, stale `lostSeconds` after the fix time (a lost node's
  /// already passed). With `relayed` each node's stored status is taken as it is instead of
  /// being computed at `now`. Loop thread; never waits on the network.
  void period(const NodeTable& table, const WallTime& now, bool relayed, double lostSeconds);

  /// cotUidPrefix of the last successful start, empty before (any thread).
  std::string uidPrefix() const;
  /// For the operator and the tests (any thread): "sending to GROUP:PORT ttl N; N sent, N
  /// waiting", "stopped", or why the last start failed.
  std::string status() const;
  long sent() const;     ///< Events sent.
  long failed() const;   ///< Events the socket refused.
  long waiting() const;  ///< Events staged and not yet sent.

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

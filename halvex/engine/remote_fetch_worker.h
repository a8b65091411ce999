// The thread that fetches the remote state for the loop: name lookup, connection and the whole
// response happen there, so that a slow server or resolver never holds the loop. The records come
// back held in a result, which the loop applies to the node table itself.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "halvex/streams/remote_state.h"

/// One fetch at a time on a thread of its own, started by the first request. Every member may be
/// called from any thread; none waits for a fetch in flight (stop() waits a bounded time).
class RemoteFetchWorker {
 public:
  struct Request {
    std::string host;  ///< A name or dotted address.
    int port = 0;
    std::string path;
    long generation = 0;  ///< The caller's inputs generation, handed back with the result.
  };

  struct Result {
    long generation = 0;     ///< As requested.
    bool connected = false;  ///< The connection was made (see fetchRemoteState).
    int refresh = 0;         ///< The server's refresh value, s; 0 when it gave none.
    RemoteRecords records;   ///< What the response held, to be applied.
  };

  /// Longest wait of stop() for the thread, ms: a fetch ends within its 100 ms cancel step once
  /// it reads a response; a thread still inside a name lookup or connect after this is left to
  /// finish on its own (it touches nothing but its own state).
  static constexpr int kStopWaitMs = 250;

  RemoteFetchWorker() = default;
  RemoteFetchWorker(const RemoteFetchWorker&) = delete;
  RemoteFetchWorker& operator=(const RemoteFetchWorker&) = delete;
  /// Stops the thread.
  ~RemoteFetchWorker();

  /// Hands `request` to the thread, starting one when none runs. False, dropping the request,
  /// while another is waiting or in flight (or when no thread can be started).
  bool post(Request request);
  /// The result of the last fetch that ended, if not taken yet (an older untaken one is gone).
  std::optional<Result> take();
  /// Whether a request is waiting or in flight.
  bool busy() const;
  /// Fetches ended so far, cancelled ones included.
  long fetches() const { return fetches_->load(); }

  /// Drops a waiting request and ends the fetch in flight within 100 ms (its result, with what
  /// came before, is still delivered).
  void cancelCurrent();
  /// While on, every fetch ends as soon as it has connected and sent its request.
  void setStopping(bool on);
  /// Cancels what is waiting or in flight and ends the thread, waiting at most kStopWaitMs. A
  /// later post() starts a new thread.
  void stop();

 private:
  struct State;
  /// Thread body: fetches each request posted to `state` until it is told to quit.
  static void run(const std::shared_ptr<State>& state);

  mutable std::mutex mutex_;      ///< Guards the members below; never held across a fetch.
  std::shared_ptr<State> state_;  ///< The running thread's state; null when none runs.
  std::thread thread_;
  bool stopping_ = false;
  /// Shared with every thread, so that a thread left to finish still counts its fetch.
  std::shared_ptr<std::atomic<long>> fetches_ = std::make_shared<std::atomic<long>>(0);
};

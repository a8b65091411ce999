// A TCP client of one server that streams bytes: connecting (name lookup included),
// reconnecting with back-off and reading all run on a thread of the client's own, so no caller
// ever waits on the network.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>

/// Reads "HOST:PORT" (the host may be a name, a dotted IPv4 address or a bracketed IPv6 one)
/// into `host` and `port`. False for anything else, a port outside 1..65535 included.
bool splitHostPort(const std::string& text, std::string* host, int* port);

/// A client of one server. Handlers run on the client's thread and must not block for long,
/// nor call stop(). An outage is said once on standard error ("halvex: NAME: cannot reach
/// HOST:PORT (REASON); retrying", "halvex: NAME: connection to HOST:PORT lost; retrying") and
/// its end too ("halvex: NAME: connected to HOST:PORT").
///
/// All members may be called from any thread.
class StreamClient {
 public:
  /// Back-off between connection attempts, s: doubles from the first to the last.
  static constexpr int kFirstRetrySeconds = 1;
  static constexpr int kLastRetrySeconds = 30;
  /// Longest wait for a server to accept, s; a silent address is then given up as unreachable.
  static constexpr int kConnectTimeoutSeconds = 10;
  /// Bytes read at most per call of the data handler.
  static constexpr size_t kReadBytes = 64 * 1024;

  /// Called with (data, bytes) for every piece of the stream as it arrives.
  using DataHandler = std::function<void(const char* data, size_t bytes)>;
  /// Called after every successful connection, before its first bytes: a new stream starts.
  using ConnectHandler = std::function<void()>;

  StreamClient();
  /// Stops the thread.
  ~StreamClient();
  StreamClient(const StreamClient&) = delete;
  StreamClient& operator=(const StreamClient&) = delete;

  /// Set before start().
  void setDataHandler(DataHandler handler);
  void setConnectHandler(ConnectHandler handler);
  /// Names the client in the operator's messages ("CoT input").
  void setName(std::string name);

  /// Starts connecting to "HOST:PORT" in the background and returns at once. False, with a
  /// one-line reason in `error`, when `hostPort` does not read or no thread can be made.
  bool start(const std::string& hostPort, std::string* error);
  /// Shuts the connection down so a blocked call returns, and joins the thread; no handler runs
  /// once this returns. Never waits on a name lookup: a thread inside one is left to end by
  /// itself, calling no handler. start() may be called again.
  void stop();

  bool running() const;
  bool connected() const;
  /// "HOST:PORT" as given to start(), empty before.
  std::string hostPort() const;

 private:
  struct Session;
  struct State;
  std::unique_ptr<State> state_;
};

// A network endpoint: UDP or TCP, client or server, re-opened after a failure, and a
// multi-client TCP server whose clients each run in a thread of their own.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "common/platform/binary_semaphore.h"
#include "halvex/net/kf_sub_socket.h"

class KF_SSubSocket;
class KF_Socket;

/// Serves one accepted client of a multi-client server. `connection` is the client's
/// connection (passed twice, as the callers of this family expect); `user` is the pointer given
/// to openTcpServer. The client is closed and destroyed when the callback returns.
using KF_ClientCallback = void (*)(KF_SubSocket* connection, KF_SubSocket* same, void* user);

/// One endpoint. Every open operation closes an open endpoint first and returns 1 on success,
/// 0 on failure; diagnostics go to standard output.
class KF_Socket : public KF_SubSocket {
 public:
  /// Endpoint kinds; the last one opened is kept across a close so that reopen() knows it.
  /// kConnected: a socket connected elsewhere and taken over by openConnected, which cannot be
  /// reopened.
  enum Mode {
    kNone = 0,
    kUdpServer = 1,
    kUdpClient = 2,
    kTcpServer = 3,
    kTcpClient = 4,
    kConnected = 5
  };

  KF_Socket();
  /// Stops the listening loop and every client thread, and closes every socket. Must not run in
  /// one of the endpoint's own client callbacks.
  virtual ~KF_Socket();

  int send(const char* data, int length, int mode) override;
  /// On a datagram endpoint one datagram per call; empty datagrams are dropped rather than read
  /// as 0, which would mean "nothing waiting" or "closed".
  int receive(char* buffer, int length, int waitMode) override;

  /// Connects a UDP socket to host (a name or a dotted address) and port.
  virtual int openUdpClient(const char* host, int port, int blocking);
  /// Binds a UDP socket to port on every local address.
  virtual int openUdpServer(int port, int blocking);
  /// Connects a TCP socket to host and port.
  virtual int openTcpClient(const char* host, int port, int blocking);
  /// Without a callback: waits for one client and serves it on this endpoint. With one: runs the
  /// listening loop that gives every client a thread running the callback (in the calling
  /// thread when blocking, else in a new thread, returning at once).
  virtual int openTcpServer(int port, int blocking, KF_ClientCallback callback, void* user);
  /// Serves the connected socket `fd` (one end of a socket pair, for instance), taking it over:
  /// a datagram or a stream endpoint as the socket is. Fails, leaving `fd` to the caller, when
  /// it is no datagram or stream socket.
  virtual int openConnected(int fd, int blocking);
  /// Ends a listening loop, closes every socket and destroys every client; the mode is kept.
  /// Called from a client callback, it ends the loop and every client connection, and each
  /// client is destroyed when its callback returns.
  virtual void close();
  /// Ends the listening loop and waits until it has finished; clients already served go on. May
  /// be called from any thread, a client callback included.
  virtual void stopListening();
  /// Opens again what the mode says, after a failure.
  virtual int reopen();
  /// Whether the endpoint is connected or bound.
  virtual int isOpen();

  /// Limits every connect, send and receive of the sockets opened from now on to `ms`
  /// milliseconds (0, the default: no limit), so that a peer that stalls fails the call.
  void setTimeout(int ms) { timeoutMs_ = ms > 0 ? ms : 0; }

  /// Waits at most `ms` milliseconds until data (or the end of the stream) can be received.
  /// Returns 1 when it can, 0 on time-out, -1 when the endpoint is not open or the wait fails.
  int waitReadable(int ms);

  int mode() const { return mode_; }
  /// Port the endpoint is bound or connected to locally (0 when none), for tests and servers
  /// opened on port 0.
  int localPort() const;
  /// Endpoints constructed and not yet destroyed.
  static int liveCount();

 private:
  friend class KF_SSubSocket;

  /// Accepts clients until stopped, giving each a thread of its own (multi-client server).
  void blockLoopNlisten();
  /// A new socket of `type` with the endpoint's time limit applied; -1 on failure.
  int newLimitedSocket(int type) const;
  /// Shared open of the UDP (datagram) and TCP (stream) clients.
  int openClient(const char* host, int port, int blocking, bool udp);
  /// Makes the data socket for `mode_` again from the stored address; 1 on success.
  int makeDataSocket();
  /// Sets the stop flag and wakes a listening loop blocked in accept.
  void wakeListener();
  /// Waits until a listening loop has ended, joins its thread and closes the listening socket.
  void endListening();
  /// Destroys every client connection, waiting for the threads that serve them. Called from a
  /// client callback, it only ends every connection and returns false.
  bool closeClients();
  /// Joins the threads of clients that have destroyed themselves.
  void joinFinishedClients();

  /// Bytes waiting on `fd` for a poll, with the poll diagnostics: -1 on error, 0 when none. On
  /// a `datagram` socket, empty datagrams at the head of the queue are received and dropped.
  static int bytesWaiting(int fd, bool datagram = false);
  /// One receive on `fd`, first waiting for data when `waitFirst` (a non-blocking socket asked
  /// to block); retried when interrupted.
  static int receiveOnce(int fd, char* buffer, int length, bool waitFirst);
  /// One send on `fd` that never raises SIGPIPE; 0 when a non-blocking socket is full.
  static int sendOnce(int fd, const char* data, int length);
  /// Whether the peer of `fd` has closed with nothing left to read, after a short wait.
  static bool streamEnded(int fd);

  /// A stream's end as streamEnded tells it; a datagram socket has none, so it only waits
  /// briefly for data.
  bool endOfStream() override;

  int dataSocket_ = -1;
  bool datagram_ = false;  ///< The data socket is a datagram (UDP) socket.
  BinarySemaphore lock_;   ///< Held while a listening loop runs.
  std::thread listener_;
  std::mutex listenerMutex_;  ///< Guards listener_ and the closing of the listening socket.
  std::atomic<int> listenSocket_{-1};
  KF_SSubSocket* clientHead_ = nullptr;
  KF_SSubSocket* clientTail_ = nullptr;
  std::mutex clientsMutex_;            ///< Guards the client list and finished_.
  std::vector<std::thread> finished_;  ///< Threads of clients gone by themselves, to be joined.
  KF_ClientCallback callback_ = nullptr;
  void* user_ = nullptr;
  int open_ = 0;
  int mode_ = kNone;
  sockaddr_in address_{};
  int blocking_ = 1;
  int timeoutMs_ = 0;  ///< Connect, send and receive limit, ms; 0 for none.
  std::atomic<bool> accepting_{true};
  std::atomic<bool> stop_{false};
};

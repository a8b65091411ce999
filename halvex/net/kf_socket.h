// A network endpoint: UDP or TCP, client or server, re-opened after a failure, and a
// multi-client TCP server whose clients each run in a thread of their own.
#pragma once

#include <netinet/in.h>

#include <atomic>
#include <mutex>
#include <thread>

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
  enum Mode { kNone = 0, kUdpServer = 1, kUdpClient = 2, kTcpServer = 3, kTcpClient = 4 };

  KF_Socket();
  /// Stops the listening loop and every client thread, and closes every socket.
  virtual ~KF_Socket();

  int send(const char* data, int length, int mode) override;
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
  /// Closes every socket and every client; the mode is kept.
  virtual void close();
  /// Ends the listening loop and waits until it has finished.
  virtual void stopListening();
  /// Opens again what the mode says, after a failure.
  virtual int reopen();
  /// Whether the endpoint is connected or bound.
  virtual int isOpen();

  int mode() const { return mode_; }
  /// Port the endpoint is bound or connected to locally (0 when none), for tests and servers
  /// opened on port 0.
  int localPort() const;
  /// Live Windows-style start-up count: endpoints constructed and not yet destroyed.
  static int liveCount();

 private:
  friend class KF_SSubSocket;
  // Implementation fields follow the member list of the class description; see kf_socket.cpp.
  int dataSocket_ = -1;
  BinarySemaphore lock_;
  std::thread listener_;
  std::atomic<int> listenSocket_{-1};
  KF_SSubSocket* clientHead_ = nullptr;
  KF_SSubSocket* clientTail_ = nullptr;
  std::mutex clientsMutex_;
  KF_ClientCallback callback_ = nullptr;
  void* user_ = nullptr;
  int open_ = 0;
  int mode_ = kNone;
  sockaddr_in address_{};
  int blocking_ = 1;
  std::atomic<bool> accepting_{true};
  std::atomic<bool> stop_{false};
};

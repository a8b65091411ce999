// The connection to one client of a multi-client TCP server, served in a thread of its own.
#pragma once

#include <thread>

#include "halvex/net/kf_socket.h"
#include "halvex/net/kf_sub_socket.h"

/// One accepted client. Created by the owner's listening loop and linked at the head of the
/// owner's client list; destroyed by its own thread when the client callback returns, or by the
/// owner when the owner is closed or destroyed.
class KF_SSubSocket final : public KF_SubSocket {
 public:
  /// Sends once on the client's socket; 0 when nothing could be sent (the socket stays open).
  int send(const char* data, int length, int mode) override;
  /// Receives once from the client's socket: wait modes as the owner's, without a re-open.
  int receive(char* buffer, int length, int waitMode) override;

  /// The client's dotted address ("" when unknown) and port.
  const char* peerAddress() const { return address_ != nullptr ? address_ : ""; }
  int peerPort() const { return port_; }

 private:
  friend class KF_Socket;

  /// Takes over `socket` and links itself into `owner`'s list; the caller holds the list lock.
  KF_SSubSocket(int socket, KF_Socket* owner);
  /// Stops the thread if there still is one, closes the socket and unlinks from the owner.
  ~KF_SSubSocket();

  /// Records the client's address and port and reports the connection.
  void setPeer(const char* address, int port);
  /// Starts the thread that runs the client callback; false when no thread could be made. The
  /// caller holds the list lock.
  bool start();
  /// Thread body: serves the client, then destroys the connection unless the owner does.
  void run();
  /// Removes this connection from the owner's list; the caller holds the list lock.
  void unlinkLocked();

  bool endOfStream() override { return KF_Socket::streamEnded(socket_); }

  int socket_ = -1;
  std::thread thread_;
  KF_Socket* owner_ = nullptr;
  KF_ClientCallback callback_ = nullptr;
  void* user_ = nullptr;
  char* address_ = nullptr;
  int port_ = 0;
  KF_SSubSocket* previous_ = nullptr;
  KF_SSubSocket* next_ = nullptr;
  int blocking_ = 1;         ///< The owner's blocking flag, for wait mode 2.
  bool linked_ = false;      ///< In the owner's list.
  bool ownerJoins_ = false;  ///< The owner is closing: it joins the thread and destroys this.
};

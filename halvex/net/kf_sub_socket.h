// One connection that can send and receive: the common face of endpoints and served clients.
#pragma once

#include <cstddef>

/// An open connection. Wait modes of receive: 0 poll (return 0 when nothing waits), 1 block,
/// 2 the endpoint's own blocking flag.
class KF_SubSocket {
 public:
  KF_SubSocket() = default;
  KF_SubSocket(const KF_SubSocket&) = delete;
  KF_SubSocket& operator=(const KF_SubSocket&) = delete;

  /// Sends `length` bytes once. Returns the count sent, or 0 when nothing could be sent.
  virtual int send(const char* data, int length, int mode) = 0;
  /// Receives at most `length` bytes once: the count, 0 at orderly close or when a poll finds
  /// nothing, -1 on error.
  virtual int receive(char* buffer, int length, int waitMode) = 0;
  /// Receives until `length` bytes have arrived; -1 when a receive fails. Returns fewer bytes
  /// when the peer closes the connection first.
  virtual int receiveAll(char* buffer, int length, int waitMode);

 protected:
  ~KF_SubSocket() = default;

 private:
  /// After a receive of 0: waits briefly for data and tells whether the peer has closed (so
  /// receiveAll stops instead of polling a finished connection for ever).
  virtual bool endOfStream() { return false; }
};

// The send socket of a multicast output: datagrams to one IPv4 group and port.
#pragma once

#include <netinet/in.h>

#include <cstddef>

/// A UDP socket sending to one multicast group, closed with the object. Loopback is on, so a
/// receiver on the same host hears what is sent.
class MulticastSender {
 public:
  static constexpr int kMaxTtl = 255;  ///< Largest IP_MULTICAST_TTL.
  /// Send buffer asked for, bytes (the kernel may give less): a period's events leave in slices
  /// that must not stall on a full buffer.
  static constexpr int kSendBufferBytes = 4 * 1024 * 1024;

  MulticastSender() = default;
  ~MulticastSender();
  MulticastSender(const MulticastSender&) = delete;
  MulticastSender& operator=(const MulticastSender&) = delete;

  /// Opens the socket for the dotted IPv4 multicast `group` and UDP `port` (1 to 65535) with
  /// `ttl` hops (0 to kMaxTtl), closing any socket held before. False with errno set when the
  /// socket cannot be made or an argument is wrong (EINVAL).
  bool open(const char* group, int port, int ttl);
  /// Sends `bytes` bytes at `data` as one datagram. False with errno set when it was not sent.
  bool send(const char* data, size_t bytes);
  void close();
  bool isOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
  sockaddr_in group_{};  ///< Where datagrams go.
};

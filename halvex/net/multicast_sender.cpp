#include "halvex/net/multicast_sender.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int kMaxPort = 65535;

}  // namespace

MulticastSender::~MulticastSender() {
  close();
}

bool MulticastSender::open(const char* group, int port, int ttl) {
  close();
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  if (group == nullptr || ::inet_pton(AF_INET, group, &to.sin_addr) != 1 ||
      !IN_MULTICAST(ntohl(to.sin_addr.s_addr)) || port < 1 || port > kMaxPort || ttl < 0 ||
      ttl > kMaxTtl) {
    errno = EINVAL;
    return false;
  }
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  const unsigned char hops = static_cast<unsigned char>(ttl);
  const unsigned char loop = 1;
  const int buffer = kSendBufferBytes;
  // A smaller send buffer than asked for is no failure.
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  if (::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &hops, sizeof hops) != 0 ||
      ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) != 0) {
    const int problem = errno;
    ::close(fd);
    errno = problem;
    return false;
  }
  group_ = to;
  fd_ = fd;
  return true;
}

bool MulticastSender::send(const char* data, size_t bytes) {
  if (fd_ < 0) {
    errno = EBADF;
    return false;
  }
  ssize_t sent;
  do {
    sent = ::sendto(fd_, data, bytes, 0, reinterpret_cast<const sockaddr*>(&group_), sizeof group_);
  } while (sent < 0 && errno == EINTR);
  return sent == static_cast<ssize_t>(bytes);
}

void MulticastSender::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

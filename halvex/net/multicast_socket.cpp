#include "halvex/net/multicast_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

int openMulticastReceiver(const char* group, long port) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  // Only the group joined here: two ports on one port number with different groups must not
  // receive each other's packets.
  const int off = 0;
  ::setsockopt(fd, IPPROTO_IP, IP_MULTICAST_ALL, &off, sizeof off);

  sockaddr_in local{};
  local.sin_family = AF_INET;
  local.sin_addr.s_addr = htonl(INADDR_ANY);
  local.sin_port = htons(static_cast<uint16_t>(port));
  ::bind(fd, reinterpret_cast<const sockaddr*>(&local), sizeof local);

  // Receive only: join on the default interface; an unparsable group joins nothing.
  ip_mreq membership{};
  membership.imr_interface.s_addr = htonl(INADDR_ANY);
  if (group != nullptr && ::inet_pton(AF_INET, group, &membership.imr_multiaddr) == 1) {
    ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership);
  }
  return fd;
}

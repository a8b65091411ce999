#include "common/platform/host_name.h"

#include <unistd.h>

std::string hostName() {
  // Longest host name POSIX lets a system have, with room for a terminator it may leave out.
  char host[256] = "";
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  host[sizeof host - 1] = '\0';
  return host;
}

#include "halvex/net/kf_sub_socket.h"

int KF_SubSocket::receiveAll(char* buffer, int length, int waitMode) {
  if (buffer == nullptr || length < 0) return -1;
  int total = 0;
  while (total < length) {
    const int got = receive(buffer + total, length - total, waitMode);
    if (got < 0) return -1;
    if (got == 0) {
      // Nothing waiting (poll) or the peer closed: poll again unless the stream has ended.
      if (endOfStream()) break;
      continue;
    }
    total += got;
  }
  return total;
}

// The endpoint's receive paths on one end of a socket pair, with the fuzz bytes written to the
// other: datagrams (empty ones included) or a byte stream, read by polled and blocking receives
// and by receiveAll in both wait modes. Whatever was sent must come back whole and in order.
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/net/kf_socket.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

/// Datagrams sent before they are read: a socket pair's receive queue holds only a few (the
/// system's unix datagram queue length, 10 by default), and a full one would block the sender.
constexpr int kBatchDatagrams = 8;
/// Stream bytes written before reading starts: far below a socket pair's buffer, so that the
/// write never waits for a reader.
constexpr size_t kMaxStreamBytes = 32 * 1024;
/// Longest datagram the input gives, bytes.
constexpr size_t kMaxDatagram = 199;
/// Receive buffer: holds a whole batch of the longest datagrams.
constexpr int kBufferBytes = 2048;

/// How the receiving end reads.
enum Read { kPoll, kBlock, kAllPoll, kAllBlock, kReadCount };

/// An owned descriptor of the sending end.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

int waitModeOf(Read read) {
  return read == kPoll || read == kAllPoll ? 0 : 1;
}

/// Sends the input's datagrams in batches and reads each batch back.
void datagrams(KF_Socket& receiver, int sender, Read read, const uint8_t* data, size_t size) {
  std::vector<char> buffer(kBufferBytes);
  while (size > 0) {
    std::vector<std::string> batch;
    while (size > 0 && batch.size() < kBatchDatagrams) {
      // A length byte, then that many bytes (fewer at the input's end); 0 gives an empty one.
      const size_t length = std::min<size_t>(take<uint8_t>(data, size) % (kMaxDatagram + 1), size);
      batch.emplace_back(reinterpret_cast<const char*>(data), length);
      data += length;
      size -= length;
    }
    std::string expected;
    size_t nonEmpty = 0;
    for (const std::string& datagram : batch) {
      if (::send(sender, datagram.data(), datagram.size(), MSG_DONTWAIT) !=
          static_cast<ssize_t>(datagram.size())) {
        std::abort();
      }
      expected += datagram;
      if (!datagram.empty()) ++nonEmpty;
    }
    std::string got;
    if (read == kAllPoll || read == kAllBlock) {
      // The space left always holds the next datagram, so none is cut and the call ends.
      const int n =
          receiver.receiveAll(buffer.data(), static_cast<int>(expected.size()), waitModeOf(read));
      if (n != static_cast<int>(expected.size())) std::abort();
      got.assign(buffer.data(), static_cast<size_t>(n));
    } else {
      // One non-empty datagram per receive; a blocking one is called only for those sent.
      for (size_t k = 0; k < nonEmpty; ++k) {
        const int n = receiver.receive(buffer.data(), kBufferBytes, waitModeOf(read));
        if (n <= 0) std::abort();
        got.append(buffer.data(), static_cast<size_t>(n));
      }
    }
    if (got != expected) std::abort();
    // Nothing but empty datagrams can be left, and a poll drops them.
    if (receiver.receive(buffer.data(), kBufferBytes, 0) != 0) std::abort();
  }
}

/// Writes the input as a stream, closes the sending end and reads it all back.
void stream(KF_Socket& receiver, Fd& sender, Read read, uint8_t chunk, const uint8_t* data,
            size_t size) {
  const std::string sent(reinterpret_cast<const char*>(data), std::min(size, kMaxStreamBytes));
  if (!sent.empty() && ::send(sender.fd, sent.data(), sent.size(), MSG_DONTWAIT) !=
                           static_cast<ssize_t>(sent.size())) {
    std::abort();
  }
  ::close(sender.fd);
  sender.fd = -1;
  std::vector<char> buffer(sent.size() + kBufferBytes);
  std::string got;
  if (read == kAllPoll || read == kAllBlock) {
    // Asking for more than was sent: the end of the stream ends the call.
    const int n = receiver.receiveAll(buffer.data(), static_cast<int>(sent.size()) + 1 + chunk,
                                      waitModeOf(read));
    if (n < 0) std::abort();
    got.assign(buffer.data(), static_cast<size_t>(n));
  } else {
    // Reads of 1 to 256 bytes until a receive gives 0: nothing waiting (poll) or the end.
    const int length = chunk + 1;
    for (;;) {
      const int n = receiver.receive(buffer.data(), length, waitModeOf(read));
      if (n < 0 || n > length) std::abort();
      if (n == 0) break;
      got.append(buffer.data(), static_cast<size_t>(n));
    }
  }
  if (got != sent) std::abort();
}

}  // namespace

// The endpoint writes its poll diagnostics to standard output.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  if (std::freopen("/dev/null", "w", stdout) == nullptr) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // First byte: datagram or stream, blocking endpoint, the way of reading; then the read size.
  const uint8_t mode = take<uint8_t>(data, size);
  const uint8_t chunk = take<uint8_t>(data, size);
  const bool datagram = (mode & 1) != 0;
  const int blocking = (mode >> 1) & 1;
  const Read read = static_cast<Read>((mode >> 2) % kReadCount);

  int ends[2];
  if (::socketpair(AF_UNIX, (datagram ? SOCK_DGRAM : SOCK_STREAM) | SOCK_CLOEXEC, 0, ends) != 0) {
    std::abort();
  }
  Fd sender{ends[1]};
  KF_Socket receiver;
  if (receiver.openConnected(ends[0], blocking) != 1) std::abort();
  if (receiver.mode() != KF_Socket::kConnected) std::abort();
  if (datagram) {
    datagrams(receiver, sender.fd, read, data, size);
  } else {
    stream(receiver, sender, read, chunk, data, size);
  }
  return 0;
}

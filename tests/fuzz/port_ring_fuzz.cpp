// A port receiver's two rings fed as its receive thread feeds them: the fuzz bytes split into
// datagrams delivered into the fill ring, with ring swaps and drains between them. Every pass
// must hand over exactly the first N datagrams since the last swap, each cut to B - 1 bytes and
// terminated, flag the rest as dropped, and count both.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/streams/packet_ring.h"
#include "halvex/streams/port_receiver.h"
#include "tests/fuzz/fuzz_input.h"

namespace {

/// Largest ring the input asks for: enough buffers that fills fit and overflow both happen.
constexpr int kMaxBuffers = 32;
/// Largest buffer the input asks for, bytes: datagrams come both shorter and longer.
constexpr int kMaxBufferBytes = 300;

/// Checks a drained pass against the datagrams delivered since the swap before it.
void checkPass(PacketRing& ring, const std::vector<std::string>& delivered, int bytes, int count) {
  const size_t kept = std::min(delivered.size(), static_cast<size_t>(count));
  if (ring.fillCount() != static_cast<int>(kept)) std::abort();
  if (ring.overflow() != (delivered.size() > kept)) std::abort();
  if (ring.readPosition() != 0) std::abort();
  for (size_t k = 0; k < kept; ++k) {
    const char* packet = ring.nextPacket();
    if (packet != ring.buffer(static_cast<int>(k))) std::abort();
    const size_t length = std::min(delivered[k].size(), static_cast<size_t>(bytes - 1));
    if (std::memcmp(packet, delivered[k].data(), length) != 0 || packet[length] != '\0') {
      std::abort();
    }
  }
  if (ring.nextPacket() != nullptr || ring.nextPacket() != nullptr) std::abort();
  // Read again from its start, as a second pass over the same ring would.
  ring.rewind();
  if (kept > 0 && ring.nextPacket() != ring.buffer(0)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Sizes below the least a ring holds are raised by the ring; the receiver takes its sizes.
  const int bytes = take<uint16_t>(data, size) % (kMaxBufferBytes + 1);
  const int count = take<uint8_t>(data, size) % (kMaxBuffers + 1);
  PortReceiver receiver("239.255.0.1", 5000, bytes, count);
  const int ringBytes = receiver.bufferBytes();
  const int ringCount = receiver.bufferCount();
  if (ringBytes != std::max(bytes, 2) || ringCount != std::max(count, 1)) std::abort();

  std::vector<std::string> delivered;  // since the last swap
  uint64_t received = 0;
  uint64_t dropped = 0;
  while (size > 0) {
    // An operation byte: swap and drain (1 in 8), or deliver a datagram of the length that
    // follows, up to 511 bytes (fewer at the input's end).
    const uint8_t op = take<uint8_t>(data, size);
    if (op % 8 == 0) {
      checkPass(receiver.swapRings(), delivered, ringBytes, ringCount);
      delivered.clear();
      continue;
    }
    const size_t length = std::min<size_t>((op >> 3) * 16 + take<uint8_t>(data, size) % 16, size);
    const std::string datagram(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    receiver.deliver(datagram.data(), static_cast<int>(datagram.size()));
    if (delivered.size() < static_cast<size_t>(ringCount)) {
      ++received;
    } else {
      ++dropped;
    }
    delivered.push_back(datagram);
  }
  checkPass(receiver.swapRings(), delivered, ringBytes, ringCount);
  // Both rings handed over, the one being filled is empty.
  if (receiver.swapRings().fillCount() != 0) std::abort();
  const PortStatistics counts = receiver.statistics();
  if (counts.received != received || counts.dropped != dropped) std::abort();
  return 0;
}

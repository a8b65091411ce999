// A ring of fixed-size packet buffers that a receive thread fills and the main thread reads.
#pragma once

#include <memory>

/// N buffers of B bytes in one block, filled in arrival order and read back in the same order.
/// The ring itself takes no lock: its receiver guards the ring being filled, and the ring being
/// read belongs to the main thread alone.
class PacketRing {
 public:
  /// Allocates N x B bytes at once; B is at least 2 and N at least 1 (smaller values are raised).
  PacketRing(int bufferBytes, int bufferCount);
  PacketRing(const PacketRing&) = delete;
  PacketRing& operator=(const PacketRing&) = delete;

  /// Copies `length` characters of `text` and a terminator into the buffer at the fill count; a
  /// text of B or more characters keeps its first B - 1. Returns false, setting the overflow
  /// flag and storing nothing, when every buffer holds a packet.
  bool store(const char* text, int length);

  /// The packet at the read position, which then advances; null once every packet was read.
  char* nextPacket();

  /// Empties the ring for filling: fill count and read position 0, overflow flag cleared.
  void clear();
  /// Moves the read position back to the first packet.
  void rewind() { readPosition_ = 0; }

  /// Buffer i (0 to N - 1).
  char* buffer(int i) const { return buffers_[i]; }

  int bufferBytes() const { return bufferBytes_; }
  int bufferCount() const { return bufferCount_; }
  int fillCount() const { return fillCount_; }
  int readPosition() const { return readPosition_; }
  /// Set when a packet found the ring full since the last clear().
  bool overflow() const { return overflow_; }

 private:
  int bufferBytes_;                   ///< B: bytes per buffer, terminator included.
  int bufferCount_;                   ///< N: number of buffers.
  int fillCount_ = 0;                 ///< Buffers holding a packet.
  int readPosition_ = 0;              ///< Next buffer to read.
  bool overflow_ = false;             ///< A packet was dropped on a full ring.
  std::unique_ptr<char[]> block_;     ///< N x B bytes; buffer i starts at i x B.
  std::unique_ptr<char*[]> buffers_;  ///< The N buffer starts.
};

// The receive side of one multicast input port: a socket, a receive thread and two packet rings.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "common/platform/binary_semaphore.h"
#include "halvex/streams/packet_ring.h"

/// Counts of one receiver since it was built.
struct PortStatistics {
  uint64_t received = 0;  ///< Datagrams stored in the fill ring.
  uint64_t dropped = 0;   ///< Datagrams dropped because the fill ring was full.
};

/// Receives the datagrams of one multicast group and port on its own thread into the fill ring,
/// while the main thread swaps the rings and reads the packets of the other one. The thread
/// touches the fill ring only under the receiver's lock, and the main thread holds that lock
/// only for the swap.
class PortReceiver {
 public:
  static constexpr long kMinPort = 1;      ///< Lowest UDP port a receiver binds.
  static constexpr long kMaxPort = 65535;  ///< Highest UDP port.

  /// Builds a closed receiver for the dotted IPv4 `group` and `port`, with two rings of
  /// `bufferCount` buffers of `bufferBytes` bytes allocated now, once.
  PortReceiver(const char* group, long port, int bufferBytes, int bufferCount);
  PortReceiver(const PortReceiver&) = delete;
  PortReceiver& operator=(const PortReceiver&) = delete;
  /// Stops the receive thread first.
  virtual ~PortReceiver();

  /// Opens the multicast socket and starts the receive thread. Returns false when the port lies
  /// outside 1..65535 or the socket or thread cannot be made; the receiver then delivers nothing.
  /// An open receiver stays as it is and returns true.
  bool open();

  /// Wakes the receive thread out of its blocked receive by shutting the socket down, waits for
  /// it to end and closes the socket. Once this returns no thread touches the rings.
  void stop();

  /// Whether the receive thread runs.
  bool isOpen() const { return thread_.joinable(); }

  /// Under the lock, the fill ring becomes the read ring, read from its first packet, and the
  /// former read ring becomes the empty fill ring. Returns the read ring, which belongs to the
  /// caller until the next swap.
  PacketRing& swapRings();

  /// Takes a received text into the fill ring under the lock, or counts it dropped when the ring
  /// is full. What the receive thread does with each datagram.
  void deliver(const char* text, int length);

  /// Datagrams received and dropped so far; may be read while the thread runs.
  PortStatistics statistics() const;

  const char* group() const { return group_.c_str(); }
  long port() const { return port_; }
  int bufferBytes() const { return bufferBytes_; }
  int bufferCount() const { return bufferCount_; }

 private:
  /// The receive thread: one datagram at a time into the work buffer, then into the fill ring.
  void receiveLoop();

  std::string group_;                  ///< Dotted IPv4 group address.
  long port_;                          ///< UDP port.
  int bufferBytes_;                    ///< B: bytes per buffer, terminator included.
  int bufferCount_;                    ///< N: buffers per ring.
  PacketRing rings_[2];                ///< The two rings; fill_ and read_ point at them.
  PacketRing* fill_ = &rings_[0];      ///< Filled by the receive thread, under lock_.
  PacketRing* read_ = &rings_[1];      ///< Read by the main thread after a swap.
  std::unique_ptr<char[]> work_;       ///< The receive thread's zeroed buffer of B bytes.
  BinarySemaphore lock_;               ///< Guards fill_ and the ring it points at.
  int socket_ = -1;                    ///< The multicast socket, -1 when closed.
  std::thread thread_;                 ///< The receive thread, when running.
  std::atomic<bool> stopping_{false};  ///< Tells the receive thread to end.
  std::atomic<uint64_t> received_{0};  ///< Written by the receive thread only.
  std::atomic<uint64_t> dropped_{0};   ///< Written by the receive thread only.
};

// One multicast input port of the node table: a named group and port with its receiver.
#pragma once

#include <string>

#include "halvex/streams/port_receiver.h"

class NodeTable;

/// A port read from the multicast port file. While active, its receiver fills a ring on its own
/// thread, and each processing pass applies what arrived since the previous one to the table.
class InputPort {
 public:
  /// Builds an inactive port of `owner` with rings of `bufferCount` x `bufferBytes` bytes.
  InputPort(const char* name, const char* group, long port, const NodeTable& owner, int bufferBytes,
            int bufferCount);
  InputPort(const InputPort&) = delete;
  InputPort& operator=(const InputPort&) = delete;
  /// Stops the receiver first.
  virtual ~InputPort() = default;

  /// Opens the receiver and marks the port active, also when the socket failed (the port then
  /// delivers nothing). Returns whether the receiver is open.
  bool open();
  /// Stops the receiver and clears the active flag.
  void stop();

  /// When active: swaps the rings and applies every packet that arrived since the last pass, in
  /// arrival order. Returns the number of packets the nodes took.
  int process();

  const char* name() const { return name_.c_str(); }
  const char* group() const { return receiver_.group(); }
  long port() const { return receiver_.port(); }
  bool active() const { return active_; }
  /// Datagrams taken into the ring and dropped on a full ring since the port was loaded.
  PortStatistics statistics() const { return receiver_.statistics(); }
  /// Whether the batch of the last processing pass lost packets on a full ring.
  bool overflowed() const { return overflowed_; }
  PortReceiver& receiver() { return receiver_; }
  const PortReceiver& receiver() const { return receiver_; }

  InputPort* next = nullptr;  ///< Following port in file order.
  InputPort* prev = nullptr;  ///< Preceding port in file order.

 private:
  std::string name_;         ///< Port name from the file.
  const NodeTable& owner_;   ///< The table the packets update.
  bool active_ = false;      ///< Set while the receiver has been started.
  bool overflowed_ = false;  ///< Overflow flag of the ring read last.
  PortReceiver receiver_;    ///< Socket, receive thread and rings.
};

// The multicast input ports that feed the node table: the port file, the receivers and the
// buffer sizes of their rings.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "halvex/core/tracker_defaults.h"

class InputPort;
class NodeTable;

/// The receive ports read from the multicast port file, in file order. Each port's receiver fills
/// its rings on its own thread once started; processing applies what arrived to the table's
/// records. The table must outlive the set: destroying the set stops every receiver first.
class InputPortSet {
 public:
  // Buffer limits and defaults (tracker_defaults.h says what each is).
  static constexpr int kDefaultBufferBytes = tracker_defaults::kBufferBytes;
  static constexpr int kDefaultBuffersPerPort = tracker_defaults::kBuffersPerPort;
  static constexpr int kMinBufferBytes = tracker_defaults::kMinBufferBytes;
  static constexpr int kMaxBufferBytes = tracker_defaults::kMaxBufferBytes;
  static constexpr int kMinBuffersPerPort = tracker_defaults::kMinBuffersPerPort;
  static constexpr int kMaxBuffersPerPort = tracker_defaults::kMaxBuffersPerPort;
  static constexpr long kMaxRingBytes = tracker_defaults::kMaxRingBytes;
  static constexpr int kDefaultMemoryMB = tracker_defaults::kMulticastMemoryMB;
  static constexpr unsigned kRestartPauseMs = 500;  ///< Pause between stopping and restarting.
  static constexpr int kPortLineBytes = 2048;       ///< Port file line buffer, terminator included.

  /// Builds an empty set whose ports will update `table` and use the given buffer sizes (brought
  /// within the limits as the setters do; values below the minimum give the defaults).
  InputPortSet(NodeTable& table, int bufferBytes, int buffersPerPort);
  InputPortSet(const InputPortSet&) = delete;
  InputPortSet& operator=(const InputPortSet&) = delete;
  /// Stops the receivers and destroys the ports.
  virtual ~InputPortSet();

  /// Unloads the ports, then reads the multicast port file `name` into one port per line of
  /// group and port, in file order, and remembers the name for reloading. Returns whether at
  /// least one port was read. Receivers are not started. Ports whose rings would pass the ring
  /// memory are not made: one message on standard error names the line of the first.
  bool loadPortFile(const char* name);
  /// Stops the receivers and destroys every port.
  void unloadPorts();
  /// Opens every port's receiver and marks it active, unless receivers run already.
  void startReceivers();
  /// Stops every active port's receiver; afterwards no receive thread touches a ring.
  void stopReceivers();
  /// Sets the bytes per receive buffer. A value below 2 is refused, one above the limits is cut
  /// to them (B at most 65536, B x N at most 64 MiB). When the stored value changes, running
  /// receivers are stopped, the port file is reloaded after a 500 ms pause with rings of the new
  /// size and the receivers started again; loaded ports are reloaded. Returns the value in force.
  int setBytesPerBuffer(int bytes);
  /// Sets the buffers per port as setBytesPerBuffer does the bytes: below 1 is refused, above
  /// 65536 or B x N above 64 MiB is cut. Returns the value in force.
  int setBuffersPerPort(int count);
  /// Sets the ring memory all ports may take together, MiB ("Input MultiCastMemoryMB"): each
  /// port takes two rings of B x N bytes. A value below 1 is refused. When the stored value
  /// changes, loaded ports are reloaded as setBytesPerBuffer does. Returns the value in force.
  int setRingMemoryMB(int megabytes);
  /// The three setters at once, in their order (bytes, buffers, memory), reloading loaded ports
  /// once when anything changed.
  void setRingSettings(int bytes, int count, int memoryMB);
  /// Applies every packet received on the active ports since the last call, port by port in file
  /// order. Returns the number of packets the nodes took.
  int processPorts();

  int portCount() const { return static_cast<int>(ports_.size()); }
  /// Port k in file order, or null.
  InputPort* portAt(int k) const;
  bool portsLoaded() const { return portsLoaded_; }
  bool receiving() const { return receiving_; }
  /// The remembered port file name (empty before the first load).
  const char* portFilePath() const { return portFilePath_.c_str(); }
  int bufferBytes() const { return bufferBytes_; }
  int buffersPerPort() const { return buffersPerPort_; }
  int ringMemoryMB() const { return ringMemoryMB_; }

 private:
  /// Rebuilds the ports with the stored buffer sizes and ring memory after a change, restarting
  /// running ones.
  void applyBufferSizes();
  /// `bytes` within the limits for rings of `count` buffers, or 0 when it is too small.
  static int boundedBufferBytes(int bytes, int count);
  /// `count` within the limits for buffers of `bytes` bytes, or 0 when it is too small.
  static int boundedBuffersPerPort(int count, int bytes);

  NodeTable& table_;                               ///< The table the packets update.
  int bufferBytes_;                                ///< Bytes per receive buffer.
  int buffersPerPort_;                             ///< Receive buffers per port.
  int ringMemoryMB_ = kDefaultMemoryMB;            ///< Rings of all ports together, MiB.
  std::vector<std::unique_ptr<InputPort>> ports_;  ///< Receive ports in file order.
  std::string portFilePath_;                       ///< Port file to reload from.
  bool portsLoaded_ = false;                       ///< At least one port was read.
  bool receiving_ = false;                         ///< Receivers started.
};

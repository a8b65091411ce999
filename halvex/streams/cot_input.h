// Node states from Cursor on Target events: datagrams of a multicast group, and optionally a TCP
// stream of events back to back, read on threads of their own; the newest event of each uid
// waits for the loop, which maps it to a node through the uid table and applies it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "halvex/config/cot_settings.h"

class NodeTable;

/// The CoT input mode.
class CotInput {
 public:
  /// Socket receive queue asked for: a second of 10,010 events of some 500 bytes waits in the
  /// kernel while the receive thread is not scheduled. The system may grant less.
  static constexpr int kReceiveQueueBytes = 8 * 1024 * 1024;
  /// Uids kept waiting at most between two input steps.
  static constexpr int kMaxWaitingUids = 65536;
  /// First byte of the clients' binary framing, which is not read.
  static constexpr unsigned char kBinaryMagic = 0xbf;

  CotInput();
  ~CotInput();
  CotInput(const CotInput&) = delete;
  CotInput& operator=(const CotInput&) = delete;

  /// Reads the uid table at `uidTablePath`, joins settings.group:settings.port and, when
  /// settings.tcp is "HOST:PORT", connects to that server in the background. Events whose uid
  /// begins with `ownUidPrefix` ("halvex.SITE."; empty: none) are ignored. False, with a
  /// one-line reason in `error`, when the uid table cannot be read, the port is outside
  /// 1..65535, settings.tcp does not read or the socket or a thread cannot be made.
  bool start(const CotSettings& settings, const std::string& uidTablePath,
             const std::string& ownUidPrefix, std::string* error);
  /// Stops the threads and closes the socket; waiting events are dropped.
  void stop();
  bool running() const;

  /// Called on a receive thread when an event starts waiting for the loop (not again until
  /// apply() took it). Set before start(); must not block.
  void setWakeHandler(std::function<void()> wake);

  /// The input step (loop thread): maps each waiting event's uid to a node id through the uid
  /// table (which may take a new id and rewrite its file) and applies it to that node: its
  /// position and time, the callsign as the name (none: the node list's), the remarks as the
  /// first comment, the second comment empty. Events older than the node's last fix, or of a
  /// uid without a node, are ignored. Returns the number applied.
  int apply(const NodeTable& table);

  /// "listening on GROUP:PORT[, tcp HOST:PORT connected|retrying]; N received, N applied,
  /// N dropped, N ignored, N binary", or "stopped", or "not started: REASON". Any thread.
  std::string status() const;
  long received() const;  ///< Datagrams and stream events read.
  long applied() const;   ///< Events taken by a node.
  long dropped() const;   ///< Over 64 KiB, malformed, not finite, missing, bad time.
  long ignored() const;   ///< Own uid, unknown uid, older than the node's (or a waiting) fix.
  long binary() const;    ///< Datagrams in the binary framing.

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

#include "halvex/streams/state_output.h"

#include <cstdio>
#include <vector>

#include "common/platform/atomic_file.h"
#include "common/platform/wall_clock.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr char kOpenTag[] = "<dgc>\n";
constexpr char kCloseTag[] = "</dgc>\n";
/// Room reserved per record: three texts of up to 127 bytes and the numbers.
constexpr size_t kRecordRoom = 3 * NodeRecord::kTextBytes + 128;

/// Appends one node's state record to `out`, holding the node's lock while it is read.
void appendRecord(NodeRecord& node, bool relayed, const WallTime& now, std::vector<char>& out) {
  const size_t start = out.size();
  out.resize(start + kRecordRoom);
  node.lock();
  if (!relayed) {
    node.computeStatusLocked(now);
    node.computeAgeLocked(now);
  }
  int length = formatStateRecord(out.data() + start, kRecordRoom, node.id, node.latitude,
                                 node.longitude, static_cast<long>(node.lastPacketTime.seconds),
                                 node.lastPacketTime.milliseconds, node.status, node.age,
                                 node.comment1, node.comment2, node.name);
  if (length >= static_cast<int>(kRecordRoom)) {  // only a huge number could need more room
    out.resize(start + static_cast<size_t>(length) + 1);
    length = formatStateRecord(
        out.data() + start, static_cast<size_t>(length) + 1, node.id, node.latitude, node.longitude,
        static_cast<long>(node.lastPacketTime.seconds), node.lastPacketTime.milliseconds,
        node.status, node.age, node.comment1, node.comment2, node.name);
  }
  node.unlock();
  out.resize(start + static_cast<size_t>(length < 0 ? 0 : length));
  // A line break inside a text (a packet comment may carry one) would split the record and lose
  // it for every reader; it is written as a blank instead.
  for (size_t i = start; i + 1 < out.size(); ++i) {
    if (out[i] == '\n' || out[i] == '\r') out[i] = ' ';
  }
}

}  // namespace

bool writeStateFile(const NodeTable& table, const char* name, bool relayed) {
  if (name == nullptr || *name == '\0') return false;
  std::vector<char> data;
  data.reserve(static_cast<size_t>(table.count()) * kRecordRoom + sizeof kOpenTag +
               sizeof kCloseTag);
  data.insert(data.end(), kOpenTag, kOpenTag + sizeof kOpenTag - 1);
  const WallTime now = wallClockNow();
  for (NodeRecord* node = table.chainHead(); node != nullptr; node = node->next) {
    appendRecord(*node, relayed, now, data);
  }
  data.insert(data.end(), kCloseTag, kCloseTag + sizeof kCloseTag - 1);
  // A snapshot is rewritten several times a second: renamed into place without syncing.
  return replaceFileAtomically(name, data.data(), data.size(), Durability::kSnapshot);
}

bool StateOutput::writeFrame(const NodeTable& table, bool relayed) {
  if (!snapshotOn_ || !writeStateFile(table, fileName_.c_str(), relayed)) return false;
  ++frameCount_;
  char label[40];
  std::snprintf(label, sizeof label, "Frames set: %08ld", frameCount_);
  counterLabel_ = label;
  return true;
}

void StateOutput::setSnapshot(bool on) {
  snapshotOn_ = on;
  toggleLabel_ = on ? "Snapshot is ON" : "Snapshot is OFF";
}

void StateOutput::setFileName(const char* name) {
  fileName_ = name != nullptr ? name : "";
}

void StateOutput::resetFromConfiguration(const char* name) {
  if (name != nullptr) setFileName(name);  // a configuration without one keeps the current file
  toggleLabel_ = "State File Generation is Off";
  counterLabel_ = "Counter 00000000000000";
}

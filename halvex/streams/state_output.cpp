#include "halvex/streams/state_output.h"

#include <cstdio>
#include <cstring>
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

/// Blanks what a reader would take for a separator in the text of `length` bytes at `text`:
/// line breaks and "*" always, "," in a comment (`commas`).
void blankSeparators(char* text, size_t length, bool commas) {
  for (char* p = text; p < text + length; ++p) {
    const char c = *p;
    if (c == '\n' || c == '\r' || c == '*' || (commas && c == ',')) *p = ' ';
  }
}

/// Appends one node's state record to `out`, holding the node's lock while it is read.
void appendRecord(NodeRecord& node, bool relayed, const WallTime& now, std::vector<char>& out) {
  const size_t start = out.size();
  out.resize(start + kRecordRoom);
  node.lock();
  if (!relayed) {
    node.computeStatusLocked(now);
    node.computeAgeLocked(now);
  }
  const size_t comment1Length = std::strlen(node.comment1);
  const size_t comment2Length = std::strlen(node.comment2);
  const size_t nameLength = std::strlen(node.name);
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
  const size_t end = start + static_cast<size_t>(length < 0 ? 0 : length);
  out.resize(end);
  // The record ends ",comment1,comment2,name*\n": the texts lie at known places before its end.
  // A reader cuts the record at its line break, takes a "," in a comment for the next field and
  // a "*" in either comment or the name for the record's end, so each is written as a blank;
  // the name is read whole, commas and all.
  const size_t textBytes = comment1Length + comment2Length + nameLength + 4;  // ",,*\n" around
  if (end - start < textBytes) return;
  char* name = out.data() + end - 2 - nameLength;
  char* comment2 = name - 1 - comment2Length;
  char* comment1 = comment2 - 1 - comment1Length;
  blankSeparators(comment1, comment1Length, true);
  blankSeparators(comment2, comment2Length, true);
  blankSeparators(name, nameLength, false);
}

}  // namespace

bool writeStateFile(const NodeTable& table, const char* name, bool relayed) {
  if (name == nullptr || *name == '\0') return false;
  std::vector<char> data;
  data.reserve(static_cast<size_t>(table.count()) * kRecordRoom + sizeof kOpenTag +
               sizeof kCloseTag);
  data.insert(data.end(), kOpenTag, kOpenTag + sizeof kOpenTag - 1);
  const WallTime now = table.now();
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

// Applies arbitrary bytes to a node table as a position packet and as a state record line; the
// records must stay coherent whatever the input.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "halvex/streams/node_updates.h"
#include "halvex/tracking/node_table.h"
#include "tests/fuzz/memory_file.h"

namespace {

/// A table of nodes 0..1000, built once from an in-memory node list.
NodeTable& table() {
  static NodeTable* nodes = [] {
    auto* t = new NodeTable();
    std::string list;
    for (int id = 0; id <= NodeTable::kMaxId; ++id) list += std::to_string(id) + " node\n";
    t->readNodeFile(memoryFile(list.data(), list.size()).c_str());
    return t;
  }();
  return *nodes;
}

void checkRecord(const NodeRecord& node) {
  if (std::strlen(node.name) >= NodeRecord::kTextBytes ||
      std::strlen(node.comment1) >= NodeRecord::kTextBytes ||
      std::strlen(node.comment2) >= NodeRecord::kTextBytes ||
      std::strlen(node.gpsDateText) >= NodeRecord::kTextBytes) {
    std::abort();
  }
  if (node.status < NodeRecord::kAlive || node.status > NodeRecord::kLost) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NodeTable& nodes = table();
  std::vector<char> text(data, data + size);
  text.push_back('\0');
  std::vector<char> copy = text;
  applyPositionPacket(nodes, text.data());
  applyStateRecordLine(nodes, copy.data());
  int id = 0;
  if (size > 0) id = std::atoi(reinterpret_cast<const char*>(text.data()) + (text[0] == '$'));
  if (const NodeRecord* node = nodes.nodeById(id)) checkRecord(*node);
  return 0;
}

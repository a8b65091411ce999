// Applies arbitrary bytes to a node table as a position packet and as a state record line; the
// records must stay coherent whatever the input.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "halvex/streams/node_updates.h"
#include "halvex/tracking/node_table.h"

namespace {

/// A table of nodes 0..1000, built once from an in-memory node list.
NodeTable& table() {
  static NodeTable* nodes = [] {
    auto* t = new NodeTable(250, 20);
    const int fd = memfd_create("nodes", 0);
    for (int id = 0; id <= NodeTable::kMaxId; ++id) dprintf(fd, "%d node %d\n", id, id);
    char path[64];
    std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    t->readNodeFile(path);
    close(fd);
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

// Feeds arbitrary bytes to the node list reader as a file; the table it builds must be coherent.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "halvex/tracking/node_table.h"
#include "tests/fuzz/memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NodeTable table;
  table.readNodeFile(memoryFile(data, size).c_str());
  for (int i = 0; i < table.count(); ++i) {
    const NodeRecord* node = table.nodeAt(i);
    if (node->position != i || table.nodeById(node->id) != node) std::abort();
    if (node->id < 0 || node->id > NodeTable::kMaxId || std::strlen(node->name) > 127) std::abort();
  }
  table.buildNearest(table.count() > 0 ? table.nodeAt(0)->id : 1, -1);
  return 0;
}

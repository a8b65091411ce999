// A node table of many nodes with positions, comments and status, for the state file benchmarks.
#pragma once

#include <cstdio>
#include <string>

#include "halvex/tracking/node_table.h"

namespace bench {

/// Writes a node list of ids 0..count-1 into `dir`, reads it into `table` and gives every node
/// a state, so that a state file of the table has realistic lines.
inline void fillNodeTable(NodeTable& table, const std::string& dir, int count) {
  const std::string nodes = dir + "/nodes.txt";
  FILE* list = std::fopen(nodes.c_str(), "w");
  if (list == nullptr) return;
  for (int id = 0; id < count; ++id) {
    std::fprintf(list, "%d Vehicle %d, convoy %d\n", id, id, id % 9);
  }
  std::fclose(list);
  table.readNodeFile(nodes.c_str());
  for (int id = 0; id < count; ++id) {
    NodeRecord* node = table.nodeById(id);
    if (node == nullptr) continue;
    node->applyStateRecord(32.0 + id * 1e-4, -117.0 - id * 1e-4, id % 3, "north gate", "moving",
                           id * 0.01, node->name);
  }
}

}  // namespace bench

// Node tables for the fuzz targets that apply state records: a table of nodes 0..kLastId, and a
// comparison of two tables field by field (bit for bit for the numbers, so NaN compares too).
#pragma once

#include <cstring>
#include <string>

#include "halvex/tracking/node_table.h"
#include "tests/fuzz/memory_file.h"

namespace fuzznodes {

constexpr int kLastId = 99;

/// A table of nodes 0..kLastId, built from an in-memory node list; kept for the whole run.
inline NodeTable* makeTable() {
  auto* t = new NodeTable();
  std::string list;
  for (int id = 0; id <= kLastId; ++id) list += std::to_string(id) + " node\n";
  t->readNodeFile(memoryFile(list.data(), list.size()).c_str());
  return t;
}

/// Whether every node of `a` and `b` has the same position, age, status and texts.
inline bool sameNodes(const NodeTable& a, const NodeTable& b) {
  for (int id = 0; id <= kLastId; ++id) {
    const NodeRecord& x = *a.nodeById(id);
    const NodeRecord& y = *b.nodeById(id);
    if (std::memcmp(&x.latitude, &y.latitude, sizeof x.latitude) != 0 ||
        std::memcmp(&x.longitude, &y.longitude, sizeof x.longitude) != 0 ||
        std::memcmp(&x.age, &y.age, sizeof x.age) != 0 || x.status != y.status ||
        std::strcmp(x.name, y.name) != 0 || std::strcmp(x.comment1, y.comment1) != 0 ||
        std::strcmp(x.comment2, y.comment2) != 0) {
      return false;
    }
  }
  return true;
}

}  // namespace fuzznodes

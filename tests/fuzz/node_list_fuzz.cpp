// Feeds arbitrary bytes to the node list reader as a file; the table it builds must be coherent.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "halvex/tracking/node_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int fd = memfd_create("nodes", 0);
  if (fd < 0) return 0;
  if (write(fd, data, size) != static_cast<ssize_t>(size)) {
    close(fd);
    return 0;
  }
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  NodeTable table(250, 20);
  table.readNodeFile(path);
  close(fd);
  for (int i = 0; i < table.count(); ++i) {
    const NodeRecord* node = table.nodeAt(i);
    if (node->position != i || table.nodeById(node->id) != node) std::abort();
    if (node->id < 0 || node->id > NodeTable::kMaxId || std::strlen(node->name) > 127) std::abort();
  }
  table.buildNearest(table.count() > 0 ? table.nodeAt(0)->id : 1, -1);
  return 0;
}

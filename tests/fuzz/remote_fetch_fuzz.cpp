// A state server's response served over a real connection on 127.0.0.1 by a thread of this
// process, then fetched end to end twice: by fetchRemoteState, which applies each record as it
// arrives, and as the engine's fetch worker does, holding the records per node to apply them
// after. Both must succeed and leave the same nodes and refresh value. The server sends the
// whole input at once and closes, so no fetch waits for a time limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "halvex/streams/remote_state.h"
#include "halvex/tracking/node_table.h"
#include "tests/fuzz/memory_file.h"
#include "tests/support/loopback_byte_server.h"

namespace {

constexpr int kLastId = 99;

/// A table of nodes 0..kLastId, built once from an in-memory node list.
NodeTable* makeTable() {
  auto* t = new NodeTable();
  std::string list;
  for (int id = 0; id <= kLastId; ++id) list += std::to_string(id) + " node\n";
  t->readNodeFile(memoryFile(list.data(), list.size()).c_str());
  return t;
}

bool sameNodes(const NodeTable& a, const NodeTable& b) {
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

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Kept for the whole run: one listening thread serves every input.
  static auto* server = new testserver::LoopbackByteServer({"", std::string::npos, {}, true});
  static NodeTable* streamed = makeTable();
  static NodeTable* held = makeTable();
  if (server->port() == 0) std::abort();
  server->setResponse(std::string(reinterpret_cast<const char*>(data), size));

  int refreshStreamed = -1;
  if (!fetchRemoteState(*streamed, "127.0.0.1", server->port(), "/state.txt", &refreshStreamed)) {
    std::abort();
  }
  RemoteRecords records;
  int refreshHeld = -1;
  if (!fetchRemoteRecords(
          "127.0.0.1", server->port(), "/state.txt",
          [&records](char* line) { return records.keep(line); }, &refreshHeld)) {
    std::abort();
  }
  records.applyTo(*held);
  if (records.count() > NodeTable::kMaxId + 1) std::abort();
  if (refreshStreamed != refreshHeld || !sameNodes(*streamed, *held)) std::abort();
  return 0;
}

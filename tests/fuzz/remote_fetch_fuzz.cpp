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
#include "tests/fuzz/fuzz_node_tables.h"
#include "tests/support/loopback_byte_server.h"

using fuzznodes::makeTable;
using fuzznodes::sameNodes;

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

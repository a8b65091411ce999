// Feeds arbitrary text to the multicast port file reader and checks what every port
// it builds must satisfy. Receivers are never started: no socket is opened.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "halvex/streams/input_port.h"
#include "halvex/streams/input_port_set.h"
#include "halvex/tracking/node_table.h"
#include "tests/fuzz/memory_file.h"

namespace {

bool hasBlank(const char* text) {
  return std::strpbrk(text, " \t\n\v\f\r") != nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Small rings: a port costs two of them, and the input may hold thousands of ports.
  NodeTable table;
  InputPortSet ports(table, 16, 2);
  const std::string path = memoryFile(data, size);
  const bool loaded = ports.loadPortFile(path.c_str());
  if (loaded != (ports.portCount() > 0) || loaded != ports.portsLoaded()) std::abort();
  const InputPort* previous = nullptr;
  for (int k = 0; k < ports.portCount(); ++k) {
    const InputPort* port = ports.portAt(k);
    if (port->name()[0] == '\0' || port->name()[0] == '#' || hasBlank(port->name())) std::abort();
    if (port->group()[0] == '\0' || hasBlank(port->group())) std::abort();
    if (port->active() || port->prev != previous) std::abort();
    if (std::strlen(port->name()) + std::strlen(port->group()) >= InputPortSet::kPortLineBytes) {
      std::abort();
    }
    previous = port;
  }
  if (previous != nullptr && previous->next != nullptr) std::abort();
  if (ports.processPorts() != 0) std::abort();
  return 0;
}

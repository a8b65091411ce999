// Feeds arbitrary text to the node graphics and map graphics readers and checks that every list
// entry is one of the definitions read, of the right kind.
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/map_graphics.h"
#include "halvex/config/node_graphics.h"

namespace {

// The readers take a path; an in-memory file reached through /proc keeps the disk out of it.
std::string fileWith(const uint8_t* data, size_t size) {
  static const int fd = memfd_create("node_graphics_fuzz", 0);
  if (fd < 0 || ftruncate(fd, 0) != 0) std::abort();
  if (size > 0 && pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
  return "/proc/self/fd/" + std::to_string(fd);
}

bool isDefinition(const NodeGraphics& graphics, const NodeIconDef* def) {
  const auto& all = graphics.definitions();
  return def != nullptr && !all.empty() && def >= &all.front() && def <= &all.back();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fileWith(data, size);
  NodeGraphics graphics;
  if (!graphics.read(path)) std::abort();
  if (graphics.roleCount() < NodeGraphics::kFixedRolePlaces) std::abort();
  const NodeIconKind fixed[] = {NodeIconKind::Default, NodeIconKind::Target, NodeIconKind::Chase};
  for (int place = -1; place <= graphics.roleCount(); ++place) {
    const NodeIconDef* def = graphics.role(place);
    if (def == nullptr) continue;
    if (!isDefinition(graphics, def)) std::abort();
    if (place < 3 && def->kind != fixed[place]) std::abort();
    if (place >= 3 && (def->kind != NodeIconKind::Proximity || def->number + 2 != place)) {
      std::abort();
    }
  }
  for (const NodeIconDef* def : graphics.individuals()) {
    const NodeIconDef* found = graphics.individualFor(def->number);
    if (!isDefinition(graphics, found) || found->number != def->number) std::abort();
  }

  MapGraphics maps;
  if (!maps.read(path)) std::abort();
  for (const MapGraphicDef& map : maps.maps()) {
    if (map.name.empty() || map.name.size() >= 100) std::abort();
  }
  return 0;
}

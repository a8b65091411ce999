// Feeds arbitrary text to the node graphics and map graphics readers and checks that every list
// entry is one of the definitions read, of the right kind.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/config/map_graphics.h"
#include "halvex/config/node_graphics.h"
#include "tests/fuzz/memory_file.h"

namespace {

bool isDefinition(const NodeGraphics& graphics, const NodeIconDef* def) {
  const auto& all = graphics.definitions();
  return def != nullptr && !all.empty() && def >= &all.front() && def <= &all.back();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = memoryFile(data, size);
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

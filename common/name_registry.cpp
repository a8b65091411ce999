#include "common/name_registry.h"

NameRegistry& NameRegistry::instance() {
  // Created on first use so that static initializers of other modules may register safely;
  // deliberately leaked so that lookups during static destruction still work.
  static NameRegistry* const registry = new NameRegistry;
  return *registry;
}

namespace {

/// Creates the registry at start-up, before main runs.
[[maybe_unused]] const NameRegistry& startupRegistry = NameRegistry::instance();

}  // namespace

void NameRegistry::add(const char* name, void* object) {
  if (name == nullptr || object == nullptr) return;
  entries_.push_back(Entry{name, object});
}

void NameRegistry::remove(const char* name, void* object) {
  if (name == nullptr) return;
  for (auto k = entries_.begin(); k != entries_.end(); ++k) {
    if (k->name == name && k->object == object) {
      entries_.erase(k);
      return;
    }
  }
}

void* NameRegistry::find(const char* name) const {
  if (name == nullptr) return nullptr;
  for (const Entry& entry : entries_) {
    if (entry.name == name) return entry.object;
  }
  return nullptr;
}

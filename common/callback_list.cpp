#include "common/callback_list.h"

#include <algorithm>

CallbackList::~CallbackList() = default;

const CallbackList::Entry* CallbackList::add(CallbackFn fn, void* user) {
  slots_.push_back(std::make_unique<Slot>(Slot{Entry{fn, user}}));
  return &slots_.back()->entry;
}

void CallbackList::remove(CallbackFn fn, void* user) {
  for (auto& slot : slots_) {
    if (!slot->removed && slot->entry.fn == fn && slot->entry.user == user) {
      slot->removed = true;
      purgeRemoved();
      return;
    }
  }
}

void CallbackList::fire(int arg) {
  ++fireDepth_;
  // Only the entries present now; the vector may grow while callbacks run.
  const std::size_t count = slots_.size();
  for (std::size_t i = 0; i < count; ++i) {
    const Slot& slot = *slots_[i];
    if (slot.removed || slot.entry.fn == nullptr) continue;
    slot.entry.fn(arg, slot.entry.user);
  }
  --fireDepth_;
  purgeRemoved();
}

std::size_t CallbackList::size() const {
  return static_cast<std::size_t>(std::count_if(
      slots_.begin(), slots_.end(), [](const std::unique_ptr<Slot>& s) { return !s->removed; }));
}

void CallbackList::purgeRemoved() {
  if (fireDepth_ > 0) return;
  slots_.erase(std::remove_if(slots_.begin(), slots_.end(),
                              [](const std::unique_ptr<Slot>& s) { return s->removed; }),
               slots_.end());
}

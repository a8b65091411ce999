#include "halvex/tracking/fix_listener.h"

#include <algorithm>

#include "halvex/tracking/node_record.h"

void FixFanout::add(FixListener* listener) {
  if (std::find(listeners_.begin(), listeners_.end(), listener) == listeners_.end()) {
    listeners_.push_back(listener);
  }
}

void FixFanout::remove(FixListener* listener) {
  listeners_.erase(std::remove(listeners_.begin(), listeners_.end(), listener), listeners_.end());
}

void FixFanout::fixAccepted(const FixEvent& fix) {
  for (FixListener* listener : listeners_) listener->fixAccepted(fix);
}

FixEvent fixEventOf(const NodeRecord& node, FixKind kind, int64_t fixMs, int64_t arrivalMs) {
  FixEvent event;
  event.id = node.id;
  event.kind = kind;
  event.fixMs = fixMs;
  event.arrivalMs = arrivalMs;
  event.latitude = node.latitude;
  event.longitude = node.longitude;
  event.status = node.status;
  event.comment1 = node.comment1;
  event.comment2 = node.comment2;
  event.name = node.name;
  return event;
}

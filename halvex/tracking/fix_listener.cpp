#include "halvex/tracking/fix_listener.h"

#include <algorithm>

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

#include "halvex/tracking/node_trail.h"

#include <cstddef>

namespace {
const std::vector<TrailStore::Point> kNoPoints;
}

void TrailStore::fixAccepted(const FixEvent& fix) {
  add(fix.id, fix.arrivalMs, fix.latitude, fix.longitude);
}

void TrailStore::add(int, int64_t, double, double) {}

void TrailStore::clear() {
  trails_.clear();
}

void TrailStore::setMinutes(int minutes) {
  minutes_ = minutes < 0 ? 0 : minutes;
  if (minutes_ == 0) clear();
}

const std::vector<TrailStore::Point>& TrailStore::pointsOf(int id) const {
  if (id < 0 || id >= static_cast<int>(trails_.size())) return kNoPoints;
  return trails_[static_cast<std::size_t>(id)];
}

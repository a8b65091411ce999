#include "halvex/tracking/node_trail.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t kMsPerMinute = 60 * 1000;
/// Points past the span a trail may hold before they are erased: an erase moves the whole
/// trail, so it waits for a batch of them rather than running on every append.
constexpr std::size_t kCompactAfter = TrailStore::kMaxPoints / 8;

}  // namespace

void TrailStore::fixAccepted(const FixEvent& fix) {
  add(fix.id, fix.arrivalMs, fix.latitude, fix.longitude);
}

void TrailStore::add(int id, int64_t ms, double latitude, double longitude) {
  if (id < 0 || id > kMaxId || minutes_ == 0) return;
  if (!std::isfinite(latitude) || !std::isfinite(longitude)) return;
  newest_ = seen_ ? std::max(newest_, ms) : ms;
  seen_ = true;
  const int64_t span = minutes_ * kMsPerMinute;
  const int64_t lowest = std::numeric_limits<int64_t>::min();
  const int64_t limit = newest_ < lowest + span ? lowest : newest_ - span;
  if (ms < limit) return;

  if (trails_.size() <= static_cast<std::size_t>(id))
    trails_.resize(static_cast<std::size_t>(id) + 1);
  Trail& trail = trails_[static_cast<std::size_t>(id)];
  dropBefore(trail, limit);
  std::vector<Point>& points = trail.points;
  const std::size_t live = points.size() - trail.first;
  // A trail that has room again takes its points closer together.
  if (live < static_cast<std::size_t>(kMaxPoints) / 4) trail.spacingMs /= 2;
  if (live > 0) ms = std::max(ms, points.back().ms);
  if (live >= 2) {
    const Point& before = points[points.size() - 2];
    const auto samePlace = [latitude, longitude](const Point& p) {
      return p.latitude == latitude && p.longitude == longitude;
    };
    // A stay keeps its first and its last time, and a point closer than the spacing to the one
    // before the newest takes the newest's place: the newest point is always where the node is.
    if ((samePlace(points.back()) && samePlace(before)) || ms - before.ms < trail.spacingMs) {
      points.back() = {ms, latitude, longitude};
      return;
    }
  }
  if (live >= static_cast<std::size_t>(kMaxPoints)) thin(trail);
  points.push_back({ms, latitude, longitude});
}

void TrailStore::dropBefore(Trail& trail, int64_t limit) {
  std::vector<Point>& points = trail.points;
  const auto firstKept =
      std::lower_bound(points.begin() + static_cast<std::ptrdiff_t>(trail.first), points.end(),
                       limit, [](const Point& p, int64_t ms) { return p.ms < ms; });
  trail.first = static_cast<std::size_t>(firstKept - points.begin());
  const std::size_t live = points.size() - trail.first;
  if (trail.first >= kCompactAfter || trail.first >= live) {
    points.erase(points.begin(), firstKept);
    trail.first = 0;
  }
}

void TrailStore::thin(Trail& trail) {
  std::vector<Point>& points = trail.points;
  points.erase(points.begin(), points.begin() + static_cast<std::ptrdiff_t>(trail.first));
  trail.first = 0;
  const std::size_t half = points.size() / 2;
  std::size_t kept = 0;
  for (std::size_t k = 0; k < half; k += 2) points[kept++] = points[k];
  points.erase(points.begin() + static_cast<std::ptrdiff_t>(kept),
               points.begin() + static_cast<std::ptrdiff_t>(half));
  // Thinning the older half again and again would leave ever wider gaps behind the trail's
  // first point until the span no longer holds: new points come no closer than the mean
  // spacing now, so that the span fits at an even density.
  const int64_t mean = (points.back().ms - points.front().ms) / static_cast<int64_t>(points.size());
  trail.spacingMs = std::max(2 * trail.spacingMs, mean);
}

void TrailStore::clear() {
  trails_.clear();
  ++clears_;
  seen_ = false;
  newest_ = 0;
}

void TrailStore::setMinutes(int minutes) {
  minutes_ = std::max(minutes, 0);
  if (minutes_ == 0) clear();
}

TrailPoints TrailStore::pointsOf(int id) const {
  if (id < 0 || id >= static_cast<int>(trails_.size())) return {};
  const Trail& trail = trails_[static_cast<std::size_t>(id)];
  return {trail.points.data() + trail.first, trail.points.size() - trail.first};
}

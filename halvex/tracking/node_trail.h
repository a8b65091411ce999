// Each node's recent track, kept in memory for the trails drawn behind the icons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "halvex/core/tracker_defaults.h"
#include "halvex/tracking/fix_listener.h"

/// One trail point.
struct TrailPoint {
  int64_t ms;        ///< Arrival time, UTC ms since 1970 (replay time during a replay).
  double latitude;   ///< Degrees.
  double longitude;  ///< Degrees.
};

/// One node's trail points, oldest first: a view into the store, valid until the store next
/// changes.
class TrailPoints {
 public:
  TrailPoints() = default;
  TrailPoints(const TrailPoint* first, std::size_t count) : first_(first), count_(count) {}
  const TrailPoint* begin() const { return first_; }
  const TrailPoint* end() const { return first_ + count_; }
  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  const TrailPoint& operator[](std::size_t k) const { return first_[k]; }
  const TrailPoint& front() const { return first_[0]; }
  const TrailPoint& back() const { return first_[count_ - 1]; }

 private:
  const TrailPoint* first_ = nullptr;
  std::size_t count_ = 0;
};

/// The recent positions of every node, oldest first, bounded per node: when a node's trail is
/// full, the older half is thinned (every other point dropped) and from then on the trail takes
/// points no closer in time than its mean spacing (a closer one replaces the newest), so a trail
/// keeps its span at a lower density. Fed by the inputs through FixListener (arrival times);
/// replay refills it after a seek. Points older than the trail span before the newest time seen
/// are dropped.
class TrailStore : public FixListener {
 public:
  using Point = TrailPoint;
  static constexpr int kMaxPoints = 3600;  ///< Points kept per node at most.
  static constexpr int kMaxId = 1000;      ///< Highest node id with a trail.
  /// Trail span before the preferences say, minutes.
  static constexpr int kDefaultMinutes = tracker_defaults::kTrailMinutes;

  /// Appends the fix's position at its arrival time.
  void fixAccepted(const FixEvent& fix) override;
  /// Appends one point to node `id`'s trail. Ids outside 0 to kMaxId, positions that are not
  /// finite and times before the span are ignored; a time before the trail's last point is
  /// taken as that time, so a trail stays in time order. A node that stays put keeps the first
  /// and the last time of its stay as two points, so the line on either side fades as it
  /// should.
  void add(int id, int64_t ms, double latitude, double longitude);
  /// Forgets every trail.
  void clear();
  /// Trail span, minutes; 0 turns trails off (and forgets them).
  void setMinutes(int minutes);
  int minutes() const { return minutes_; }
  /// Node `id`'s points, oldest first (empty for unknown ids).
  TrailPoints pointsOf(int id) const;
  /// Highest id with points + 1 (for walking every trail).
  int idLimit() const { return static_cast<int>(trails_.size()); }
  /// How often every trail was forgotten (by clear or by turning trails off): a reader that
  /// keeps what it has read starts afresh when this changes.
  uint64_t clears() const { return clears_; }

 private:
  /// One node's points: those before `first` are past the span, awaiting a compaction.
  struct Trail {
    std::vector<Point> points;
    std::size_t first = 0;
    /// Least time between points: widened at each thinning, narrowed while under a quarter full.
    int64_t spacingMs = 0;
  };
  /// Moves `trail`'s first point past those older than `limit`, compacting now and then.
  static void dropBefore(Trail& trail, int64_t limit);
  /// Drops every other point of the older half and widens the trail's spacing.
  static void thin(Trail& trail);

  std::vector<Trail> trails_;  ///< By id.
  int minutes_ = kDefaultMinutes;
  int64_t newest_ = 0;  ///< Newest time seen, UTC ms; meaningful once seen_.
  bool seen_ = false;
  uint64_t clears_ = 0;
};

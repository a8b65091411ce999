// Each node's recent track, kept in memory for the trails drawn behind the icons.
#pragma once

#include <cstdint>
#include <vector>

#include "halvex/tracking/fix_listener.h"

/// The recent positions of every node, oldest first, bounded per node: when a node's trail is
/// full, the older half is thinned (every other point dropped), so a trail keeps its span at a
/// lower density. Fed by the inputs through FixListener (arrival times); replay refills it after
/// a seek. Points older than the trail span before the newest time seen are dropped.
class TrailStore : public FixListener {
 public:
  /// One trail point.
  struct Point {
    int64_t ms;        ///< Arrival time, UTC ms since 1970 (replay time during a replay).
    double latitude;   ///< Degrees.
    double longitude;  ///< Degrees.
  };
  static constexpr int kMaxPoints = 3600;     ///< Points kept per node at most.
  static constexpr int kDefaultMinutes = 10;  ///< Trail span before the preferences say.

  /// Appends the fix's position at its arrival time (an unchanged position is not repeated).
  void fixAccepted(const FixEvent& fix) override;
  /// Appends one point to node `id`'s trail (ids 0 to 1000; others are ignored).
  void add(int id, int64_t ms, double latitude, double longitude);
  /// Forgets every trail.
  void clear();
  /// Trail span, minutes; 0 turns trails off (and forgets them).
  void setMinutes(int minutes);
  int minutes() const { return minutes_; }
  /// Node `id`'s points, oldest first (empty for unknown ids).
  const std::vector<Point>& pointsOf(int id) const;
  /// Highest id with points + 1 (for walking every trail).
  int idLimit() const { return static_cast<int>(trails_.size()); }

 private:
  std::vector<std::vector<Point>> trails_;  ///< By id.
  int minutes_ = kDefaultMinutes;
};

// The simulated fleet: vehicles driving the routes in groups (convoys of one or more), others
// holding posts, all of them falling silent now and then; advanced step by step and written into
// the node records as their last reports.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/fleet_routes.h"

class NodeTable;

namespace fleet {

using fleet_routes::Point;
using fleet_routes::Random;
using fleet_routes::Route;

/// A vehicle as the node table will know it.
struct Entry {
  int id;
  std::string name;
};

/// How the fleet is laid out and behaves, as the command line sets it.
struct Settings {
  unsigned long long seed = 1;  ///< Seed of the layout and the events.
  double lat = 0;               ///< Latitude of the region centre, degrees.
  double lon = 0;               ///< Longitude of the region centre, degrees.
  double radius = 0;            ///< Region radius, metres.
  double timeScale = 1;         ///< Speed of the vehicles' clock against the wall clock.
  double idleAfter = 0;         ///< Silent seconds before a vehicle is idle.
  double lostAfter = 0;         ///< Silent seconds before a vehicle is lost.
  double pauseEvery = 0;        ///< Mean seconds between a vehicle's silences; 0 for none.
};

/// Vehicles that drive together: one route, one distance along it, one speed.
struct Group {
  int route = 0;
  double distance = 0;      ///< Metres along the route of the group's lead.
  double cruise = 0;        ///< Cruising speed, m/s.
  double swingPeriod = 60;  ///< Seconds of one cycle of the speed's variation.
  double swingPhase = 0;
  double speedFactor = 1;  ///< 0 halted .. 1 cruising, eased towards its goal.
  bool halted = false;
  double haltEnd = 0;   ///< Vehicle clock, seconds.
  double nextHalt = 0;  ///< Vehicle clock, seconds.
  double speed = 0;     ///< Current speed, m/s.
};

/// One simulated vehicle and what its last report said.
struct Vehicle {
  int id = 0;
  std::string name;
  int group = -1;      ///< -1 when holding a post.
  int place = 0;       ///< Position in its convoy, 0 the lead.
  Point post;          ///< Where a holding vehicle stands.
  double latency = 0;  ///< Age of a fresh report, seconds.
  bool silent = false;
  double silenceEnd = 0;   ///< Wall clock since the start, seconds.
  double nextSilence = 0;  ///< Wall clock since the start, seconds.
  double lastReport = 0;   ///< Wall clock since the start of the last report, seconds.
  Point reported;          ///< Position of the last report.
  std::string comment1, comment2;
};

/// The fleet: routes, groups and vehicles, advanced step by step.
class Fleet {
 public:
  /// Lays out the fleet of `entries`, in their order, from the seed of `settings`: every tenth
  /// vehicle holds a post, the others drive, those whose names agree up to a comma together.
  Fleet(const Settings& settings, const std::vector<Entry>& entries);

  /// Advances the vehicles to `wall` seconds since the start.
  void advance(double wall);

  /// Writes each vehicle's last report into its node record, as seen at `wall` seconds since
  /// the start; `epoch` is the wall clock at the start.
  void publish(NodeTable& table, double wall, double epoch) const;

  size_t size() const { return vehicles_.size(); }

 private:
  double exponential(double mean);
  double shortestSilence() const;
  double longestSilence() const;

  /// Where vehicle v is at `now` on the vehicles' clock (its group's distance being current).
  Point positionOf(const Vehicle& v, double now) const;

  /// Sets the comments of a fresh report.
  void describe(Vehicle& v) const;

  const Settings settings_;
  Random rng_;
  std::vector<Route> routes_;
  std::vector<Group> groups_;
  std::vector<Vehicle> vehicles_;
  double clock_ = 0;  ///< The vehicles' clock at the last advance, seconds.
};

}  // namespace fleet

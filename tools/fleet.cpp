#include "tools/fleet.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>

#include "common/angles.h"
#include "halvex/tracking/node_record.h"
#include "halvex/tracking/node_table.h"

namespace fleet {

namespace {

using fleet_routes::makeRing;
using fleet_routes::makeTour;
using fleet_routes::uniform;

constexpr double kMetresPerDegree = 111320.0;
constexpr int kHoldingEvery = 10;            ///< Every tenth vehicle holds a post.
constexpr double kConvoySpacing = 150;       ///< Metres between convoy vehicles.
constexpr double kMinSpeed = 11;             ///< Slowest cruising speed, m/s (40 km/h).
constexpr double kMaxSpeed = 22;             ///< Fastest cruising speed, m/s (80 km/h).
constexpr double kSpeedSwing = 0.2;          ///< Cruising speed varies by this fraction.
constexpr double kMeanHaltInterval = 150;    ///< Mean vehicle seconds between a group's halts.
constexpr double kMinHalt = 8;               ///< Shortest halt, vehicle seconds.
constexpr double kMaxHalt = 25;              ///< Longest halt, vehicle seconds.
constexpr double kSpeedResponse = 4;         ///< Seconds to reach a new speed, roughly.
constexpr double kInitialSilentShare = 0.1;  ///< Vehicles already silent at the start.
constexpr double kMaxLatency = 0.6;          ///< Largest age of a fresh report, seconds.

}  // namespace

Fleet::Fleet(const Settings& settings, const std::vector<Entry>& entries)
    : settings_(settings), rng_(settings.seed) {
  const Settings& o = settings_;
  const double radius = o.radius;
  // Convoys: vehicles whose names agree up to a comma.
  std::vector<std::string> convoyKeys;
  for (size_t i = 0; i < entries.size(); ++i) {
    Vehicle v;
    v.id = entries[i].id;
    v.name = entries[i].name;
    v.latency = uniform(rng_, 0.2, 1.0) * std::min(kMaxLatency, 0.25 * o.idleAfter);
    if (i % kHoldingEvery == 0) {
      const double angle = uniform(rng_, 0, 2 * kPi);
      const double distance = i == 0 ? 0 : uniform(rng_, 0.1, 0.6) * radius;
      v.post = {distance * std::cos(angle), distance * std::sin(angle)};
    } else {
      const size_t comma = v.name.find(',');
      const std::string key = comma == std::string::npos ? "" : v.name.substr(0, comma);
      int group = -1;
      for (size_t g = 0; g < convoyKeys.size(); ++g) {
        if (!key.empty() && convoyKeys[g] == key) group = static_cast<int>(g);
      }
      if (group < 0) {
        group = static_cast<int>(groups_.size());
        groups_.emplace_back();
        convoyKeys.push_back(key);
      } else {
        for (const Vehicle& other : vehicles_) v.place += other.group == group ? 1 : 0;
      }
      v.group = group;
    }
    vehicles_.push_back(v);
  }
  // About three groups to a route, alternating rings and tours.
  const int routeCount = std::max(1, static_cast<int>(groups_.size() + 2) / 3);
  for (int r = 0; r < routeCount; ++r) {
    routes_.push_back(r % 2 == 0 ? makeTour(rng_, radius, r + 1) : makeRing(rng_, radius, r + 1));
  }
  for (size_t g = 0; g < groups_.size(); ++g) {
    Group& group = groups_[g];
    group.route = static_cast<int>(g % routes_.size());
    group.distance = uniform(rng_, 0, routes_[static_cast<size_t>(group.route)].length());
    group.cruise = uniform(rng_, kMinSpeed, kMaxSpeed);
    group.swingPeriod = uniform(rng_, 30, 90);
    group.swingPhase = uniform(rng_, 0, 2 * kPi);
    group.nextHalt = exponential(kMeanHaltInterval);
    group.speed = group.cruise;
  }
  // Every vehicle has reported once just before the start; some have been silent for a while
  // already, so that idle and lost ones show from the start (never the first, which the demo
  // follows).
  std::vector<size_t> others;
  for (size_t i = 0; i < vehicles_.size(); ++i) {
    Vehicle& v = vehicles_[i];
    v.nextSilence = o.pauseEvery > 0 ? exponential(o.pauseEvery) : 0;
    v.lastReport = -v.latency;
    v.reported = positionOf(v, 0);
    describe(v);
    if (i > 0) others.push_back(i);
  }
  std::shuffle(others.begin(), others.end(), rng_);
  size_t silentCount = 0;
  if (o.pauseEvery > 0 && !others.empty()) {
    silentCount = std::max<size_t>(
        1, static_cast<size_t>(std::lround(kInitialSilentShare * vehicles_.size())));
  }
  for (size_t k = 0; k < silentCount; ++k) {
    Vehicle& v = vehicles_[others[k]];
    v.silent = true;
    v.lastReport = -uniform(rng_, 0, 1.2 * o.lostAfter);
    v.silenceEnd = uniform(rng_, 0.3, 1.0) * longestSilence();
    v.reported = positionOf(v, v.lastReport * o.timeScale);
    describe(v);
  }
}

void Fleet::advance(double wall) {
  const double now = wall * settings_.timeScale;  // the vehicles' clock
  const double step = std::max(0.0, now - clock_);
  clock_ = now;
  for (Group& g : groups_) {
    if (g.halted && now >= g.haltEnd) {
      g.halted = false;
      g.nextHalt = now + exponential(kMeanHaltInterval);
    } else if (!g.halted && now >= g.nextHalt) {
      g.halted = true;
      g.haltEnd = now + uniform(rng_, kMinHalt, kMaxHalt);
    }
    const double goal = g.halted ? 0.0 : 1.0;
    g.speedFactor += (goal - g.speedFactor) * std::min(1.0, step / kSpeedResponse);
    const double swing = 1 + kSpeedSwing * std::sin(2 * kPi * now / g.swingPeriod + g.swingPhase);
    g.speed = g.cruise * swing * g.speedFactor;
    g.distance += g.speed * step;
  }
  for (Vehicle& v : vehicles_) {
    if (v.silent && wall >= v.silenceEnd) {
      v.silent = false;
      if (settings_.pauseEvery > 0) v.nextSilence = wall + exponential(settings_.pauseEvery);
    } else if (!v.silent && settings_.pauseEvery > 0 && wall >= v.nextSilence) {
      v.silent = true;
      v.silenceEnd = wall + uniform(rng_, shortestSilence(), longestSilence());
    }
    if (v.silent) continue;
    v.lastReport = wall - v.latency * uniform(rng_, 0.8, 1.2);
    v.reported = positionOf(v, now);
    describe(v);
  }
}

void Fleet::publish(NodeTable& table, double wall, double epoch) const {
  const Settings& o = settings_;
  const double cosLat = std::max(std::cos(o.lat * kPi / 180), 1e-6);
  for (const Vehicle& v : vehicles_) {
    NodeRecord* node = table.nodeById(v.id);
    if (node == nullptr) continue;
    // The status follows the age as the record shows it, in milliseconds.
    const double age = std::round(std::max(0.0, wall - v.lastReport) * 1000) / 1000;
    const int status = age >= o.lostAfter   ? NodeRecord::kLost
                       : age >= o.idleAfter ? NodeRecord::kIdle
                                            : NodeRecord::kAlive;
    const double lat = std::clamp(o.lat + v.reported.y / kMetresPerDegree, -90.0, 90.0);
    const double lon = std::remainder(o.lon + v.reported.x / (kMetresPerDegree * cosLat), 360.0);
    node->applyStateRecord(lat, lon, status, v.comment1.c_str(), v.comment2.c_str(), age,
                           v.name.c_str());
    const double reportTime = epoch + v.lastReport;
    const double whole = std::floor(reportTime);
    node->lock();
    node->lastPacketTime.seconds = static_cast<int64_t>(whole);
    node->lastPacketTime.milliseconds =
        std::min(999, static_cast<int>((reportTime - whole) * 1000));
    node->unlock();
  }
}

double Fleet::exponential(double mean) {
  return std::exponential_distribution<double>(1 / mean)(rng_);
}

double Fleet::shortestSilence() const {
  return settings_.idleAfter + 0.5 * (settings_.lostAfter - settings_.idleAfter);
}

double Fleet::longestSilence() const {
  return 2.5 * settings_.lostAfter;
}

Point Fleet::positionOf(const Vehicle& v, double now) const {
  if (v.group < 0) return v.post;
  const Group& g = groups_[static_cast<size_t>(v.group)];
  // Before the start (a report from the past), the group is put back at cruising speed.
  const double back = now < clock_ ? (clock_ - now) * g.cruise : 0;
  return routes_[static_cast<size_t>(g.route)].at(g.distance - back - v.place * kConvoySpacing);
}

void Fleet::describe(Vehicle& v) const {
  if (v.group < 0) {
    v.comment1 = "post";
    v.comment2 = "holding";
    return;
  }
  const Group& g = groups_[static_cast<size_t>(v.group)];
  v.comment1 = routes_[static_cast<size_t>(g.route)].label();
  const long kmh = std::lround(g.speed * 3.6);
  v.comment2 = kmh < 1 ? "halted" : "moving " + std::to_string(kmh) + " km/h";
}

}  // namespace fleet

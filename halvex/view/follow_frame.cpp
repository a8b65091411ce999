#include "halvex/view/follow_frame.h"

#include <algorithm>
#include <cmath>

#include "common/platform/perf_counter.h"
#include "halvex/gl/view_camera.h"
#include "halvex/tracking/node_table.h"
#include "halvex/tracking/tracking_settings.h"

namespace {

/// Navigation modes of TrackingSettings::navigationMode.
constexpr int kCenterAndFrame = 0;
constexpr int kCenterOnTarget = 1;

/// Display mode that frames every node; any other frames the target group only.
constexpr int kAllNodes = 0;

constexpr double kMsPerSecond = 1000.0;
/// Smoothing exponent per millisecond.
constexpr double kStepPerMs = 0.03;
/// Follow fraction: base factor, distance scale (in view widths) and power.
constexpr double kFollowBase = 0.1;
constexpr double kFollowDistanceScale = 4.0;
constexpr double kFollowPower = 8.0;
/// Least and greatest part of the way to the target covered per step.
constexpr double kMinFollowFraction = 0.1;
constexpr double kMaxFollowFraction = 1.0;
/// Framing: part of the way covered by one 60 fps frame, and that frame's length.
constexpr double kFramingFractionPerFrame = 0.01;
constexpr double kFramingFrameMs = 1000.0 / 60.0;
/// Margin of the framing extent around the counted nodes.
constexpr double kFramingMargin = 1.5;

/// A node's position read under its lock, and whether it has been seen alive.
struct NodeFix {
  double x = 0;  ///< Longitude.
  double y = 0;  ///< Latitude.
  bool alive = false;
};

NodeFix readFix(NodeRecord* node) {
  NodeFix fix;
  if (node == nullptr) return fix;
  node->lock();
  fix.x = node->longitude;
  fix.y = node->latitude;
  fix.alive = node->seenAlive != 0;
  node->unlock();
  // A position that is not a number cannot be followed or framed (it would poison the
  // smoothed values for good).
  if (!std::isfinite(fix.x) || !std::isfinite(fix.y)) fix.alive = false;
  return fix;
}

/// Largest offsets from the target over the counted nodes.
struct Spread {
  double dx = 0;
  double dy = 0;
  int counted = 0;

  void add(const NodeFix& fix, const NodeFix& target) {
    if (!fix.alive) return;
    dx = std::max(dx, std::fabs(target.x - fix.x));
    dy = std::max(dy, std::fabs(target.y - fix.y));
    ++counted;
  }
};

Spread spreadAround(const NodeFix& target, const TrackingSettings& settings,
                    const NodeTable& table) {
  Spread spread;
  if (settings.displayMode == kAllNodes) {
    for (int i = 0; i < table.count(); ++i) spread.add(readFix(table.nodeAt(i)), target);
    return spread;
  }
  NodeRecord* chase = table.nodeById(settings.chaseId);
  if (chase != nullptr && chase != table.nodeById(settings.targetId)) {
    spread.add(readFix(chase), target);
  }
  const int close = std::min(settings.closeCount, NodeTable::kNearestCount);
  for (int k = 0; k < close; ++k) spread.add(readFix(table.nearestAt(k)), target);
  return spread;
}

}  // namespace

double navigationStepMs(int64_t previous, int64_t now) {
  if (previous < 0) return kFirstNavigationStepMs;
  if (now <= previous) return 0;
  const double ms =
      static_cast<double>(now - previous) * kMsPerSecond / static_cast<double>(perfFrequency());
  return ms > kMaxNavigationStepMs ? kMaxNavigationStepMs : ms;
}

double followFraction(double distance, double extent, double ms) {
  if (!(distance > 0)) return kMaxFollowFraction;  // already there (or no usable distance)
  if (!(extent > 0)) return kMaxFollowFraction;
  const double k = kStepPerMs * ms;
  const double j =
      std::pow(kFollowBase * std::pow(kFollowDistanceScale * distance / extent, kFollowPower), k);
  if (std::isnan(j)) return kMaxFollowFraction;
  return std::clamp(j, kMinFollowFraction, kMaxFollowFraction);
}

double framingFraction(double ms) {
  if (!(ms > 0)) return 0;
  return 1 - std::pow(1 - kFramingFractionPerFrame, ms / kFramingFrameMs);
}

double framingExtent(double dx, double dy, double width, double height) {
  const double ratio = height > 0 ? width / height : 1;
  return kFramingMargin * std::max(2 * dx, 2 * dy * ratio);
}

void followAndFrame(ViewCamera& camera, const TrackingSettings& settings, const NodeTable& table,
                    double drawWidth, double drawHeight, FollowState& state, int64_t now) {
  NodeRecord* targetNode = table.nodeById(settings.targetId);
  const NodeFix target = readFix(targetNode);

  if (!state.following && targetNode != nullptr && target.alive) {
    state.following = true;
    state.smoothX = target.x;
    state.smoothY = target.y;
  }

  if (settings.displayMode != state.lastDisplayMode) {
    state.resetRequested = true;
    state.lastDisplayMode = settings.displayMode;
  }

  if (settings.navigationMode == kCenterAndFrame) {
    if (!state.following) {
      state.framing = false;
      state.resetRequested = true;
    } else if (!target.alive) {
      // No usable target position (a new target not seen yet, or none): hold the view.
      state.framing = false;
    } else {
      const Spread spread = spreadAround(target, settings, table);
      state.framing = spread.counted > 0;
      const double wanted = framingExtent(spread.dx, spread.dy, drawWidth, drawHeight);
      // Nodes all at the target's place span nothing; keep the current extent then.
      state.wantedExtent = wanted > 0 && std::isfinite(wanted) ? wanted : camera.extent();
    }
  } else if (settings.navigationMode == kCenterOnTarget) {
    state.framing = false;
    state.resetRequested = true;
  } else {
    state.following = false;
    state.framing = false;
    state.resetRequested = true;
  }

  const double ms = navigationStepMs(state.lastStep, now);
  state.lastStep = now;

  if (state.following && target.alive) {
    if (!std::isfinite(state.smoothX) || !std::isfinite(state.smoothY)) {
      state.smoothX = target.x;
      state.smoothY = target.y;
    }
    const double distance = std::hypot(target.x - state.smoothX, target.y - state.smoothY);
    const double j = followFraction(distance, camera.extent(), ms);
    state.smoothX = (1 - j) * state.smoothX + j * target.x;
    state.smoothY = (1 - j) * state.smoothY + j * target.y;
    camera.setCenter(state.smoothX, state.smoothY);
  }

  if (state.framing) {
    if (state.resetRequested || !std::isfinite(state.smoothExtent)) {
      state.smoothExtent = state.wantedExtent;
      state.resetRequested = false;
    }
    const double o = framingFraction(ms);
    state.smoothExtent = (1 - o) * state.smoothExtent + o * state.wantedExtent;
    camera.setExtent(state.smoothExtent);
  }
}

// Who the operator follows and how the view follows them.
#pragma once

#include "halvex/core/tracker_defaults.h"

/// The target, chase and close vehicles, the navigation and display modes, the label toggles, the
/// label declutter, the trails' span, the field reports' span and the alert and idle thresholds.
struct TrackingSettings {
  static constexpr int kMaxCloseCount = 9;  ///< Most close vehicles that can be tracked.
  static constexpr int kLabelCount = 4;     ///< Node name, packet comment 1 and 2, GPS text.

  int targetId = 1;         ///< Id of the target vehicle.
  bool targetIcon = false;  ///< Draw the target with its role icon.
  int chaseId = 2;          ///< Id of the chase vehicle.
  bool chaseIcon = false;   ///< Draw the chase vehicle with its role icon.
  int closeCount = 5;       ///< Close vehicles tracked around the target, 0 to 9.
  bool closeIcon = false;   ///< Draw close vehicles with their role icons.
  int navigationMode = 2;   ///< 0 centre on target and frame all, 1 centre on target, 2 roam.
  int displayMode = 0;      ///< 0 all nodes, 1 only the target group.
  bool showComment[kLabelCount] = {true, true, true, true};  ///< Labels drawn beside nodes.
  bool labelDeclutter = true;  ///< Leave out labels that would overlap labels drawn first.
  /// Span of the trails drawn behind the nodes, minutes, 0 (no trails) to kMaxTrailMinutes.
  int trailMinutes = tracker_defaults::kTrailMinutes;
  /// Field reports shown: those of the last N hours before the replay time (live: before the
  /// newest report), 0 (all) to kMaxReportHours.
  int reportHours = tracker_defaults::kReportHours;
  double alertDistance = 100.0;  ///< Alert distance.
  bool alarm = false;            ///< Sound the alarm.
  double mediumIdle =
      tracker_defaults::kSettingsMediumIdle;  ///< Seconds without reception before a node is idle.
  double badIdle =
      tracker_defaults::kSettingsBadIdle;  ///< Seconds without reception before a node is lost.
};

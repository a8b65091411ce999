// The navigation step run before each frame: the camera follows the target and frames the
// visible nodes as the navigation and display modes ask.
#pragma once

#include <cstdint>

class NodeTable;
class ViewCamera;
struct TrackingSettings;

/// Following and framing state kept between navigation steps.
struct FollowState {
  bool following = false;       ///< The camera follows the target.
  bool framing = false;         ///< The extent is smoothed toward the wanted extent.
  bool resetRequested = false;  ///< The next framing step starts from the wanted extent.
  int lastDisplayMode = -1;     ///< Display mode at the previous step; -1 before the first.
  double smoothX = 0;           ///< Smoothed target position (world units).
  double smoothY = 0;
  double smoothExtent = 1;  ///< Smoothed extent (world units).
  double wantedExtent = 1;  ///< Extent that frames the counted nodes.
  int64_t lastStep = -1;    ///< Counter value of the previous step; -1 before the first.
};

/// Runs one navigation step at counter value `now` (perfCounter units) for a draw area of the
/// given size in pixels, moving the camera through setCenter and setExtent.
void followAndFrame(ViewCamera& camera, const TrackingSettings& settings, const NodeTable& table,
                    double drawWidth, double drawHeight, FollowState& state, int64_t now);

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

/// Longest pause between steps that the smoothing takes into account (ms).
constexpr double kMaxNavigationStepMs = 10000.0;
/// Step length assumed for the first step, which has no previous one: one frame at 60 fps.
constexpr double kFirstNavigationStepMs = 1000.0 / 60.0;

/// Milliseconds between counter values `previous` and `now`: kFirstNavigationStepMs when
/// previous is negative (no step yet), 0 when the counter went back, kMaxNavigationStepMs after
/// a longer pause.
double navigationStepMs(int64_t previous, int64_t now);

/// Part of the way from the smoothed position to a target `distance` away that one step of
/// `ms` covers with extent `extent`: 1 (a jump) far from the centre, at least 0.1 near it.
double followFraction(double distance, double extent, double ms);

/// Part of the way from the smoothed extent to the wanted extent that one step of `ms` covers.
/// One frame at 60 fps covers a hundredth; longer steps cover proportionally more, as that many
/// 60 fps frames would.
double framingFraction(double ms);

/// Extent that frames nodes up to dx and dy degrees from the target in a draw area of
/// width x height pixels: 1.5 x max(2 dx, 2 dy x width / height).
double framingExtent(double dx, double dy, double width, double height);

/// Runs one navigation step at counter value `now` (perfCounter units) for a draw area of the
/// given size in pixels, moving the camera through setCenter and setExtent.
void followAndFrame(ViewCamera& camera, const TrackingSettings& settings, const NodeTable& table,
                    double drawWidth, double drawHeight, FollowState& state, int64_t now);

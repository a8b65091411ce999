// The GeoJSON feed for GIS tools and the KML files beside it for globe viewers: every node with a
// position, rewritten whole at the state output rate so that readers reloading on a timer see
// the node table as it is. Beside the feed PATH (feed.geojson):
//   feed.kml       the same nodes as KML placemarks;
//   feed-link.kml  a KML network link that reloads feed.kml at the output rate.
// The features' properties have the names and values of the MQTT node state message.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "halvex/streams/node_json.h"

/// Appends the GeoJSON FeatureCollection of `states` (RFC 7946): one Point feature a node, its
/// coordinates [lon, lat] in degrees, its properties the MQTT message's members from "id" to
/// "source". Nodes whose position is not finite are left out.
void appendGeoJsonFeed(std::string& out, const std::vector<NodeState>& states);

/// Appends the KML document of `states`: one Placemark a node with its name, a description
/// (comments, status and fix time, as HTML), the same members as ExtendedData and a Point at
/// "lon,lat,0". Nodes whose position is not finite are left out.
void appendKmlPlacemarks(std::string& out, const std::vector<NodeState>& states);

/// The KML network link document that loads `fileName` (a file in the link's own folder, given
/// as a relative address) every `periodSeconds` seconds, at least kGeoFeedMinRefreshSeconds.
std::string kmlNetworkLink(const std::string& fileName, double periodSeconds);

/// Shortest refresh interval a network link asks for, s: globe viewers fetch the placemarks
/// over again each time, and a few times a second is as fast as the eye follows.
constexpr double kGeoFeedMinRefreshSeconds = 0.1;

/// The placemarks file beside the feed `path`: its extension replaced by ".kml"
/// (feed.geojson -> feed.kml, feed -> feed.kml; a dot in a folder name or at the start of the
/// file name is not an extension).
std::string geoFeedPlacemarksPath(const std::string& path);

/// The network link file beside the feed `path`: its extension replaced by "-link.kml"
/// (feed.geojson -> feed-link.kml).
std::string geoFeedLinkPath(const std::string& path);

/// The feed's writer. write() runs on the loop thread; status(), written() and failures() may be
/// read from any thread.
class GeoJsonOutput {
 public:
  GeoJsonOutput() = default;
  GeoJsonOutput(const GeoJsonOutput&) = delete;
  GeoJsonOutput& operator=(const GeoJsonOutput&) = delete;

  /// The feed's file; empty: none (write() then does nothing and returns false). A new path
  /// starts the counts afresh. Loop thread.
  void setPath(const std::string& path);
  const std::string& path() const { return path_; }

  /// Replaces the feed and its placemarks file with `states` (only nodes with a position), each
  /// file in one step, and the link file when its content changes (`periodSeconds`, the output
  /// period, or the file names). False when a file could not be written: it then keeps its old
  /// content, and the first failure of a streak is reported on standard error. Loop thread.
  bool write(const std::vector<NodeState>& states, double periodSeconds);

  /// For the operator: "writing PATH; N written" or "cannot write PATH: reason" (PATH the file
  /// that failed); "no file set" before setPath() with a path.
  std::string status() const;
  long written() const { return written_.load(std::memory_order_relaxed); }  ///< Feeds written.
  long failures() const { return failures_.load(std::memory_order_relaxed); }

 private:
  /// Replaces `file` by `text`; on failure notes why.
  bool replace(const std::string& file, const std::string& text);
  void fail(const std::string& file, const std::string& reason);

  // Loop thread only.
  std::string path_;
  std::string placemarksPath_;
  std::string linkPath_;
  std::string linkWritten_;  ///< Content of the link file last written; empty: write it.
  std::string feedText_;     ///< Reused for each write.
  std::string kmlText_;
  std::string linkText_;
  bool failing_ = false;  ///< The last write failed.

  mutable std::mutex statusMutex_;
  std::string statusPath_;  ///< Guarded by statusMutex_: the feed, or the file that failed.
  std::string reason_;  ///< Guarded by statusMutex_: why the last write failed; empty: it did not.
  std::atomic<long> written_{0};
  std::atomic<long> failures_{0};
};

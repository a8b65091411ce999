#include "halvex/streams/geo_feed.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/platform/atomic_file.h"
#include "common/platform/install_layout.h"
#include "common/platform/paths.h"
#include "halvex/core/text_escape.h"
#include "halvex/core/utc_time.h"

namespace {

/// Bytes a node takes in the feed and in the placemarks, about, with its texts short: reserved
/// up front so that a write of every node grows no string while it appends.
constexpr size_t kFeedBytesPerNode = 384;
constexpr size_t kKmlBytesPerNode = 1024;
constexpr size_t kHeadBytes = 256;

/// The name the KML documents give the tracker's nodes.
constexpr const char* kKmlDocumentName = "halvex nodes";

constexpr const char* kKmlHead =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n";

bool hasPosition(const NodeState& state) {
  return std::isfinite(state.latitude) && std::isfinite(state.longitude);
}

/// Appends `text` as a relative URL path: bytes other than letters, digits and - . _ ~ as %XX,
/// so that blanks, '#', '?' and ':' in a file name keep their meaning of plain characters.
void appendUrlPath(std::string& out, const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
        (byte >= '0' && byte <= '9') || c == '-' || c == '.' || c == '_' || c == '~') {
      out += c;
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    }
  }
}

/// Opens one ExtendedData member: <Data name="NAME"><value>
void openData(std::string& out, const char* name) {
  out += "<Data name=\"";
  out += name;
  out += "\"><value>";
}

constexpr const char* kCloseData = "</value></Data>\n";

void appendTextData(std::string& out, const char* name, const std::string& text) {
  openData(out, name);
  appendXmlText(out, text);
  out += kCloseData;
}

/// The placemark's description as HTML, which globe viewers show: the comments that are set
/// and the status with the fix time `time`, one a line. The comments are escaped as HTML here and
/// the whole once more as XML by the caller, so that a comment never becomes markup.
void buildDescription(std::string& html, const NodeState& state, std::string_view time) {
  html.clear();
  for (const std::string* comment : {&state.comment1, &state.comment2}) {
    if (comment->empty()) continue;
    appendXmlText(html, *comment);
    html += "<br>";
  }
  html += nodeStatusWord(state.status);
  html += ", ";
  html += time;
}

}  // namespace

void appendGeoJsonFeed(std::string& out, const std::vector<NodeState>& states) {
  out.reserve(out.size() + kHeadBytes + states.size() * kFeedBytesPerNode);
  out += "{\"type\":\"FeatureCollection\",\"features\":[";
  bool first = true;
  for (const NodeState& state : states) {
    if (!hasPosition(state)) continue;
    out += first ? "\n" : ",\n";
    first = false;
    out += "{\"type\":\"Feature\",\"geometry\":{\"type\":\"Point\",\"coordinates\":[";
    appendNodeDegrees(out, state.longitude);
    out += ',';
    appendNodeDegrees(out, state.latitude);
    out += "]},\"properties\":{";
    appendNodeStateMembers(out, state);
    out += "}}";
  }
  out += "\n]}\n";
}

void appendKmlPlacemarks(std::string& out, const std::vector<NodeState>& states) {
  out.reserve(out.size() + kHeadBytes + states.size() * kKmlBytesPerNode);
  out += kKmlHead;
  out += "<Document>\n<name>";
  out += kKmlDocumentName;
  out += "</name>\n";
  std::string html;
  char time[kUtcTextSize];
  for (const NodeState& state : states) {
    if (!hasPosition(state)) continue;
    const std::string_view timeText(
        time, static_cast<size_t>(formatUtcTime(state.timeMs, UtcStyle::kIso, time)));
    out += "<Placemark>\n<name>";
    appendXmlText(out, state.name);
    out += "</name>\n<description>";
    buildDescription(html, state, timeText);
    appendXmlText(out, html);
    out += "</description>\n<ExtendedData>\n";
    openData(out, "id");
    out += std::to_string(state.id);
    out += kCloseData;
    appendTextData(out, "name", state.name);
    openData(out, "lat");
    appendNodeDegrees(out, state.latitude);
    out += kCloseData;
    openData(out, "lon");
    appendNodeDegrees(out, state.longitude);
    out += kCloseData;
    openData(out, "time");
    out += timeText;
    out += kCloseData;
    openData(out, "status");
    out += nodeStatusWord(state.status);
    out += kCloseData;
    openData(out, "age");
    appendNodeSeconds(out, state.age);
    out += kCloseData;
    appendTextData(out, "comment1", state.comment1);
    appendTextData(out, "comment2", state.comment2);
    appendTextData(out, "source", state.source);
    out += "</ExtendedData>\n<Point><coordinates>";
    appendNodeDegrees(out, state.longitude);
    out += ',';
    appendNodeDegrees(out, state.latitude);
    out += ",0</coordinates></Point>\n</Placemark>\n";
  }
  out += "</Document>\n</kml>\n";
}

std::string kmlNetworkLink(const std::string& fileName, double periodSeconds) {
  const double interval = periodSeconds >= kGeoFeedMinRefreshSeconds && std::isfinite(periodSeconds)
                              ? periodSeconds
                              : kGeoFeedMinRefreshSeconds;
  std::string out = kKmlHead;
  out += "<NetworkLink>\n<name>";
  out += kKmlDocumentName;
  out += "</name>\n<Link>\n<href>";
  std::string href;
  appendUrlPath(href, fileName);
  appendXmlText(out, href);
  out += "</href>\n<refreshMode>onInterval</refreshMode>\n<refreshInterval>";
  appendNodeSeconds(out, interval);
  out += "</refreshInterval>\n</Link>\n</NetworkLink>\n</kml>\n";
  return out;
}

std::string geoFeedPlacemarksPath(const std::string& path) {
  return withExtension(path, ".kml");
}

std::string geoFeedLinkPath(const std::string& path) {
  return withExtension(path, "-link.kml");
}

void GeoJsonOutput::setPath(const std::string& path) {
  if (path == path_) return;
  path_ = path;
  placemarksPath_ = path.empty() ? std::string() : geoFeedPlacemarksPath(path);
  linkPath_ = path.empty() ? std::string() : geoFeedLinkPath(path);
  linkWritten_.clear();
  failing_ = false;
  written_ = 0;
  failures_ = 0;
  std::lock_guard<std::mutex> hold(statusMutex_);
  statusPath_ = path;
  reason_.clear();
}

bool GeoJsonOutput::write(const std::vector<NodeState>& states, double periodSeconds) {
  if (path_.empty()) return false;
  if (placemarksPath_ == path_) {
    // feed.kml: the placemarks would overwrite the feed at every write.
    fail(path_, "the feed's name must not end in .kml, the name of its placemarks file");
    return false;
  }
  feedText_.clear();
  appendGeoJsonFeed(feedText_, states);
  if (!replace(path_, feedText_)) return false;
  kmlText_.clear();
  appendKmlPlacemarks(kmlText_, states);
  if (!replace(placemarksPath_, kmlText_)) return false;
  const PathParts placemarks = splitPath(placemarksPath_);
  linkText_ = kmlNetworkLink(placemarks.name + placemarks.ext, periodSeconds);
  // Rewritten when it changes, or when someone removed it.
  if (linkText_ != linkWritten_ || ::access(linkPath_.c_str(), F_OK) != 0) {
    if (!replace(linkPath_, linkText_)) return false;
    linkWritten_ = linkText_;
  }
  failing_ = false;
  written_.fetch_add(1, std::memory_order_relaxed);
  std::lock_guard<std::mutex> hold(statusMutex_);
  statusPath_ = path_;
  reason_.clear();
  return true;
}

bool GeoJsonOutput::replace(const std::string& file, const std::string& text) {
  if (replaceFileAtomically(file, text.data(), text.size(), Durability::kSnapshot)) return true;
  const int error = errno;
  fail(file, std::strerror(error != 0 ? error : EIO));
  return false;
}

void GeoJsonOutput::fail(const std::string& file, const std::string& reason) {
  failures_.fetch_add(1, std::memory_order_relaxed);
  if (!failing_) {
    std::fprintf(stderr, "halvex: GeoJSON feed: cannot write %s: %s\n", file.c_str(),
                 reason.c_str());
  }
  failing_ = true;
  std::lock_guard<std::mutex> hold(statusMutex_);
  statusPath_ = file;
  reason_ = reason;
}

std::string GeoJsonOutput::status() const {
  std::lock_guard<std::mutex> hold(statusMutex_);
  if (statusPath_.empty()) return "no file set";
  if (!reason_.empty()) return "cannot write " + statusPath_ + ": " + reason_;
  return "writing " + statusPath_ + "; " + std::to_string(written()) + " written";
}

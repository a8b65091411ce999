// trackexport: writes the tracks of a track recording as GPX, KML, GeoJSON or the tracker's
// typed CSV, one track per node, for mapping programs, spreadsheets and projects' data sets.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/platform/atomic_file.h"
#include "common/version.h"
#include "halvex/core/utc_time.h"
#include "halvex/history/recording_reader.h"
#include "halvex/history/track_export.h"
#include "halvex/tracking/node_table.h"
#include "tools/tool_options.h"

namespace {

const char kUsage[] =
    "Usage: trackexport FILE --format gpx|kml|geojson|csv [options]\n"
    "  or:  trackexport --help | --version\n"
    "Writes the tracks of the track recording FILE (with its numbered roll-over parts) for\n"
    "other programs: one track per node, ids in ascending order, its fixes in recorded order.\n"
    "\n"
    "  --format F      the export's format: gpx, kml, geojson or csv (below)\n"
    "  --nodes LIST    node ids 0..1000: numbers and ranges separated by commas, e.g.\n"
    "                  1,4,10-20 (default: every node)\n"
    "  --from TIME     earliest fix time exported, UTC: YYYY-MM-DDTHH:MM:SS[.sss][Z] (a blank\n"
    "                  may stand for the T) or seconds since 1970 (default: no limit)\n"
    "  --to TIME       latest fix time exported (inclusive), as --from (default: no limit)\n"
    "  -o OUT          the file to write, replaced whole once written (default: standard\n"
    "                  output)\n"
    "  --help          this text\n"
    "  --version       the program's name and version\n"
    "\n"
    "Formats:\n"
    "  gpx             GPX 1.1: a trk per node (its name, the node id as number, one trkseg\n"
    "                  of trkpt with time)\n"
    "  kml             KML 2.2: a Placemark per node holding a timed track (gx:Track: when\n"
    "                  and gx:coord pairs), which gpsbabel reads, and GDAL with its LIBKML\n"
    "                  driver\n"
    "  geojson         an RFC 7946 FeatureCollection: a LineString feature per node (a Point\n"
    "                  for a node with one fix) with the properties id, name and times (a\n"
    "                  UTC text per position)\n"
    "  csv             a row per fix in recorded order: id, name, time in seconds since 1970,\n"
    "                  UTC text, lat, lon, status (0 alive, 1 idle, 2 lost); after the type\n"
    "                  and name lines of the tracker's CSV data sets, so that a project can\n"
    "                  attach it\n"
    "\n"
    "Times are fix times, written in UTC with milliseconds. Each row and point carries the\n"
    "node's name in force at its fix; a track is named after the node's name at its last\n"
    "exported fix, or \"node N\" when that is empty. Positions are written with at most nine\n"
    "decimals; positions that are not finite or out of range are left out.\n"
    "\n"
    "GPX, KML and GeoJSON group the fixes by node, so they hold the selected fixes in memory\n"
    "until the end (24 bytes each: about 500 MB for 21 million fixes); CSV writes each row as\n"
    "it is read.\n"
    "\n"
    "Exit status 0 on success; 1 when FILE is not a readable track recording, when OUT cannot\n"
    "be written, or when the recording is damaged: then what was read before the damage is\n"
    "exported all the same and one line on standard error says where; 2 on a usage error.\n";

constexpr const char* kProgram = "trackexport";

struct Options {
  std::string file;
  ExportFormat format = ExportFormat::kGpx;
  bool formatGiven = false;
  std::vector<bool> nodes = std::vector<bool>(NodeTable::kMaxId + 1, true);
  int64_t fromMs = std::numeric_limits<int64_t>::min();
  int64_t toMs = std::numeric_limits<int64_t>::max();
  std::string output;  ///< Empty: standard output.
};

int usageError(const char* what, const std::string& detail) {
  std::fprintf(stderr, "%s: %s%s (see --help)\n", kProgram, what, detail.c_str());
  return 2;
}

/// Reads the command line; returns -1 to go on, or the exit status (0 after --help and
/// --version).
int parseOptions(int argc, char** argv, Options& o) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (arg == "--version") {
      printVersion(stdout, kProgram);
      return 0;
    }
    const bool takesValue =
        arg == "--format" || arg == "--nodes" || arg == "--from" || arg == "--to" || arg == "-o";
    if (!takesValue) {
      if (arg.size() > 1 && arg[0] == '-') return usageError("unknown option ", arg);
      if (!o.file.empty()) return usageError("more than one recording: ", arg);
      o.file = arg;
      continue;
    }
    if (i + 1 >= argc) return usageError("a value is missing after ", arg);
    const char* value = argv[++i];
    bool ok = true;
    if (arg == "--format") {
      ok = parseExportFormat(value, o.format);
      o.formatGiven = ok;
    } else if (arg == "--nodes") {
      std::vector<int> ids;
      ok = tool_options::parseIds(value, NodeTable::kMaxId, ids);
      o.nodes.assign(o.nodes.size(), false);
      for (int id : ids) o.nodes[id] = true;
    } else if (arg == "--from") {
      ok = parseUtcTime(value, o.fromMs);
    } else if (arg == "--to") {
      ok = parseUtcTime(value, o.toMs);
    } else {
      ok = *value != '\0';
      o.output = value;
    }
    if (!ok) return usageError("bad value for ", arg + ": " + value);
  }
  if (o.file.empty()) return usageError("no recording named", "");
  if (!o.formatGiven) return usageError("no --format given", "");
  if (o.fromMs > o.toMs) return usageError("--from is later than --to", "");
  return -1;
}

/// What one export came to.
struct ExportResult {
  bool written = true;  ///< False after a write error.
  bool readAll = true;  ///< False when the walk ended before the recording's end.
};

/// Whether the options select the fix `s` (node and fix time) and its position can be written.
bool selected(const Options& o, const TrackState& s) {
  return s.id >= 0 && static_cast<size_t>(s.id) < o.nodes.size() && o.nodes[s.id] &&
         s.fixMs >= o.fromMs && s.fixMs <= o.toMs && exportablePosition(s.latitude, s.longitude);
}

/// Walks the whole recording once and writes the selected fixes to `out`: CSV rows as they come,
/// the other formats' tracks by node once every fix is read.
ExportResult exportRecording(RecordingReader& reader, const Options& o, std::FILE* out) {
  const std::string creator = std::string(kProgram) + " " + buildVersion();
  const bool grouped = exportGroupsByNode(o.format);
  std::vector<Track> tracks(grouped ? o.nodes.size() : 0);
  ExportResult result;
  result.written = writeExportStart(out, o.format, creator);
  // The reader indexes arrival time; the selection is by fix time, so every entry is looked at.
  const auto visit = [&](const TrackState& s, unsigned) {
    if (!selected(o, s)) return true;
    if (!grouped) return result.written = writeExportRow(out, s);
    Track& track = tracks[s.id];
    track.id = s.id;
    if (track.name != s.name) track.name = s.name;
    track.points.push_back({s.fixMs, s.latitude, s.longitude});
    return true;
  };
  result.readAll = reader.forEach(std::numeric_limits<int64_t>::min(),
                                  std::numeric_limits<int64_t>::max(), visit);
  size_t index = 0;
  for (Track& track : tracks) {
    if (track.points.empty() || !result.written) continue;
    track.name = trackName(track.id, track.name);
    result.written = writeExportTrack(out, o.format, track, index++);
    std::vector<TrackPoint>().swap(track.points);  // give the memory back as we go
  }
  result.written = writeExportEnd(out, o.format) && result.written;
  return result;
}

/// Tells why the export stopped early; returns the exit status for it.
int reportIncomplete(const RecordingReader& reader, const Options& o) {
  if (!reader.damage().empty()) {
    std::fprintf(stderr, "%s: %s\n", kProgram, reader.damage().c_str());
  } else {
    std::fprintf(stderr, "%s: %s: could not be read to its end\n", kProgram, o.file.c_str());
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  if (const int status = parseOptions(argc, argv, o); status >= 0) return status;

  RecordingReader reader;
  std::string error;
  if (!reader.open(o.file, &error)) {
    std::fprintf(stderr, "%s: %s\n", kProgram, error.c_str());
    return 1;
  }

  if (o.output.empty()) {
    const ExportResult result = exportRecording(reader, o, stdout);
    if (!result.written) {
      std::fprintf(stderr, "%s: cannot write to standard output: %s\n", kProgram,
                   std::strerror(errno));
      return 1;
    }
    return result.readAll && reader.damage().empty() ? 0 : reportIncomplete(reader, o);
  }

  // Written whole and renamed over OUT: a failed export leaves the old file.
  AtomicFile file(o.output, Durability::kKeep, LinkPolicy::kFollow);
  ExportResult result;
  if (file.open()) result = exportRecording(reader, o, file.stream());
  if (!file.stream() || !result.written || !file.commit()) {
    std::fprintf(stderr, "%s: cannot write %s: %s\n", kProgram, o.output.c_str(),
                 std::strerror(errno));
    return 1;
  }
  return result.readAll && reader.damage().empty() ? 0 : reportIncomplete(reader, o);
}

// Recordings of a 1000-vehicle fleet at 1 Hz over 1 hour and over 6 hours: their size per fix,
// the writer's rate, the time to open them and the time to seek (every node's state at a random
// time) in each, so that the 6-hour seek can be set against the 1-hour one. The recordings are
// made once into the folder given (deterministic, fixed seed) and reused while they read whole.
// With --check it exits 1 when a seek in the 6-hour recording takes over 200 ms or a fix costs
// over 32 bytes.
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "bench/best_time.h"
#include "halvex/history/recording_reader.h"
#include "halvex/history/recording_writer.h"

namespace {

constexpr int kNodes = 1000;
constexpr int kSeeks = 20;           ///< random times per recording
constexpr double kGoalSeekMs = 200;  ///< longest seek allowed in the 6-hour recording
constexpr double kGoalBytesPerFix = 32;
constexpr int64_t kFlushMs = 250;                ///< the recorder's flush period, in arrival time
constexpr int64_t kStartMs = 1'796'647'200'000;  ///< 2026-12-07 12:00:00Z
/// Bumped whenever the generated fleet or the encoding changes, so that older files are made
/// again.
constexpr int kGeneration = 1;
constexpr double kMetresPerDegree = 111'320;
/// NMEA positions carry 1e-4 minute: what a receiver reports, degrees.
constexpr double kGpsStepDegrees = 1e-4 / 60;

double seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

/// Vehicles east of San Diego driving at 5-20 m/s on slowly turning headings, each reporting
/// once a second a few ms apart; comments change every few minutes, names stay.
class Fleet {
 public:
  explicit Fleet(uint32_t seed) : random_(seed), nodes_(kNodes) {
    for (int i = 0; i < kNodes; ++i) {
      Node& n = nodes_[i];
      n.lat = 32.78 + (unit() - 0.5) * 0.8;
      n.lon = -116.98 + (unit() - 0.5) * 0.8;
      n.speed = 5 + 15 * unit();
      n.heading = unit() * 2 * M_PI;
      n.name = "Unit " + std::to_string(i);
      n.nextCommentS = static_cast<int>(unit() * 300);
      n.offsetMs = 40 + i * 900 / kNodes;
    }
  }

  /// The fixes of second `s`, in arrival order.
  const std::vector<FixEvent>& second(int s) {
    fixes_.clear();
    for (int i = 0; i < kNodes; ++i) {
      Node& n = nodes_[i];
      n.heading += (unit() - 0.5) * 0.05;
      n.speed = std::clamp(n.speed + (unit() - 0.5) * 0.4, 5.0, 20.0);
      n.lat += n.speed * std::cos(n.heading) / kMetresPerDegree;
      n.lon += n.speed * std::sin(n.heading) / (kMetresPerDegree * std::cos(n.lat * M_PI / 180));
      if (s >= n.nextCommentS) {
        n.comment = "leg " + std::to_string(s / 60) + " to waypoint " + std::to_string(i % 17);
        n.nextCommentS = s + 120 + static_cast<int>(unit() * 240);
      }
      FixEvent f;
      f.id = i;
      f.fixMs = kStartMs + s * 1000LL;
      f.arrivalMs = f.fixMs + n.offsetMs + static_cast<int64_t>(unit() * 25);
      f.latitude = std::round(n.lat / kGpsStepDegrees) * kGpsStepDegrees;
      f.longitude = std::round(n.lon / kGpsStepDegrees) * kGpsStepDegrees;
      f.comment1 = n.comment.c_str();
      f.comment2 = "moving";
      f.name = n.name.c_str();
      fixes_.push_back(f);
    }
    std::sort(fixes_.begin(), fixes_.end(),
              [](const FixEvent& a, const FixEvent& b) { return a.arrivalMs < b.arrivalMs; });
    return fixes_;
  }

 private:
  struct Node {
    double lat, lon, speed, heading;
    int nextCommentS, offsetMs;
    std::string name, comment;
  };
  double unit() { return std::uniform_real_distribution<double>(0, 1)(random_); }

  std::mt19937_64 random_;
  std::vector<Node> nodes_;
  std::vector<FixEvent> fixes_;
};

/// Records `secondsLong` of the fleet into `path` as the recorder would, flushing every quarter
/// second of arrival time. Returns the seconds spent in the writer, or -1 on a write error.
double record(const std::string& path, int secondsLong) {
  RecordingWriter writer;
  std::string error;
  if (!writer.open(path, 0, &error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return -1;
  }
  Fleet fleet(20261207);
  double inWriter = 0;
  int64_t nextFlush = kStartMs + kFlushMs;
  for (int s = 0; s < secondsLong; ++s) {
    const std::vector<FixEvent>& fixes = fleet.second(s);
    const auto t0 = std::chrono::steady_clock::now();
    for (const FixEvent& f : fixes) {
      if (f.arrivalMs >= nextFlush) {
        writer.flush();
        nextFlush = f.arrivalMs - (f.arrivalMs - kStartMs) % kFlushMs + kFlushMs;
      }
      writer.append(f);
    }
    inWriter += seconds(t0);
  }
  const auto t0 = std::chrono::steady_clock::now();
  const bool ok = writer.close();
  inWriter += seconds(t0);
  if (!ok) std::fprintf(stderr, "%s\n", writer.error().c_str());
  return ok ? inWriter : -1;
}

/// The recording of `hours` in `dir`, made when missing or not whole.
std::string recordingOf(const std::string& dir, int hours) {
  const std::string path =
      dir + "/fleet-" + std::to_string(hours) + "h-v" + std::to_string(kGeneration) + ".hxr";
  const uint64_t fixes = uint64_t{kNodes} * 3600 * hours;
  RecordingReader reader;
  std::string error;
  if (reader.open(path, &error) && reader.damage().empty() && reader.entryCount() == fixes) {
    return path;
  }
  std::filesystem::create_directories(dir);
  const std::string temp = path + ".part";
  const auto t0 = std::chrono::steady_clock::now();
  const double inWriter = record(temp, 3600 * hours);
  if (inWriter < 0 || std::rename(temp.c_str(), path.c_str()) != 0) return "";
  std::printf("made %s: %.1f s (%.1f s in the writer)\n", path.c_str(), seconds(t0), inWriter);
  return path;
}

struct SeekFigures {
  double bytesPerFix = 0;
  double openMs = 0;
  double medianMs = 0;
  double maxMs = 0;
};

/// Opens `path` and seeks to kSeeks random times. Each time is a random keyframe interval and
/// an offset into it drawn from the same sequence for every recording, so that recordings of
/// any length decode the same share of their intervals.
SeekFigures measure(const std::string& path) {
  SeekFigures f;
  struct stat info {};
  ::stat(path.c_str(), &info);
  RecordingReader reader;
  std::string error;
  f.openMs = bench::bestMs(5, [&] { reader.open(path, &error); });
  f.bytesPerFix = static_cast<double>(info.st_size) / static_cast<double>(reader.entryCount());
  const int64_t interval = RecordingWriter::kKeyframeIntervalMs;
  const int64_t intervals = (reader.lastMs() - reader.firstMs()) / interval;
  std::mt19937_64 offsets(7), which(static_cast<uint64_t>(intervals));
  std::vector<double> times;
  std::vector<TrackState> byId;
  for (int i = 0; i < kSeeks; ++i) {
    const int64_t t = reader.firstMs() +
                      std::uniform_int_distribution<int64_t>(0, intervals - 1)(which) * interval +
                      std::uniform_int_distribution<int64_t>(0, interval - 1)(offsets);
    times.push_back(bench::bestMs(1, [&] { reader.stateAt(t, byId); }));
    if (byId.size() != kNodes && t > reader.firstMs() + 1000) {
      std::fprintf(stderr, "seek to %lld found %zu nodes\n", static_cast<long long>(t),
                   byId.size());
    }
  }
  std::sort(times.begin(), times.end());
  f.medianMs = (times[kSeeks / 2 - 1] + times[kSeeks / 2]) / 2;
  f.maxMs = times.back();
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  bool check = false;
  std::string dir = "bench-data";
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--check") == 0) {
      check = true;
    } else {
      dir = argv[i];
    }
  }
  // The writer alone over five minutes of the fleet, made afresh every run.
  const std::string scratch = dir + "/write-rate.hxr";
  std::filesystem::create_directories(dir);
  const double writeS = record(scratch, 300);
  std::filesystem::remove(scratch);
  const std::string oneHour = recordingOf(dir, 1);
  const std::string sixHours = recordingOf(dir, 6);
  if (writeS < 0 || oneHour.empty() || sixHours.empty()) {
    std::printf("FAILED: the recordings could not be written in %s\n", dir.c_str());
    return 1;
  }
  const SeekFigures one = measure(oneHour);
  const SeekFigures six = measure(sixHours);

  std::printf(
      "recording of %d nodes at 1 Hz: %.1f bytes per fix over 6 h (1 h: %.1f; goal <= "
      "%.0f); writer %.2f million fixes/s\n",
      kNodes, six.bytesPerFix, one.bytesPerFix, kGoalBytesPerFix, kNodes * 300 / writeS / 1e6);
  std::printf("open: 1 h %.2f ms, 6 h %.2f ms\n", one.openMs, six.openMs);
  std::printf(
      "seek (state of every node at one of %d random times): 1 h median %.2f ms max "
      "%.2f ms, 6 h median %.2f ms max %.2f ms (goal <= %.0f ms); 6 h / 1 h %.2f\n",
      kSeeks, one.medianMs, one.maxMs, six.medianMs, six.maxMs, kGoalSeekMs,
      six.medianMs / one.medianMs);
  if (check && (six.maxMs > kGoalSeekMs || six.bytesPerFix > kGoalBytesPerFix)) {
    std::printf("FAILED: replay seek goal missed\n");
    return 1;
  }
  return 0;
}

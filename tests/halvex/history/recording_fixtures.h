// Fixes for recording tests, and what a reader must give back for them.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "halvex/history/recording_reader.h"
#include "halvex/history/recording_writer.h"

/// A fix that owns its texts.
struct TestFix {
  int id = 0;
  FixKind kind = FixKind::kPacket;
  int64_t fixMs = 0;
  int64_t arrivalMs = 0;
  double lat = 0;
  double lon = 0;
  int status = 0;
  std::string comment1, comment2, name;

  FixEvent event() const {
    FixEvent e;
    e.id = id;
    e.kind = kind;
    e.fixMs = fixMs;
    e.arrivalMs = arrivalMs;
    e.latitude = lat;
    e.longitude = lon;
    e.status = status;
    e.comment1 = comment1.c_str();
    e.comment2 = comment2.c_str();
    e.name = name.c_str();
    return e;
  }
};

/// One entry as a walk gives it: every field of the state and the changed texts, exactly.
inline std::string describe(const TrackState& s, unsigned changes) {
  char numbers[200];
  std::snprintf(numbers, sizeof numbers,
                "id %d kind %d fix %lld arrival %lld %.17g %.17g st %d ch %u", s.id,
                static_cast<int>(s.kind), static_cast<long long>(s.fixMs),
                static_cast<long long>(s.arrivalMs), s.latitude, s.longitude, s.status, changes);
  return numbers + (" [" + s.comment1 + "|" + s.comment2 + "|" + s.name + "]");
}

/// The entries a reader must give for `fixes` written in order: arrival times never going
/// back, positions rounded to 1e-9 degree, texts cut to 127 bytes, changes against the node's
/// previous texts.
inline std::vector<std::string> expectedEntries(const std::vector<TestFix>& fixes) {
  std::vector<TrackState> last(1001);
  std::vector<std::string> out;
  int64_t arrival = INT64_MIN;
  for (const TestFix& f : fixes) {
    TrackState& s = last[f.id];
    arrival = std::max(arrival, f.arrivalMs);
    const std::string texts[3] = {f.comment1.substr(0, 127), f.comment2.substr(0, 127),
                                  f.name.substr(0, 127)};
    std::string* held[3] = {&s.comment1, &s.comment2, &s.name};
    unsigned changes = 0;
    for (int t = 0; t < 3; ++t) {
      if (*held[t] != texts[t]) changes |= 1u << t;
      *held[t] = texts[t];
    }
    s.id = f.id;
    s.kind = f.kind;
    s.fixMs = f.fixMs;
    s.arrivalMs = arrival;
    s.latitude = std::llround(f.lat * 1e9) / 1e9;
    s.longitude = std::llround(f.lon * 1e9) / 1e9;
    s.status = f.status;
    out.push_back(describe(s, changes));
  }
  return out;
}

/// `nodes` vehicles reporting once a second for `seconds` from `startMs`, each arrival a few ms
/// after its fix, moving 5-20 m/s on a slowly turning heading, comments changing now and then.
inline std::vector<TestFix> fleetFixes(int nodes, int seconds, int64_t startMs, uint32_t seed) {
  std::mt19937 random(seed);
  std::uniform_real_distribution<double> unit(0, 1);
  std::vector<TestFix> fleet(nodes), out;
  std::vector<double> heading(nodes);
  for (int i = 0; i < nodes; ++i) {
    fleet[i].id = i * 3 % 1001;  // spread over 0 to 1000, all different
    fleet[i].lat = 32.5 + unit(random);
    fleet[i].lon = -117 + unit(random);
    fleet[i].name = "Unit " + std::to_string(i);
    heading[i] = unit(random) * 6.28;
  }
  for (int second = 0; second < seconds; ++second) {
    for (int i = 0; i < nodes; ++i) {
      TestFix& f = fleet[i];
      heading[i] += (unit(random) - 0.5) * 0.2;
      const double metres = 5 + 15 * unit(random);
      f.lat += metres * std::cos(heading[i]) / 111320;
      f.lon += metres * std::sin(heading[i]) / (111320 * std::cos(f.lat * M_PI / 180));
      f.fixMs = startMs + second * 1000LL;
      f.arrivalMs = f.fixMs + i * 900LL / nodes + static_cast<int>(unit(random) * 20);
      if (unit(random) < 0.02) f.comment1 = "leg " + std::to_string(second / 10);
      out.push_back(f);
    }
  }
  std::stable_sort(out.begin(), out.end(),
                   [](const TestFix& a, const TestFix& b) { return a.arrivalMs < b.arrivalMs; });
  return out;
}

/// Appends `fixes`, flushing whenever `flushMs` of arrival time has passed, and closes.
inline void writeFixes(RecordingWriter& writer, const std::vector<TestFix>& fixes, int64_t flushMs,
                       bool close = true) {
  int64_t flushedAt = fixes.empty() ? 0 : fixes.front().arrivalMs;
  for (const TestFix& f : fixes) {
    if (f.arrivalMs - flushedAt >= flushMs) {
      ASSERT_TRUE(writer.flush()) << writer.error();
      flushedAt = f.arrivalMs;
    }
    ASSERT_TRUE(writer.append(f.event())) << writer.error();
  }
  if (close) {
    ASSERT_TRUE(writer.close()) << writer.error();
  }
}

/// Every entry a walk over the whole recording gives, described.
inline std::vector<std::string> readAll(RecordingReader& reader) {
  std::vector<std::string> out;
  reader.forEach(INT64_MIN, INT64_MAX, [&out](const TrackState& s, unsigned changes) {
    out.push_back(describe(s, changes));
    return true;
  });
  return out;
}

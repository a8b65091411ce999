// Times the stream formats per item: cutting and parsing a position packet (both NMEA
// sentences, calendar time and date text included) and applying it to its node, writing and
// reading a state record, and reading a state file of 1000 records into lines. Prints
// nanoseconds per item; with --check it exits 1 when cutting, parsing and applying a packet takes
// more than 300 ns.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "bench/best_time.h"
#include "halvex/streams/dgc_reader.h"
#include "halvex/streams/node_updates.h"
#include "halvex/streams/position_packet.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int kItems = 1000;
constexpr int kRounds = 25;  ///< the best round counts, which filters out other load
constexpr double kPacketGoalNs = 300;

/// Packets as a fleet sends them: ids 0..999, positions around one area, times spread over
/// two hours of one day with centiseconds.
std::vector<std::string> makePackets(std::mt19937_64& rng) {
  std::vector<std::string> packets;
  std::uniform_real_distribution<double> lat(3200, 3300), lon(11600, 11800);
  for (int i = 0; i < kItems; ++i) {
    const int t = 12 * 360000 + static_cast<int>(rng() % (2 * 360000));  // centiseconds
    const int hh = t / 360000, mm = t / 6000 % 60, ss = t / 100 % 60, cs = t % 100;
    char text[256];
    std::snprintf(text, sizeof text,
                  "%d,node %d,%s,$GPZDA,%02d%02d%02d.%02d,04,07,2026,00,00*6C"
                  "$GPGLL,%09.4f,N,%010.4f,W,%02d%02d%02d.%02d,A,A*79",
                  i, i, (i % 3) ? "moving" : "parked", hh, mm, ss, cs, lat(rng), lon(rng), hh, mm,
                  ss, cs);
    packets.push_back(text);
  }
  return packets;
}

/// Ignores what the reader finds; only the line splitting is timed.
class NullHandler : public DgcHandler {
 public:
  void stateRecord(char* line) override { lines += line[0]; }
  void clearMarkers() override {}
  void addMarker(RingMarker*) override {}
  long lines = 0;
};

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc >= 2 && std::strcmp(argv[1], "--check") == 0;
  std::mt19937_64 rng(42);
  const std::vector<std::string> packets = makePackets(rng);

  char scratch[512];
  PositionFix fix;
  for (const std::string& p : packets) {  // every packet must read
    std::memcpy(scratch, p.c_str(), p.size() + 1);
    if (!parsePositionPacket(scratch, fix)) {
      std::printf("packet does not read: %s\n", p.c_str());
      return 1;
    }
  }
  const double packetNs = bench::bestNsPerItem(kRounds, kItems, [&](int i) {
    const std::string& p = packets[static_cast<size_t>(i)];
    std::memcpy(scratch, p.c_str(), p.size() + 1);
    parsePositionPacket(scratch, fix);
    return fix.gll.latitude + static_cast<double>(fix.zda.time.seconds);
  });

  // The same packets applied to a table of 1000 nodes, as the port processing does.
  char nodePath[] = "/tmp/packet_bench_nodes_XXXXXX";
  const int nodeFd = mkstemp(nodePath);
  if (nodeFd < 0) return 1;
  std::FILE* nodeList = fdopen(nodeFd, "w");
  for (int id = 0; id < kItems; ++id) std::fprintf(nodeList, "%d node %d\n", id, id);
  std::fclose(nodeList);
  NodeTable table;
  table.readNodeFile(nodePath);
  std::remove(nodePath);
  const double applyNs = bench::bestNsPerItem(kRounds, kItems, [&](int i) {
    const std::string& p = packets[static_cast<size_t>(i)];
    std::memcpy(scratch, p.c_str(), p.size() + 1);
    return applyPositionPacket(table, scratch) ? 1.0 : 0.0;
  });

  std::uniform_real_distribution<double> lat(-90, 90), lon(-180, 180), age(0, 30);
  std::vector<double> lats(kItems), lons(kItems), ages(kItems);
  for (int i = 0; i < kItems; ++i) {
    lats[static_cast<size_t>(i)] = lat(rng);
    lons[static_cast<size_t>(i)] = lon(rng);
    ages[static_cast<size_t>(i)] = age(rng);
  }
  std::vector<std::string> records(kItems);
  const double formatNs = bench::bestNsPerItem(kRounds, kItems, [&](int i) {
    const size_t k = static_cast<size_t>(i);
    const int n = formatStateRecord(scratch, sizeof scratch, i, lats[k], lons[k], 1783166400 + i,
                                    i % 1000, i % 3, ages[k], "node comment", "moving", "Truck");
    if (records[k].empty()) records[k] = scratch;
    return static_cast<double>(n);
  });
  StateRecord record;
  const double parseNs = bench::bestNsPerItem(kRounds, kItems, [&](int i) {
    const std::string& r = records[static_cast<size_t>(i)];
    std::memcpy(scratch, r.c_str(), r.size() + 1);
    parseStateRecord(scratch, record);
    return record.latitude;
  });

  // A state file of all records, read from disk as the local state input reads it.
  char path[] = "/tmp/packet_bench_XXXXXX";
  const int fd = mkstemp(path);
  if (fd < 0) return 1;
  std::FILE* out = fdopen(fd, "w");
  std::fputs("<dgc>\n", out);
  for (const std::string& r : records) std::fputs(r.c_str(), out);
  std::fputs("</dgc>\n", out);
  std::fclose(out);
  NullHandler handler;
  MarkerIndex index;
  DgcSectionReader reader(handler, index);
  double fileUs = 1e300;
  for (int r = 0; r < kRounds; ++r) {
    const auto t0 = std::chrono::steady_clock::now();
    readDgcFile(path, reader);
    const auto t1 = std::chrono::steady_clock::now();
    fileUs = std::min(fileUs, std::chrono::duration<double, std::micro>(t1 - t0).count());
  }
  std::remove(path);
  bench::sink = static_cast<double>(handler.lines);

  std::printf(
      "position packet cut+parse %.1f ns, cut+parse+apply %.1f ns (goal <= %.0f ns); "
      "state record format %.1f ns, parse %.1f ns; %d-record state file read into lines %.1f us\n",
      packetNs, applyNs, kPacketGoalNs, formatNs, parseNs, kItems, fileUs);
  if (check && applyNs > kPacketGoalNs) {
    std::printf("FAILED: a packet takes more than %.0f ns\n", kPacketGoalNs);
    return 1;
  }
  return 0;
}

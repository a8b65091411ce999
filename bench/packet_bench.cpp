// Times the stream formats per item: cutting and parsing a position packet (both NMEA
// sentences, calendar time and date text included) and applying it to its node, writing and
// reading a state record, and reading a state file of 1000 records into lines. Prints
// nanoseconds per item. Beside them it times the kernel handing one 200-byte datagram to a
// receiving thread on loopback: with --check it exits 1 when cutting, parsing and applying a packet
// takes more than 0.3 of that receive, so that parsing never becomes the bottleneck of live input
// whatever the speed of the machine.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

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
constexpr int kRounds = 25;                ///< the best round counts, which filters out other load
constexpr double kReceiveShareGoal = 0.3;  ///< packet cost / one datagram's receive
constexpr int kDatagramBytes = 200;        ///< what a position packet takes on the wire
constexpr int kQueued = 200;               ///< datagrams queued before each timed receive round

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

/// Best time, in nanoseconds, of receiving one queued datagram from a loopback UDP socket: the
/// least work a receiving thread does per packet. 0 when no socket can be had.
double loopbackReceiveNs() {
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return 0;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const int queue = 4 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &queue, sizeof queue);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    close(fd);
    return 0;
  }
  char datagram[kDatagramBytes] = {'0'};
  double best = 1e300;
  for (int r = 0; r < kRounds; ++r) {
    for (int i = 0; i < kQueued; ++i) {
      sendto(fd, datagram, sizeof datagram, 0, reinterpret_cast<sockaddr*>(&address),
             sizeof address);
    }
    int received = 0;
    const auto t0 = std::chrono::steady_clock::now();
    while (recv(fd, datagram, sizeof datagram, MSG_DONTWAIT) > 0) ++received;
    const auto t1 = std::chrono::steady_clock::now();
    if (received > 0) {
      best = std::min(best, std::chrono::duration<double, std::nano>(t1 - t0).count() / received);
    }
  }
  close(fd);
  return best < 1e300 ? best : 0;
}

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
  // The receive is timed before and after, so that a change of machine speed in between
  // shows on both sides of the ratio.
  double receiveNs = loopbackReceiveNs();
  const double applyNs = bench::bestNsPerItem(kRounds, kItems, [&](int i) {
    const std::string& p = packets[static_cast<size_t>(i)];
    std::memcpy(scratch, p.c_str(), p.size() + 1);
    return applyPositionPacket(table, scratch) ? 1.0 : 0.0;
  });
  receiveNs = std::min(receiveNs, loopbackReceiveNs());
  if (receiveNs <= 0) {
    std::printf("no loopback socket to time a receive against\n");
    return 1;
  }
  const double share = applyNs / receiveNs;

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
      "position packet cut+parse %.1f ns, cut+parse+apply %.1f ns = %.2f of one loopback "
      "datagram receive (%.0f ns) (goal <= %.2f); state record format %.1f ns, parse %.1f ns; "
      "%d-record state file read into lines %.1f us\n",
      packetNs, applyNs, share, receiveNs, kReceiveShareGoal, formatNs, parseNs, kItems, fileUs);
  if (check && share > kReceiveShareGoal) {
    std::printf("FAILED: a packet takes more than %.2f of a datagram's receive\n",
                kReceiveShareGoal);
    return 1;
  }
  return 0;
}

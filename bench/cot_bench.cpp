// Cursor on Target at fleet scale: a headless tracker fed 1001 vehicles at 10 fixes a second by
// multicast sends them as CoT events at "10 pps" to a receiver written here, and a sender written
// here sends 1001 uids at 10 events a second to a headless tracker's CoT input. Both rates are
// printed beside the plain multicast receive loop of the ingest benchmark, measured in the same
// run. Runs itself inside a private network namespace, so no packet leaves the machine.
//
//   cot_bench           prints the figures
//   cot_bench --check   fails unless no event is lost either way, the output keeps up with 0.9
//                       of the 10,010 events a second the fleet changes at, and every node's
//                       last event is applied
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/headless_run.h"
#include "bench/multicast_load.h"
#include "bench/private_display.h"
#include "halvex/net/multicast_sender.h"
#include "halvex/net/multicast_socket.h"
#include "halvex/streams/cot_event.h"
#include "tests/support/scratch_dir.h"

namespace {

using bench::ChildProcess;
using Clock = std::chrono::steady_clock;

constexpr const char* kRawGroup = "239.255.42.9";  ///< The plain receive loop's group.
constexpr int kRawPort = 5640;
constexpr const char* kFleetGroup = "239.255.42.10";  ///< Packets of the fleet to tracker A.
constexpr int kFleetPort = 5641;
constexpr const char* kOutGroup = "239.2.3.1";  ///< Tracker A's events, as clients listen.
constexpr int kOutPort = 6969;
constexpr const char* kInGroup = "239.2.3.2";  ///< Events to tracker B.
constexpr int kInPort = 6970;
constexpr int kNodes = 1001;               ///< Ids 0 to 1000: the whole id space.
constexpr int kPerSecond = 10;             ///< Fixes or events per node and second.
constexpr int kSendSeconds = 10;           ///< Length of each run.
constexpr double kSettleSeconds = 1.5;     ///< For the last events to arrive after a run.
constexpr int kBuffersPerPort = 8000;      ///< Tracker A's ring: 0.8 s of the traffic.
constexpr int kSlicesPerSecond = 100;      ///< The sender spreads each second over this many.
constexpr int kReceiveBuffer = 8 << 20;    ///< Socket buffer of the event receiver, bytes.
constexpr double kOutputShareGoal = 0.9;   ///< Events a second / the fleet's fixes a second.
constexpr double kBaseLatitude = -33.5;    ///< Where the sent nodes are, degrees.
constexpr double kBaseLongitude = 151.25;  ///< Where the sent nodes are, degrees.

/// Counts the events reaching `group`:`port` and those that read as CoT, on a thread.
class EventReceiver {
 public:
  EventReceiver(const char* group, int port) : fd_(openMulticastReceiver(group, port)) {
    if (setsockopt(fd_, SOL_SOCKET, SO_RCVBUFFORCE, &kReceiveBuffer, sizeof kReceiveBuffer) != 0)
      setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
    timeval wait{0, 100000};
    setsockopt(fd_, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    thread_ = std::thread([this] { run(); });
  }
  ~EventReceiver() {
    stopping_ = true;
    thread_.join();
    close(fd_);
  }
  long received() const { return received_; }
  long read() const { return read_; }

 private:
  void run() {
    std::vector<char> buffer(kCotMaxBytes + 1);
    CotEvent event;
    while (!stopping_) {
      const ssize_t n = recv(fd_, buffer.data(), buffer.size(), 0);
      if (n <= 0) continue;
      ++received_;
      if (readCotEvent(buffer.data(), static_cast<size_t>(n), event) == CotError::kNone) ++read_;
    }
  }
  int fd_;
  std::atomic<bool> stopping_{false};
  std::atomic<long> received_{0};
  std::atomic<long> read_{0};
  std::thread thread_;
};

/// The configuration of a headless tracker in `folder`: the node list of every id, the
/// definitions `io` and the master lines `master` besides them.
void writeTracker(ScratchDir& scratch, const std::string& folder, const std::string& io,
                  const std::string& master) {
  std::filesystem::create_directories(scratch.path(folder));
  std::string nodes;
  for (int id = 0; id < kNodes; ++id)
    nodes += std::to_string(id) + " Unit " + std::to_string(id) + "\n";
  scratch.write(folder + "/nodes.txt", nodes);
  scratch.write(folder + "/io.txt", io);
  scratch.write(folder + "/master.cfg", "NodeFile nodes.txt\nWWWFile io.txt\n" + master);
}

/// Node `id`'s latitude in round `round`, degrees: every event moves every node.
double latitudeOf(int id, long round) {
  return kBaseLatitude + 1e-4 * id + 1e-6 * static_cast<double>(round);
}

/// Sends kPerSecond events of each of kNodes uids a second for kSendSeconds, spread evenly;
/// returns the events sent, or -1 when the socket fails.
long sendEvents(const char* group, int port) {
  MulticastSender sender;
  if (!sender.open(group, port, 1)) return -1;
  const long rounds = static_cast<long>(kPerSecond) * kSendSeconds;
  const int perSlice = kNodes * kPerSecond / kSlicesPerSecond + 1;
  const auto start = Clock::now();
  long sent = 0;
  long slice = 0;
  for (long round = 0; round < rounds; ++round) {
    const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                              std::chrono::system_clock::now().time_since_epoch())
                              .count();
    for (int id = 0; id < kNodes; ++id) {
      CotEvent event;
      event.uid = "bench-" + std::to_string(id);
      event.type = "a-f-G-U-C";
      event.timeMs = event.startMs = nowMs;
      event.staleMs = nowMs + 60000;
      event.latitude = latitudeOf(id, round);
      event.longitude = kBaseLongitude;
      event.callsign = "Unit " + std::to_string(id);
      const std::string text = cotEventXml(event);
      if (sender.send(text.data(), text.size())) ++sent;
      if ((id + 1) % perSlice == 0 || id + 1 == kNodes) {
        std::this_thread::sleep_until(
            start + std::chrono::microseconds(1000000 / kSlicesPerSecond) * ++slice);
      }
    }
  }
  return sent;
}

/// Number after `label` on the line of `text` that holds `line`, or -1.
double countOf(const std::string& text, const std::string& line, const std::string& label) {
  return bench::numberAfter(bench::lineWith(text, line), label);
}

}  // namespace

int main(int argc, char** argv) {
  bench::runUnder("COT_BENCH_IN_NETNS", {NETNS_RUN}, argc, argv);
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;
  const std::string halvex = HALVEX_PATH;
  const std::string pktsend = PKTSEND_PATH;
  const double raw = bench::rawReceiveRate(pktsend, kRawGroup, kRawPort);
  const double fleetRate = kNodes * kPerSecond;
  ScratchDir scratch;

  // CoT output: the fleet in by multicast, events out to a receiver of ours.
  writeTracker(scratch, "out",
               "Active Input MULTICAST\nInput MultiCastBuffersPerPort " +
                   std::to_string(kBuffersPerPort) + "\nActive Output COT\nOutput CotGroup " +
                   kOutGroup + "\nOutput CotPort " + std::to_string(kOutPort) +
                   "\nOutput CotSite bench\n",
               "PortFile ports.mcp\n");
  scratch.write("out/ports.mcp",
                std::string("bench ") + kFleetGroup + " " + std::to_string(kFleetPort) + "\n");
  long long kernelBefore = bench::kernelDrops();
  long outReceived = 0, outRead = 0;
  double outSeconds = 0;
  std::string outEnd;
  {
    EventReceiver receiver(kOutGroup, kOutPort);
    const auto tracker = bench::startTracker(halvex, scratch.path("out"), "10pps");
    tracker->outputLine();  // the start-up line: its receivers run
    const auto start = Clock::now();
    const long count = static_cast<long>(fleetRate) * kSendSeconds;
    ChildProcess fleet({pktsend, "--group", kFleetGroup, "--port", std::to_string(kFleetPort),
                        "--ids", "0-" + std::to_string(kNodes - 1), "--count",
                        std::to_string(count), "--rate", std::to_string(fleetRate), "--quiet"});
    fleet.wait();
    outSeconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::this_thread::sleep_for(std::chrono::duration<double>(kSettleSeconds));
    outEnd = bench::stopTracker(*tracker);
    outReceived = receiver.received();
    outRead = receiver.read();
  }
  const long long outKernelDrops = bench::kernelDrops() - kernelBefore;
  const double outSent = countOf(outEnd, "CoT output:", "CoT output: ");
  const double outFailed = countOf(outEnd, "CoT output:", "events sent, ");
  const double outRate = outReceived / outSeconds;

  // CoT input: events of ours in, the tracker's state file out.
  std::string uids = "# every node's uid\n";
  for (int id = 0; id < kNodes; ++id)
    uids += std::to_string(id) + " bench-" + std::to_string(id) + "\n";
  writeTracker(scratch, "in",
               std::string("Active Input COT\nInput CotGroup ") + kInGroup + "\nInput CotPort " +
                   std::to_string(kInPort) +
                   "\nActive Output LOCAL_STATE\nOutput LocalStateFile out.txt\n",
               "CotNodes uids.txt\n");
  scratch.write("in/uids.txt", uids);
  kernelBefore = bench::kernelDrops();
  const auto tracker = bench::startTracker(halvex, scratch.path("in"), "5pps");
  tracker->outputLine();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));  // joined to the group
  const auto start = Clock::now();
  const long inSent = sendEvents(kInGroup, kInPort);
  const double inSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  std::this_thread::sleep_for(std::chrono::duration<double>(kSettleSeconds));
  // Every node holds its last event's position.
  int stale = 0;
  {
    std::ifstream state(scratch.path("in/out.txt"));
    std::string line;
    const long lastRound = static_cast<long>(kPerSecond) * kSendSeconds - 1;
    int seen = 0;
    while (std::getline(state, line)) {
      int id = -1;
      double latitude = 0;
      if (std::sscanf(line.c_str(), "$%d,%lf", &id, &latitude) != 2 || id < 0) continue;
      ++seen;
      if (std::fabs(latitude - latitudeOf(id, lastRound)) > 5e-7) ++stale;
    }
    stale += kNodes - seen;
  }
  const std::string inEnd = bench::stopTracker(*tracker);
  const long long inKernelDrops = bench::kernelDrops() - kernelBefore;
  const double inReceived = countOf(inEnd, "CoT input:", "CoT input: ");
  const double inDropped = countOf(inEnd, "CoT input:", "applied, ");
  const double inRate = inReceived / inSeconds;

  std::printf("multicast raw receive loop (the ingest benchmark's reference): %.0f datagrams/s\n",
              raw);
  std::printf(
      "CoT output, %d nodes x %d fixes/s in by multicast, \"10 pps\" out: %ld events received "
      "(%ld read as CoT) of %.0f sent, %.0f send failures, %lld dropped by the kernel; %.0f "
      "events/s = %.2f of the fleet's %.0f fixes/s (goal >= %.2f, none lost), %.3f of raw\n",
      kNodes, kPerSecond, outReceived, outRead, outSent, outFailed, outKernelDrops, outRate,
      outRate / fleetRate, fleetRate, kOutputShareGoal, raw > 0 ? outRate / raw : 0);
  std::printf(
      "CoT input, %d uids x %d events/s: %.0f received of %ld sent, %.0f dropped, %lld dropped by "
      "the kernel, %d nodes not at their last event (goal: none lost, all at their last); "
      "%.0f events/s, %.3f of raw\n",
      kNodes, kPerSecond, inReceived, inSent, inDropped, inKernelDrops, stale, inRate,
      raw > 0 ? inRate / raw : 0);
  const bool outputMet = outReceived == static_cast<long>(outSent) && outRead == outReceived &&
                         outFailed == 0 && outKernelDrops == 0 &&
                         outRate >= kOutputShareGoal * fleetRate;
  const bool inputMet =
      inSent > 0 && inReceived == inSent && inDropped == 0 && inKernelDrops == 0 && stale == 0;
  if (check && !(outputMet && inputMet)) return 1;
  return 0;
}

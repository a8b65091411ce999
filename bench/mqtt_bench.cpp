// Node states through one local mosquitto broker: a headless tracker fed 1001 vehicles at 10
// fixes a second each by multicast publishes them at "10 pps", a second headless tracker
// subscribed at the broker applies them. Runs itself inside a private network namespace, so no
// packet leaves the machine.
//
//   mqtt_bench           prints the figures
//   mqtt_bench --check   fails unless every node's last state reaches the subscriber and the
//                        publish-to-apply latency at the 99th percentile is at most 50 ms
//   MQTT_BENCH_VERBOSE=1 also prints what both trackers printed at their end
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/headless_run.h"
#include "bench/private_display.h"
#include "tests/support/child_process.h"
#include "tests/support/mqtt_broker.h"
#include "tests/support/scratch_dir.h"

namespace {

using bench::cpuSeconds;
using bench::lineWith;
using bench::numberAfter;
using bench::startTracker;
using bench::stopTracker;
using testserver::MqttBroker;
using testsupport::ChildProcess;

constexpr const char* kGroup = "239.255.42.7";  ///< Group the publisher listens to.
constexpr int kMulticastPort = 5630;
constexpr int kNodes = 1001;            ///< Ids 0 to 1000: the whole id space.
constexpr int kFixesPerSecond = 10;     ///< Per node.
constexpr int kSendSeconds = 20;        ///< Length of the run.
constexpr double kSettleSeconds = 2.0;  ///< For the last states to arrive after the run.
constexpr double kLatencyGoalMs = 50;   ///< 99th percentile, publish to apply.
constexpr int kBuffersPerPort = 8000;   ///< Publisher's ring: 0.8 s of the traffic.
/// Messages the broker may queue for a subscriber: a whole period's burst and more, so that the
/// broker's own default (1000) does not drop part of one.
constexpr int kBrokerQueue = 100000;

using Clock = std::chrono::steady_clock;

/// Id, position and fix time of every node a state file holds a position for.
std::map<int, std::string> heardNodes(const std::string& path) {
  std::map<int, std::string> nodes;
  std::ifstream file(path);
  std::string line;
  while (std::getline(file, line)) {
    if (line.empty() || line[0] != '$') continue;
    std::vector<std::string> fields;
    std::istringstream cut(line.substr(1));
    std::string field;
    for (int k = 0; k < 5 && std::getline(cut, field, ','); ++k) fields.push_back(field);
    if (fields.size() < 5 || fields[1] == "0.000000") continue;
    nodes[std::atoi(fields[0].c_str())] =
        fields[1] + "," + fields[2] + "," + fields[3] + "." + fields[4];
  }
  return nodes;
}

}  // namespace

int main(int argc, char** argv) {
  // Into a private namespace whose loopback carries multicast, once.
  bench::runUnder("MQTT_BENCH_IN_NETNS", {NETNS_RUN}, argc, argv);
  const bool check = argc > 1 && std::strcmp(argv[1], "--check") == 0;
  const std::string halvex = HALVEX_PATH;
  const std::string pktsend = PKTSEND_PATH;
  // The broker lives in /usr/sbin, which a user's PATH may lack.
  const std::string path = std::getenv("PATH") != nullptr ? std::getenv("PATH") : "";
  setenv("PATH", (path + ":/usr/sbin").c_str(), 1);

  ScratchDir scratch;
  // The broker's own queue default (1000) would drop part of a period's burst.
  MqttBroker broker("max_inflight_messages 0\nmax_queued_messages " + std::to_string(kBrokerQueue) +
                    "\n");
  if (!broker.start()) {
    std::fprintf(stderr, "mqtt_bench: mosquitto did not start\n");
    return 1;
  }
  const int port = broker.port();

  std::string nodes;
  for (int id = 0; id < kNodes; ++id)
    nodes += std::to_string(id) + " Unit " + std::to_string(id) + "\n";
  const std::string brokerAt = "MqttHost 127.0.0.1\n";
  const std::string portLine = "MqttPort " + std::to_string(port) + "\n";
  for (const char* side : {"publisher", "subscriber"}) {
    std::filesystem::create_directories(scratch.path(side));
    scratch.write(std::string(side) + "/nodes.txt", nodes);
    scratch.write(std::string(side) + "/master.cfg",
                  "NodeFile nodes.txt\nPortFile ports.mcp\nWWWFile io.txt\n");
  }
  scratch.write("publisher/ports.mcp",
                "bench " + std::string(kGroup) + " " + std::to_string(kMulticastPort) + "\n");
  scratch.write("subscriber/ports.mcp", "");
  scratch.write("publisher/io.txt",
                "Active Input MULTICAST\nInput MultiCastBuffersPerPort " +
                    std::to_string(kBuffersPerPort) + "\nActive Output MQTT\nOutput " + brokerAt +
                    "Output " + portLine +
                    "Active Output LOCAL_STATE\nOutput LocalStateFile out.txt\n");
  scratch.write("subscriber/io.txt", "Active Input MQTT\nInput " + brokerAt + "Input " + portLine +
                                         "Active Output LOCAL_STATE\nOutput LocalStateFile "
                                         "out.txt\n");
  const auto subscriber = startTracker(halvex, scratch.path("subscriber"), "5pps");
  const auto publisher = startTracker(halvex, scratch.path("publisher"), "10pps");
  subscriber->outputLine();
  publisher->outputLine();  // the start-up lines: both run
  std::this_thread::sleep_for(std::chrono::milliseconds(500));

  const pid_t pids[] = {broker.pid(), publisher->pid(), subscriber->pid()};
  double before[3];
  for (int k = 0; k < 3; ++k) before[k] = cpuSeconds(pids[k]);
  const auto start = Clock::now();
  const long count = static_cast<long>(kNodes) * kFixesPerSecond * kSendSeconds;
  ChildProcess sender({pktsend, "--group", kGroup, "--port", std::to_string(kMulticastPort),
                       "--ids", "0-" + std::to_string(kNodes - 1), "--count", std::to_string(count),
                       "--rate", std::to_string(kNodes * kFixesPerSecond), "--quiet"});
  const bool sent = sender.wait() == 0;
  const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
  double share[3];
  for (int k = 0; k < 3; ++k) share[k] = 100 * (cpuSeconds(pids[k]) - before[k]) / seconds;
  std::this_thread::sleep_for(std::chrono::duration<double>(kSettleSeconds));

  const std::map<int, std::string> published = heardNodes(scratch.path("publisher/out.txt"));
  const std::map<int, std::string> received = heardNodes(scratch.path("subscriber/out.txt"));
  int lost = kNodes - static_cast<int>(published.size());
  for (const auto& node : published) {
    const auto there = received.find(node.first);
    if (there == received.end() || there->second != node.second) ++lost;
  }
  const std::string publisherEnd = stopTracker(*publisher);
  const std::string subscriberEnd = stopTracker(*subscriber);
  // "halvex: MQTT output ID: N messages published, ..." and
  // "halvex: MQTT input: N messages received, N applied, N dropped, ..., p99 N ms"
  const std::string outputLine = lineWith(publisherEnd, "messages published");
  const std::string inputLine = lineWith(subscriberEnd, "MQTT input:");
  const size_t idEnd = outputLine.find(": ", outputLine.find("MQTT output"));
  const double messages =
      idEnd == std::string::npos ? -1 : std::atof(outputLine.c_str() + idEnd + 2);
  const double p50 = numberAfter(inputLine, "latency p50 ");
  const double p99 = numberAfter(inputLine, ", p99 ");
  const double dropped = numberAfter(inputLine, "applied, ");

  std::printf(
      "MQTT through one broker: %d nodes x %d fixes/s for %.1f s (multicast in, \"10 pps\" "
      "out): %.0f messages published (%.0f/s)\n%s\n",
      kNodes, kFixesPerSecond, seconds, messages, messages / seconds, inputLine.c_str());
  std::printf("last states missing or different at the subscriber: %d of %d (goal 0)\n", lost,
              kNodes);
  std::printf("publish-to-apply latency: p50 %.0f ms, p99 %.0f ms (goal <= %.0f ms)\n", p50, p99,
              kLatencyGoalMs);
  std::printf(
      "processor shares over the run, %% of one core: broker %.1f%%, publishing tracker "
      "%.1f%%, subscribing tracker %.1f%%\n",
      share[0], share[1], share[2]);
  if (!sent) std::printf("mqtt_bench: pktsend failed\n");
  if (std::getenv("MQTT_BENCH_VERBOSE") != nullptr) {
    std::printf("%s%s", publisherEnd.c_str(), subscriberEnd.c_str());
  }
  if (check && (!sent || lost != 0 || p99 < 0 || p99 > kLatencyGoalMs || dropped != 0)) return 1;
  return 0;
}

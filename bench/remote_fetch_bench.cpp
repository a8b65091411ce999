// Times fetching a state file of 1000 nodes from "python3 -m http.server" on 127.0.0.1 with
// fetchRemoteState (connect, request, read and apply every record), beside curl fetching the
// same URL in the same run: the same number of fetches in one curl process, also shown as the
// time each URL adds beyond the first (process start excluded), and one curl process per fetch.
// Prints milliseconds per fetch; with --check it exits 1 when fetchRemoteState takes longer
// than a curl run fetching the URL. (The figure with many URLs in one curl process, which spreads
// curl's start over them, is printed beside it; the two fetches are close on that count, and ours
// also parses and applies every record.)
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/best_time.h"
#include "bench/node_table_fixture.h"
#include "halvex/streams/remote_state.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_table.h"
#include "tests/support/loopback_servers.h"

namespace {

constexpr int kNodes = 1000;
constexpr int kRounds = 15;   ///< the best round counts, which filters out other load
constexpr int kBatch = 20;    ///< fetches per timed round, in one process each way
constexpr int kCurlRuns = 3;  ///< single-URL curl processes per round

/// Runs curl once over `count` copies of url, each written to /dev/null. False when it fails.
bool runCurl(const std::string& url, int count) {
  std::vector<std::string> argv{"curl", "-s"};
  for (int i = 0; i < count; ++i) argv.insert(argv.end(), {"-o", "/dev/null", url});
  testserver::ChildProcess curl(argv);
  return curl.wait() == 0;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 2 && std::strcmp(argv[1], "--check") == 0;
  char pattern[] = "/tmp/remote_bench_XXXXXX";
  const std::string dir = mkdtemp(pattern);
  NodeTable table;
  bench::fillNodeTable(table, dir, kNodes);
  writeStateFile(table, (dir + "/state.txt").c_str(), false);
  const auto bytes = std::filesystem::file_size(dir + "/state.txt");
  NodeTable reader;
  reader.readNodeFile((dir + "/nodes.txt").c_str());

  int status = 0;
  {
    testserver::HttpFileServer server(dir);
    const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/state.txt";
    int refresh = 0;
    if (server.port() == 0 ||
        !fetchRemoteState(reader, "127.0.0.1", server.port(), "/state.txt", &refresh) ||
        reader.nodeById(kNodes - 1)->latitude != table.nodeById(kNodes - 1)->latitude ||
        !runCurl(url, 1)) {
      std::printf("FAILED: the state server, a fetch or curl did not work\n");
      std::filesystem::remove_all(dir);
      return 1;
    }

    const auto fetchBatch = [&] {
      for (int i = 0; i < kBatch; ++i)
        fetchRemoteState(reader, "127.0.0.1", server.port(), "/state.txt", &refresh);
    };
    // Rounds alternate between the three, so that load from elsewhere meets them alike.
    double fetchMs = 1e300, curlBatchMs = 1e300, curlSingleMs = 1e300;
    for (int round = 0; round < kRounds; ++round) {
      fetchMs = std::min(fetchMs, bench::bestMs(1, fetchBatch) / kBatch);
      curlBatchMs = std::min(curlBatchMs, bench::bestMs(1, [&] { runCurl(url, kBatch); }));
      curlSingleMs = std::min(curlSingleMs, bench::bestMs(kCurlRuns, [&] { runCurl(url, 1); }));
    }
    const double curlPerFetchMs = curlBatchMs / kBatch;
    const double curlExtraUrlMs = std::max(0.0, curlBatchMs - curlSingleMs) / (kBatch - 1);

    std::printf(
        "remote fetch, %d nodes (%ju bytes) from python3 http.server, per fetch: "
        "fetchRemoteState %.3f ms (records applied); curl %.3f ms with %d URLs in one process "
        "(%.3f ms for each URL beyond the first), %.3f ms with one process per fetch; goal: "
        "fetchRemoteState <= a curl run fetching the URL\n",
        kNodes, static_cast<uintmax_t>(bytes), fetchMs, curlPerFetchMs, kBatch, curlExtraUrlMs,
        curlSingleMs);
    if (check && fetchMs > curlSingleMs) {
      std::printf("FAILED: remote fetch goal missed\n");
      status = 1;
    }
  }
  std::filesystem::remove_all(dir);
  return status;
}

// Times writing and reading a state file of 1000 nodes, beside a plain write-and-rename of the
// same bytes and a plain read of them (the floor any state file code stands on), and prints the
// milliseconds of each. With --check it exits 1 when writing or reading takes more than 1 ms.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/best_time.h"
#include "bench/node_table_fixture.h"
#include "halvex/streams/local_state_file.h"
#include "halvex/streams/state_output.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int kNodes = 1000;
constexpr int kRounds = 30;      ///< the best round counts, which filters out other load
constexpr double kGoalMs = 1.0;  ///< most a write or a read may take

/// The plain floor: writes `data` to a temporary file and renames it over `path`.
void plainReplace(const std::string& path, const std::string& data) {
  const std::string temp = path + ".plain";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0 || ::write(fd, data.data(), data.size()) < 0) std::perror("write");
  ::close(fd);
  std::rename(temp.c_str(), path.c_str());
}

/// The plain floor of reading: the file's lines into a buffer.
size_t plainRead(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  char line[2048];
  size_t total = 0;
  while (file != nullptr && std::fgets(line, sizeof line, file) != nullptr) total += line[0];
  if (file != nullptr) std::fclose(file);
  return total;
}

}  // namespace

int main(int argc, char** argv) {
  const bool check = argc == 2 && std::strcmp(argv[1], "--check") == 0;
  char pattern[] = "/tmp/state_bench_XXXXXX";
  const std::string dir = mkdtemp(pattern);
  const std::string state = dir + "/state.txt";
  NodeTable table;
  bench::fillNodeTable(table, dir, kNodes);
  writeStateFile(table, state.c_str(), false);
  std::string bytes;
  {
    FILE* file = std::fopen(state.c_str(), "r");
    char chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.append(chunk, n);
    std::fclose(file);
  }
  NodeTable reader;
  reader.readNodeFile((dir + "/nodes.txt").c_str());

  const double writeMs =
      bench::bestMs(kRounds, [&] { writeStateFile(table, state.c_str(), false); });
  const double plainWriteMs = bench::bestMs(kRounds, [&] { plainReplace(state, bytes); });
  writeStateFile(table, state.c_str(), false);
  const double readMs = bench::bestMs(kRounds, [&] { readLocalStateFile(reader, state.c_str()); });
  volatile size_t sink = 0;
  const double plainReadMs = bench::bestMs(kRounds, [&] { sink = sink + plainRead(state); });
  std::filesystem::remove_all(dir);

  std::printf(
      "state file, %d nodes (%zu bytes): write %.3f ms (plain write+rename %.3f ms), "
      "read %.3f ms (plain line read %.3f ms); goal <= %.1f ms each\n",
      kNodes, bytes.size(), writeMs, plainWriteMs, readMs, plainReadMs, kGoalMs);
  if (check && (writeMs > kGoalMs || readMs > kGoalMs)) {
    std::printf("FAILED: state file goal missed\n");
    return 1;
  }
  return 0;
}

// Headless trackers in the benchmarks: started on a configuration folder, ended with SIGTERM,
// their processor time and the figures of their last lines read.
#pragma once

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

namespace bench {

using testsupport::ChildOutput;
using testsupport::ChildProcess;

/// Processor time of a process so far (user and system, all threads), s.
inline double cpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(stat, text);
  // The fields after the command name, which ends at the last ')': state is field 3, utime 14.
  const size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  double ticks = 0;
  for (int k = 3; k <= 15 && fields >> field; ++k) {
    if (k == 14 || k == 15) ticks += std::atof(field.c_str());
  }
  return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

/// A headless tracker on the configuration in `folder`, its output piped.
inline std::unique_ptr<ChildProcess> startTracker(const std::string& halvex,
                                                  const std::string& folder,
                                                  const std::string& rate) {
  return std::make_unique<ChildProcess>(
      std::vector<std::string>{halvex, "--headless", "--output-rate", rate, folder + "/master.cfg"},
      ChildOutput::kPipe);
}

/// Ends a tracker with SIGTERM and returns the rest of its output.
inline std::string stopTracker(ChildProcess& tracker) {
  tracker.signal(SIGTERM);
  std::string rest;
  for (std::string line = tracker.outputLine(); !line.empty(); line = tracker.outputLine()) {
    rest += line + "\n";
  }
  tracker.wait();
  return rest;
}

/// The first line of `text` holding `label`, without its line feed; empty when none does.
inline std::string lineWith(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  if (at == std::string::npos) return "";
  const size_t begin = text.rfind('\n', at);
  const size_t from = begin == std::string::npos ? 0 : begin + 1;
  return text.substr(from, text.find('\n', at) - from);
}

/// A number after `label` in `text`, or -1.
inline double numberAfter(const std::string& text, const std::string& label) {
  const size_t at = text.find(label);
  return at == std::string::npos ? -1 : std::atof(text.c_str() + at + label.size());
}

}  // namespace bench

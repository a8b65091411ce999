#include "halvex/engine/history_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "common/platform/paths.h"
#include "halvex/core/utc_time.h"
#include "halvex/engine/history_session.h"

const char kHistoryOptionsHelp[] =
    "  --record FILE         records every fix the inputs take into FILE (replaced)\n"
    "  --record-max-mb N     rolls the recording over to FILE.1, FILE.2, ... past N MiB\n"
    "  --replay FILE         replays the recording FILE in place of the live inputs\n"
    "  --speed X             replay speed, 0.25 to 64 (default 1)\n"
    "  --from TIME           replays from TIME: UTC YYYY-MM-DDTHH:MM:SS or seconds since 1970\n";

namespace {

/// Largest roll-over size, MiB: 1 TiB.
constexpr long kMaxRecordMB = 1L << 20;

}  // namespace

int takeHistoryOption(int argc, const char* const* argv, int& k, HistoryOptions& options,
                      std::string* error) {
  const char* name = argv[k];
  const bool known = std::strcmp(name, "--record") == 0 ||
                     std::strcmp(name, "--record-max-mb") == 0 ||
                     std::strcmp(name, "--replay") == 0 || std::strcmp(name, "--speed") == 0 ||
                     std::strcmp(name, "--from") == 0;
  if (!known) return 0;
  if (k + 1 >= argc || argv[k + 1] == nullptr || argv[k + 1][0] == '\0') {
    if (error) *error = std::string(name) + " needs a value";
    return -1;
  }
  const char* value = argv[++k];
  // Files are named from the folder the tracker was started in, which it leaves for the
  // configuration's.
  if (std::strcmp(name, "--record") == 0) {
    options.recordPath = fullPath(value);
  } else if (std::strcmp(name, "--replay") == 0) {
    options.replayPath = fullPath(value);
  } else if (std::strcmp(name, "--record-max-mb") == 0) {
    char* end = nullptr;
    errno = 0;
    const long mb = std::strtol(value, &end, 10);
    if (errno != 0 || *end != '\0' || mb < 1 || mb > kMaxRecordMB) {
      if (error) *error = "--record-max-mb needs a whole number of MiB from 1";
      return -1;
    }
    options.recordMaxMB = static_cast<int>(mb);
  } else if (std::strcmp(name, "--speed") == 0) {
    char* end = nullptr;
    const double speed = std::strtod(value, &end);
    if (*end != '\0' || !std::isfinite(speed) || speed < HistorySession::kMinSpeed ||
        speed > HistorySession::kMaxSpeed) {
      if (error) *error = "--speed needs a number from 0.25 to 64";
      return -1;
    }
    options.speed = speed;
  } else {
    int64_t ms = 0;
    if (!parseUtcTime(value, ms)) {
      if (error) *error = "--from needs a UTC time YYYY-MM-DDTHH:MM:SS or seconds since 1970";
      return -1;
    }
    options.fromMs = ms;
  }
  return 1;
}

bool checkHistoryOptions(const HistoryOptions& options, std::string* error) {
  if (!options.replayPath.empty() && !options.recordPath.empty()) {
    if (error) *error = "--record and --replay cannot be used together";
    return false;
  }
  if (options.replayPath.empty() && (options.speed != 1 || options.fromMs != 0)) {
    if (error) *error = "--speed and --from go with --replay";
    return false;
  }
  if (options.recordPath.empty() && options.recordMaxMB != 0) {
    if (error) *error = "--record-max-mb goes with --record";
    return false;
  }
  return true;
}

bool startHistory(const HistoryOptions& options, HistorySession& session, std::string* error) {
  if (!options.recordPath.empty() &&
      !session.startRecording(options.recordPath, options.recordMaxMB, error)) {
    return false;
  }
  if (!options.replayPath.empty()) {
    if (!session.startReplay(options.replayPath, options.fromMs, true, error)) return false;
    session.setSpeed(options.speed);
  }
  return true;
}

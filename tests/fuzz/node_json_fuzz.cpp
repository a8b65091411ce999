// The node state message reader on any bytes: it never reads past the message, and whatever it
// takes, written again by the writer, reads back as the same state.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "halvex/streams/node_json.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  NodeState state;
  if (readNodeStateJson(reinterpret_cast<const char*>(data), size, state) != NodeJsonError::kNone) {
    return 0;
  }
  if (state.id < 0 || state.id > 65535 || !std::isfinite(state.latitude) ||
      std::fabs(state.latitude) > 90 || !std::isfinite(state.longitude) ||
      std::fabs(state.longitude) > 180 || !std::isfinite(state.age) || state.status < 0 ||
      state.status > 2 || state.sentMs < 0) {
    std::abort();
  }
  const std::string again = nodeStateJson(state);
  // Defaults written out and positions padded to 9 decimals may take a full message past the
  // limit.
  if (again.size() > kNodeJsonMaxBytes) return 0;
  NodeState back;
  if (readNodeStateJson(again.data(), again.size(), back) != NodeJsonError::kNone) std::abort();
  if (back.id != state.id || back.name != state.name || back.comment1 != state.comment1 ||
      back.comment2 != state.comment2 || back.source != state.source ||
      back.status != state.status || back.timeMs != state.timeMs || back.sentMs != state.sentMs ||
      std::fabs(back.latitude - state.latitude) > 1e-9 ||
      std::fabs(back.longitude - state.longitude) > 1e-9 ||
      !(std::fabs(back.age - state.age) <= std::max(1e-3, std::fabs(state.age) * 1e-15))) {
    std::abort();
  }
  return 0;
}

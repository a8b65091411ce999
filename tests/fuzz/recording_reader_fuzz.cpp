// The recording reader on arbitrary bytes: opening, seeking and walking must neither crash nor
// read out of bounds, and a walk taken in steps must give what one walk over all gives.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "halvex/history/recording_format.h"
#include "halvex/history/recording_reader.h"
#include "tests/fuzz/memory_file.h"

namespace {

/// The input with the checksum of every block it frames set right, so that mutations reach the
/// decoding behind the checksums too.
std::string withChecksums(const uint8_t* data, size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  size_t at = bytes.find("\n\n");
  if (at == std::string::npos) return bytes;
  for (at += 2; bytes.size() - at >= recording::kBlockHeaderBytes;) {
    auto* header = reinterpret_cast<uint8_t*>(&bytes[at]);
    const uint64_t payload = recording::getU32(header + 8);
    if (payload > bytes.size() - at - recording::kBlockHeaderBytes) break;
    std::string fixed;
    recording::appendBlock(fixed, static_cast<char>(header[4]), recording::getU32(header + 12),
                           static_cast<int64_t>(recording::getU64(header + 20)),
                           static_cast<int64_t>(recording::getU64(header + 28)),
                           bytes.substr(at + recording::kBlockHeaderBytes, payload));
    bytes.replace(at + recording::kCrcOffset, 4, fixed, recording::kCrcOffset, 4);
    at += recording::kBlockHeaderBytes + payload;
  }
  return bytes;
}

/// Every entry of a walk as text: node, times, position bits and texts.
struct Journal {
  std::string text;
  RecordingReader::Visit visit() {
    return [this](const TrackState& s, unsigned changes) {
      text += std::to_string(s.id) + ":" + std::to_string(s.arrivalMs) + ":" +
              std::to_string(s.fixMs) + ":" + std::to_string(s.latitude) + ":" +
              std::to_string(s.longitude) + ":" + std::to_string(changes) + ":" + s.comment1 + "|" +
              s.comment2 + "|" + s.name + "\n";
      return true;
    };
  }
};

/// Reads one file every way and checks that the ways agree.
void readEveryWay(const std::string& bytes) {
  const std::string path = memoryFile(bytes.data(), bytes.size());
  RecordingReader reader;
  std::string error;
  if (!reader.open(path, &error)) {
    if (error.empty()) std::abort();
    return;
  }
  const int64_t first = reader.firstMs();
  const int64_t last = reader.lastMs();
  std::vector<TrackState> byId;
  const int64_t middle = first / 2 + last / 2;
  for (const int64_t t : {first - 1, first, middle, last, INT64_MAX}) {
    reader.stateAt(t, byId);
    for (size_t id = 0; id < byId.size(); ++id) {
      if (byId[id].known() && byId[id].id != static_cast<int>(id)) std::abort();
    }
    if (!byId.empty() && !byId.back().known()) std::abort();
  }

  // Damage found on the way drops blocks, so the walks agree only on an undamaged recording.
  Journal whole, steps;
  const bool wholeRead = reader.forEach(INT64_MIN, INT64_MAX, whole.visit());
  if (!reader.damage().empty() || !wholeRead) return;
  // Eight steps over the span, then the rest; each goes on where the last ended.
  const uint64_t step = (static_cast<uint64_t>(last) - static_cast<uint64_t>(first)) / 7 + 1;
  int64_t from = INT64_MIN;
  for (uint64_t i = 0; i <= 8; ++i) {
    const int64_t to =
        i == 8 ? INT64_MAX : static_cast<int64_t>(static_cast<uint64_t>(first) - 1 + i * step);
    if (!reader.forEach(from, to, steps.visit())) std::abort();
    from = to;
  }
  if (steps.text != whole.text) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  readEveryWay(std::string(reinterpret_cast<const char*>(data), size));
  readEveryWay(withChecksums(data, size));
  return 0;
}

// A state server's whole response handed to the fetch's reading code in receive pieces of random
// sizes, and again in the largest pieces: both must leave the same nodes and refresh value, the
// reader must never ask for more than its buffer takes nor receive again after the end.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "halvex/streams/http_line_reader.h"
#include "halvex/streams/remote_state.h"
#include "halvex/tracking/node_table.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/fuzz_node_tables.h"

using fuzznodes::makeTable;
using fuzznodes::sameNodes;

namespace {

/// Hands out the response in pieces whose sizes come from a small generator.
struct PieceSource {
  const char* data;
  size_t size;
  uint32_t state;  ///< Generator state; 0 gives the largest pieces.
  int endResult;   ///< 0 (orderly close) or -1 (error) once all is out.
  size_t position = 0;
  bool ended = false;

  static int receive(void* self, char* buffer, int length) {
    auto& s = *static_cast<PieceSource*>(self);
    if (s.ended || length > HttpLineReader::kReceiveBytes || length < 1) std::abort();
    if (s.position == s.size) {
      s.ended = true;
      return s.endResult;
    }
    size_t n = static_cast<size_t>(length);
    if (s.state != 0) {
      s.state = s.state * 1103515245u + 12345u;
      n = 1 + (s.state >> 16) % ((s.state & 1) ? 16 : static_cast<uint32_t>(length));
    }
    n = std::min(n, s.size - s.position);
    std::memcpy(buffer, s.data + s.position, n);
    s.position += n;
    return static_cast<int>(n);
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static NodeTable* piecewise = makeTable();
  static NodeTable* whole = makeTable();
  const uint32_t seed = take<uint32_t>(data, size) | 1u;
  const int endResult = (seed & 2) ? -1 : 0;
  const char* text = reinterpret_cast<const char*>(data);

  PieceSource pieces{text, size, seed, endResult};
  HttpLineReader piecesReader(PieceSource::receive, &pieces);
  int refreshA = -1;
  const int appliedA = readRemoteResponse(*piecewise, piecesReader, &refreshA);

  PieceSource largest{text, size, 0, endResult};
  HttpLineReader largestReader(PieceSource::receive, &largest);
  int refreshB = -1;
  const int appliedB = readRemoteResponse(*whole, largestReader, &refreshB);

  if (!pieces.ended || !largest.ended) std::abort();
  if (appliedA != appliedB || refreshA != refreshB) std::abort();
  if (appliedA > 0 && std::memchr(text, '$', size) == nullptr) std::abort();
  if (!sameNodes(*piecewise, *whole)) std::abort();
  return 0;
}

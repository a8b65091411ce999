#include "halvex/streams/packet_ring.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "halvex/core/tracker_defaults.h"

namespace {

constexpr int kMinBufferBytes = tracker_defaults::kMinBufferBytes;
constexpr int kMinBufferCount = 1;

}  // namespace

PacketRing::PacketRing(int bufferBytes, int bufferCount)
    : bufferBytes_(std::max(bufferBytes, kMinBufferBytes)),
      bufferCount_(std::max(bufferCount, kMinBufferCount)),
      block_(new char[static_cast<size_t>(bufferBytes_) * static_cast<size_t>(bufferCount_)]()),
      buffers_(new char*[static_cast<size_t>(bufferCount_)]) {
  for (int i = 0; i < bufferCount_; ++i) {
    buffers_[i] = block_.get() + static_cast<size_t>(i) * static_cast<size_t>(bufferBytes_);
  }
}

bool PacketRing::store(const char* text, int length) {
  if (fillCount_ >= bufferCount_) {
    overflow_ = true;
    return false;
  }
  const int kept = std::clamp(length, 0, bufferBytes_ - 1);
  char* target = buffers_[fillCount_++];
  if (kept > 0) std::memcpy(target, text, static_cast<size_t>(kept));
  target[kept] = '\0';
  return true;
}

char* PacketRing::nextPacket() {
  return readPosition_ < fillCount_ ? buffers_[readPosition_++] : nullptr;
}

void PacketRing::clear() {
  fillCount_ = 0;
  readPosition_ = 0;
  overflow_ = false;
}

#include "halvex/streams/input_port_set.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/platform/sleep.h"
#include "halvex/core/cut_line.h"
#include "halvex/core/field_scan.h"
#include "halvex/streams/input_port.h"

namespace {

constexpr int kPortTokens = 3;  ///< Name, group and port.

/// Splits `line` into up to `max` blank-separated tokens as "%s" reads them; returns how many.
int splitTokens(const char* line, std::string* tokens, int max) {
  int count = 0;
  const char* start = nullptr;
  for (const char* end = line; count < max && (end = fieldscan::spanWord(end, start)) != nullptr;) {
    tokens[count++].assign(start, end);
  }
  return count;
}

/// Bytes a mebibyte holds.
constexpr long long kMebibyte = 1LL << 20;

/// The port token read as a long, as "%ld" would (out-of-range values held at the limits, text
/// that is no number 0); the receiver refuses what is no UDP port.
long portNumber(const std::string& token) {
  long value = 0;
  return fieldscan::scanLong(token.c_str(), value) != nullptr ? value : 0;
}

}  // namespace

InputPortSet::InputPortSet(NodeTable& table, int bufferBytes, int buffersPerPort)
    : table_(table),
      bufferBytes_(boundedBufferBytes(
          bufferBytes < kMinBufferBytes ? kDefaultBufferBytes : bufferBytes, kMinBuffersPerPort)),
      buffersPerPort_(boundedBuffersPerPort(
          buffersPerPort < kMinBuffersPerPort ? kDefaultBuffersPerPort : buffersPerPort,
          bufferBytes_)) {}

InputPortSet::~InputPortSet() {
  unloadPorts();
}

int InputPortSet::boundedBufferBytes(int bytes, int count) {
  if (bytes < kMinBufferBytes) return 0;
  long bounded = std::min(bytes, kMaxBufferBytes);
  if (bounded * std::max(count, 1) > kMaxRingBytes) bounded = kMaxRingBytes / std::max(count, 1);
  return static_cast<int>(bounded);
}

int InputPortSet::boundedBuffersPerPort(int count, int bytes) {
  if (count < kMinBuffersPerPort) return 0;
  long bounded = std::min(count, kMaxBuffersPerPort);
  if (bounded * std::max(bytes, 1) > kMaxRingBytes) bounded = kMaxRingBytes / std::max(bytes, 1);
  return static_cast<int>(bounded);
}

bool InputPortSet::loadPortFile(const char* name) {
  // A copy first: the name may be the remembered one, which is replaced below.
  const std::string path = name != nullptr ? name : "";
  unloadPorts();
  // File names differing only in letter case are different files here, so any difference
  // replaces the remembered name.
  portFilePath_ = path;
  FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "r");
  if (file != nullptr) {
    // Every port allocates its two rings when it is made, so the ports the budget holds are
    // counted before any is: the rest are never made.
    const long long portBytes = 2LL * bufferBytes_ * buffersPerPort_;
    const long long portsHeld = ringMemoryMB_ * kMebibyte / portBytes;
    char line[kPortLineBytes];
    std::string tokens[kPortTokens];
    int lineNumber = 0;
    int firstRefusedLine = 0;
    int refused = 0;
    while (readCutLine(file, line, sizeof line)) {
      ++lineNumber;
      // Sample line: "north  239.255.10.1  5001"  (name, group, port; "#" first: a comment)
      if (splitTokens(line, tokens, kPortTokens) < kPortTokens || tokens[0][0] == '#') continue;
      if (static_cast<long long>(ports_.size()) >= portsHeld) {
        if (refused++ == 0) firstRefusedLine = lineNumber;
        continue;
      }
      ports_.push_back(std::make_unique<InputPort>(tokens[0].c_str(), tokens[1].c_str(),
                                                   portNumber(tokens[2]), table_, bufferBytes_,
                                                   buffersPerPort_));
    }
    std::fclose(file);
    if (refused > 0) {
      std::fprintf(stderr,
                   "halvex: %s line %d: not opened, with every port after it (%d in all): their "
                   "rings would pass the %d MiB all ports may take (Input MultiCastMemoryMB)\n",
                   path.c_str(), firstRefusedLine, refused, ringMemoryMB_);
    }
  }
  for (size_t i = 0; i < ports_.size(); ++i) {
    ports_[i]->prev = i > 0 ? ports_[i - 1].get() : nullptr;
    ports_[i]->next = i + 1 < ports_.size() ? ports_[i + 1].get() : nullptr;
  }
  portsLoaded_ = !ports_.empty();
  return portsLoaded_;
}

void InputPortSet::unloadPorts() {
  stopReceivers();
  ports_.clear();
  portsLoaded_ = false;
}

void InputPortSet::startReceivers() {
  if (receiving_) return;
  for (auto& port : ports_) port->open();
  receiving_ = true;
}

void InputPortSet::stopReceivers() {
  if (!receiving_) return;
  for (auto& port : ports_) {
    if (port->active()) port->stop();
  }
  receiving_ = false;
}

int InputPortSet::setBytesPerBuffer(int bytes) {
  setRingSettings(bytes, buffersPerPort_, ringMemoryMB_);
  return bufferBytes_;
}

int InputPortSet::setBuffersPerPort(int count) {
  setRingSettings(bufferBytes_, count, ringMemoryMB_);
  return buffersPerPort_;
}

int InputPortSet::setRingMemoryMB(int megabytes) {
  setRingSettings(bufferBytes_, buffersPerPort_, megabytes);
  return ringMemoryMB_;
}

void InputPortSet::setRingSettings(int bytes, int count, int memoryMB) {
  // Values in force already pass their bounds unchanged, so each setter is this with the others
  // as they are.
  const int bytesBounded = boundedBufferBytes(bytes, buffersPerPort_);
  const int newBytes = bytesBounded != 0 ? bytesBounded : bufferBytes_;
  const int countBounded = boundedBuffersPerPort(count, newBytes);
  const int newCount = countBounded != 0 ? countBounded : buffersPerPort_;
  const int newMemory = memoryMB >= 1 ? memoryMB : ringMemoryMB_;
  if (newBytes == bufferBytes_ && newCount == buffersPerPort_ && newMemory == ringMemoryMB_) {
    return;
  }
  bufferBytes_ = newBytes;
  buffersPerPort_ = newCount;
  ringMemoryMB_ = newMemory;
  applyBufferSizes();
}

void InputPortSet::applyBufferSizes() {
  if (receiving_) {
    stopReceivers();
    // The pause lets the old sockets go before new ones bind; without ports there are none.
    if (!ports_.empty()) sleepMs(kRestartPauseMs);
    loadPortFile(portFilePath_.c_str());
    startReceivers();
  } else if (portsLoaded_) {
    loadPortFile(portFilePath_.c_str());
  }
}

int InputPortSet::processPorts() {
  int applied = 0;
  for (auto& port : ports_) applied += port->process();
  return applied;
}

InputPort* InputPortSet::portAt(int k) const {
  return (k >= 0 && k < portCount()) ? ports_[k].get() : nullptr;
}

// The node table's multicast input ports: the port file, the receivers and the buffer sizes.
#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/platform/sleep.h"
#include "halvex/config/cut_line.h"
#include "halvex/streams/input_port.h"
#include "halvex/tracking/node_table.h"

namespace {

constexpr int kPortTokens = 3;  ///< Name, group and port.

bool isTokenSpace(char c) {
  return std::isspace(static_cast<unsigned char>(c)) != 0;
}

/// Splits `line` into up to `max` blank-separated tokens as "%s" reads them; returns how many.
int splitTokens(const char* line, std::string* tokens, int max) {
  int count = 0;
  const char* p = line;
  while (count < max) {
    while (isTokenSpace(*p)) ++p;
    if (*p == '\0') break;
    const char* start = p;
    while (*p != '\0' && !isTokenSpace(*p)) ++p;
    tokens[count++].assign(start, p);
  }
  return count;
}

/// The port token read as a long, as "%ld" would (out-of-range values held at the limits, text
/// that is no number 0); the receiver refuses what is no UDP port.
long portNumber(const std::string& token) {
  return std::strtol(token.c_str(), nullptr, 10);
}

}  // namespace

int NodeTable::boundedBufferBytes(int bytes, int count) {
  if (bytes < kMinBufferBytes) return 0;
  long bounded = std::min(bytes, kMaxBufferBytes);
  if (bounded * std::max(count, 1) > kMaxRingBytes) bounded = kMaxRingBytes / std::max(count, 1);
  return static_cast<int>(bounded);
}

int NodeTable::boundedBuffersPerPort(int count, int bytes) {
  if (count < kMinBuffersPerPort) return 0;
  long bounded = std::min(count, kMaxBuffersPerPort);
  if (bounded * std::max(bytes, 1) > kMaxRingBytes) bounded = kMaxRingBytes / std::max(bytes, 1);
  return static_cast<int>(bounded);
}

bool NodeTable::loadPortFile(const char* name) {
  // A copy first: the name may be the remembered one, which is replaced below.
  const std::string path = name != nullptr ? name : "";
  unloadPorts();
  // File names differing only in letter case are different files here, so any difference
  // replaces the remembered name.
  portFilePath_ = path;
  FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "r");
  if (file != nullptr) {
    char line[kPortLineBytes];
    while (readCutLine(file, line, sizeof line)) readPortLine(line);
    std::fclose(file);
  }
  for (size_t i = 0; i < ports_.size(); ++i) {
    ports_[i]->prev = i > 0 ? ports_[i - 1].get() : nullptr;
    ports_[i]->next = i + 1 < ports_.size() ? ports_[i + 1].get() : nullptr;
  }
  portsLoaded_ = !ports_.empty();
  return portsLoaded_;
}

// Sample line: "north  239.255.10.1  5001"  (name, group, port; "#" first begins a comment)
void NodeTable::readPortLine(const char* line) {
  std::string tokens[kPortTokens];
  if (splitTokens(line, tokens, kPortTokens) < kPortTokens) return;
  if (tokens[0][0] == '#') return;
  ports_.push_back(std::make_unique<InputPort>(tokens[0].c_str(), tokens[1].c_str(),
                                               portNumber(tokens[2]), *this, bufferBytes_,
                                               buffersPerPort_));
}

void NodeTable::unloadPorts() {
  stopReceivers();
  ports_.clear();
  portsLoaded_ = false;
}

void NodeTable::startReceivers() {
  if (receiving_) return;
  for (auto& port : ports_) port->open();
  receiving_ = true;
}

void NodeTable::stopReceivers() {
  if (!receiving_) return;
  for (auto& port : ports_) {
    if (port->active()) port->stop();
  }
  receiving_ = false;
}

int NodeTable::setBytesPerBuffer(int bytes) {
  const int bounded = boundedBufferBytes(bytes, buffersPerPort_);
  if (bounded == 0 || bounded == bufferBytes_) return bufferBytes_;
  bufferBytes_ = bounded;
  applyBufferSizes();
  return bufferBytes_;
}

int NodeTable::setBuffersPerPort(int count) {
  const int bounded = boundedBuffersPerPort(count, bufferBytes_);
  if (bounded == 0 || bounded == buffersPerPort_) return buffersPerPort_;
  buffersPerPort_ = bounded;
  applyBufferSizes();
  return buffersPerPort_;
}

void NodeTable::applyBufferSizes() {
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

int NodeTable::processPorts() {
  int applied = 0;
  for (auto& port : ports_) applied += port->process();
  return applied;
}

InputPort* NodeTable::portAt(int k) const {
  return (k >= 0 && k < portCount()) ? ports_[k].get() : nullptr;
}

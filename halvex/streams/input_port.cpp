#include "halvex/streams/input_port.h"

#include "halvex/streams/node_updates.h"

InputPort::InputPort(const char* name, const char* group, long port, const NodeTable& owner,
                     int bufferBytes, int bufferCount)
    : name_(name != nullptr ? name : ""),
      owner_(owner),
      receiver_(group, port, bufferBytes, bufferCount) {}

bool InputPort::open() {
  active_ = true;
  return receiver_.open();
}

void InputPort::stop() {
  receiver_.stop();
  active_ = false;
}

int InputPort::process() {
  if (!active_) return 0;
  PacketRing& ring = receiver_.swapRings();
  overflowed_ = ring.overflow();
  int applied = 0;
  while (char* packet = ring.nextPacket()) {
    if (applyPositionPacket(owner_, packet)) ++applied;
  }
  return applied;
}

#include "common/platform/sleep.h"

#include <chrono>
#include <thread>

void sleepMs(unsigned ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

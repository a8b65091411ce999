// Taking typed values off the front of a fuzz input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

/// The next sizeof(T) bytes of the input as a T (zero when too few are left), consumed.
template <class T>
T take(const uint8_t*& data, size_t& size) {
  T v{};
  if (size >= sizeof v) {
    std::memcpy(&v, data, sizeof v);
    data += sizeof v;
    size -= sizeof v;
  }
  return v;
}

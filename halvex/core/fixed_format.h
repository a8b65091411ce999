// Fast number formatting with exactly the bytes printf writes, for the text formats that are
// written per node and per packet.
#pragma once

namespace fixedfmt {

/// Buffer size that holds any result of the functions below.
constexpr int kNumberBufferSize = 48;

/// Writes value as printf's "%0<width>.<precision>f" would (precision 0..9, width 0 for none),
/// rounding the exact binary value half to even like glibc. Returns the length written (no
/// terminator), or 0 when value is not finite or |value| >= 2^64, which callers hand to snprintf.
int formatFixed(double value, int precision, int width, char* out);

/// Writes value as printf's "%0<width>ld" would (width 0 for none); returns the length.
int formatInt(long value, int width, char* out);

}  // namespace fixedfmt

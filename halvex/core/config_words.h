// Small word helpers shared by the configuration file readers.
#pragma once

#include <string>

namespace config {

/// True when word equals keyword, ignoring ASCII letter case.
bool sameWord(const std::string& word, const char* keyword);

/// Reads an "on" / "off" switch (any letter case) into value; false, leaving value unchanged, for
/// any other word.
bool readOnOff(const std::string& word, bool& value);

/// value clamped into the range of int, so that out-of-range numbers in a file cannot wrap.
int clampToInt(long value);

/// Integer read from the start of text the way atoi does (leading blanks, an optional sign,
/// decimal digits; anything else ends it; no digits gives 0), clamped into the range of int.
int leadingInt(const char* text);

}  // namespace config

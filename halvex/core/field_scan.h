// Fast readers for the single sscanf conversions that the packet and record formats use.
//
// Each reader takes the text at the point where sscanf would apply the conversion and accepts
// exactly what glibc's sscanf accepts there: the same leading-space skip, signs, width limits
// (the sign counts toward the width), the same overflow results and the same value. A reader
// returns the position after what the conversion consumed, or null when the conversion yields no
// value (sscanf would return 0 or EOF). No reader allocates or reads past the terminating NUL.
#pragma once

namespace fieldscan {

/// Whether c is white space for the scanners (the C locale's isspace).
inline bool isSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

/// "%ld", or "%<width>ld" when width > 0. Out of range values saturate at LONG_MIN/LONG_MAX.
const char* scanLong(const char* text, long& value, int width = 0);

/// "%d", or "%<width>d" when width > 0. The value is read as a long and then cut to its low 32
/// bits, as sscanf does (so "4294967297" gives 1).
const char* scanInt(const char* text, int& value, int width = 0);

/// "%lf". Hex floats, infinities, NaNs and long mantissas read exactly as sscanf reads them.
const char* scanDouble(const char* text, double& value);

/// "%f" into a float.
const char* scanFloat(const char* text, float& value);

/// "%1[set]": one character that occurs in set (no space skip). The character goes to c.
const char* scanCharIn(const char* text, const char* set, char& c);

/// "%<width>s": skips spaces, then copies up to width non-space characters into word, which
/// must hold width + 1 bytes, and terminates it. width must be at least 1.
const char* scanWord(const char* text, char* word, int width);

/// "%s" without a width, in place: skips spaces and returns the end of the word that follows,
/// its first character in start; null when only spaces are left.
inline const char* spanWord(const char* text, const char*& start) {
  while (isSpace(*text)) ++text;
  if (*text == '\0') return nullptr;
  start = text;
  while (*text != '\0' && !isSpace(*text)) ++text;
  return text;
}

/// A literal character of a pattern: matches c itself, without skipping spaces.
inline const char* matchChar(const char* text, char c) {
  return (text != nullptr && *text == c && c != '\0') ? text + 1 : nullptr;
}

/// Whether text begins with the first n characters of tag (written in lower case), ASCII letter
/// case ignored in text, as the section tags of state files and HTTP bodies are compared.
inline bool tagPrefix(const char* text, const char* tag, int n) {
  for (int i = 0; i < n; ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != tag[i]) return false;  // also stops at the text's end
  }
  return true;
}

}  // namespace fieldscan

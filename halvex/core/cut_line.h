// Reading text files line by line into a fixed buffer.
#pragma once

#include <cstdio>

/// Reads one line of at most size - 1 characters into `line`; the rest of a longer line is
/// dropped rather than read as a line of its own. Counts what it reads rather than measuring the
/// text, so a NUL byte inside a line ends that line's text without costing the next line.
/// Returns false at the end of the file.
bool readCutLine(std::FILE* file, char* line, int size);

// Whether a stream goes to a terminal, where output meant for a person (a progress line) may be
// drawn.
#pragma once

#include <cstdio>

/// Whether `stream` is open on a terminal; false for files, pipes, memory streams and null.
bool isTerminal(std::FILE* stream);

// The release version of every program, set once in the top CMakeLists.txt.
#pragma once

#include <cstdio>

/// The version the programs were built as ("1.0.0"), from the top CMakeLists.txt's project().
const char* buildVersion();

/// Prints "<program> <version>" and a line feed on `out`, the line `--version` gives (and the
/// first line help2man reads for a manual page).
void printVersion(std::FILE* out, const char* program);

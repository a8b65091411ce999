// File names as the converter lists and opens them: relative to the directory it runs in.
#pragma once

#include <string>

namespace dunmore {

/// `path` relative to `directory` (absolute), with "." and ".." resolved lexically and ".."
/// steps where the file lies outside it: "/w/reports/day1.cast" from "/w/run" gives
/// "../reports/day1.cast". A relative `path` is taken from `directory`. `path` comes back
/// unchanged when it is empty or `directory` is not absolute; "." when both name the same place.
std::string relativeName(const std::string& path, const std::string& directory);

/// relativeName from the current directory; `path` unchanged when that cannot be read.
std::string relativeToCurrentDirectory(const std::string& path);

}  // namespace dunmore

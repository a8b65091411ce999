// Parsers of the command-line values the vehicle tools share.
#pragma once

#include <limits>
#include <vector>

namespace tool_options {

/// A whole decimal number within [min, max]; false for anything else.
bool parseLong(const char* text, long long min, long long max, long long& out);

/// A finite number within [min, max]; false for anything else.
bool parseDouble(const char* text, double& out, double min = -std::numeric_limits<double>::max(),
                 double max = std::numeric_limits<double>::max());

/// Node ids and ranges up to maxId, as in "1,4,10-19", in the order given; false when an item
/// does not parse or nothing is listed.
bool parseIds(const char* text, int maxId, std::vector<int>& ids);

}  // namespace tool_options

// The name of the machine the program runs on.
#pragma once

#include <string>

/// The system's host name (gethostname), or empty when it has none or cannot be had.
std::string hostName();

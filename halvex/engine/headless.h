// The tracker without a window: inputs in, state files out, until SIGINT or SIGTERM.
#pragma once

/// Runs `halvex --headless` with the arguments that follow that option. Returns the exit status.
int runHeadless(int argc, char** argv);

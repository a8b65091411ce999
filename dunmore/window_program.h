// The converter as a window program: what dunmore does when started without arguments.
#pragma once

namespace dunmore {

/// Milliseconds between two samples of the mouse buttons in the program's loop.
constexpr unsigned kPollPeriodMs = 33;

/// Registers the "manu event tool" list, shows the converter window and runs the loop that
/// handles events and fires the list on mouse-button changes, until the window is closed.
/// Returns 0, or 1 (with a message and the command line's usage) when no display can be opened.
int runConverterWindow();

}  // namespace dunmore

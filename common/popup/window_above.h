// Keeping a window of the toolkit above the others (popups, tool windows, the splash window).
#pragma once

class Fl_Window;

/// Asks the window manager to keep a shown window above all ordinary windows (the EWMH
/// "above" state, also set directly for when no window manager runs), and raises it. Does
/// nothing while the window has no X window.
void keepWindowAbove(Fl_Window* window);

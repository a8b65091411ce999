// The state of the mouse buttons wherever the pointer is, also over other programs' windows.
#pragma once

struct _XDisplay;

/// Whether the left, middle or right mouse button is down now, asked of the X server for the
/// whole screen (the pointer may be over any window). False when `display` is null.
bool anyMouseButtonDown(_XDisplay* display);

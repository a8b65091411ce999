// Text drawn into the view at the current raster position with the toolkit's OpenGL fonts.
#pragma once

/// Draws text at the raster position in the current gl_font and advances the position. Blanks
/// move the position by the font's blank width themselves: the bitmap fonts of some X servers
/// draw a blank without advancing, which ran words together. Needs a valid raster position.
void drawGlText(const char* text);

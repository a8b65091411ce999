// The position readout of each frame: the ground position under the pointer and its three text
// lines in the lower right corner of the view.
#pragma once

#include "common/geodesy/readout.h"

struct DrawContext;

/// Stores the ground position under the camera's pick position (from the camera's last apply)
/// in *latitude and *longitude. False, storing nothing, without a camera or a window area.
bool updatePointerGround(const DrawContext& context, double* latitude, double* longitude);

/// Normalised device position of the lower-left corner of readout line k (0 the bottom line)
/// for a text `textWidth` pixels wide, in a font of `descent` and `lineHeight` pixels, in a
/// window of width x height pixels: right-aligned in the lower right corner.
void readoutLinePosition(int k, double textWidth, double descent, double lineHeight, double width,
                         double height, double position[2]);

/// Draws the three lines of `readout` in black, bold fixed-width, latitude on top, with identity
/// matrices; both matrices are restored afterwards. Needs a current context.
void drawReadout(const DrawContext& context, const geodesy::Readout& readout);

/// One frame's readout step: updates the pointer ground position in latitude and longitude
/// (left as they are when it cannot be found), draws the readout of that position and returns
/// it.
geodesy::Readout drawPointerReadout(const DrawContext& context, double& latitude,
                                    double& longitude);

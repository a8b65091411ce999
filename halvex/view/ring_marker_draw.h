// Drawing of ring markers: a pole with a ball and a ring of coloured slots (rings within rings for
// 3D markers), lit, with the marker's labels in white boxes beside it.
#pragma once

class RingMarker;
struct DrawContext;

/// Draws `marker` with its colour scaled by `intensity` (1 for normal markers) and its labels
/// when its label anchor lies inside the view horizontally. Leaves lighting off. Needs a current
/// context with the camera applied.
void drawRingMarker(const RingMarker& marker, const DrawContext& context, double intensity);

/// The marker's label anchor in normalised device coordinates under the current matrices.
/// False when it lies outside -1 .. 1 horizontally or behind the eye (no labels are drawn).
bool ringLabelAnchor(const RingMarker& marker, const DrawContext& context, double anchor[3]);

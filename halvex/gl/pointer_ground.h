// The ground position under the mouse pointer, from the camera of the last frame.
#pragma once

class ViewCamera;

/// Casts the ray through the centre of pixel (px, py) of a width x height window from the eye of
/// `camera` (after its apply) onto the ground z = 0 and stores the point, limited to longitude
/// -180 .. 180 and latitude -90 .. 90, in *lat and *lon (either may be null). A ray that does
/// not descend ends at the edges of those ranges. Returns false, storing nothing, when the
/// window has no area.
bool pointerGround(const ViewCamera& camera, double px, double py, double width, double height,
                   double* lat, double* lon);

// Angle constants shared by the camera, scene and geodesy code.
#pragma once

#include <cmath>

/// Half a turn in radians: the one value of pi every part of both programs uses.
constexpr double kPi = 3.14159265358979323846;

/// Radians per degree as a literal, for degree-to-radian conversions.
constexpr double kDegToRad = 0.017453292519943295;

/// Degrees per radian as a literal.
constexpr double kRadToDeg = 57.29577951308232;

/// One 180th, the factor between PI and DEG2RAD.
constexpr double kOneOver180 = 0.005555555555555556;

/// Degrees in a half turn.
constexpr double kHalfTurnDegrees = 180.0;

// Inline variables, so that every module including this header has them initialised before its
// own static initializers run.

/// Half a turn in radians (the arc cosine of -1, to the last bit).
inline const double PI = kPi;

/// Radians per degree.
inline const double DEG2RAD = PI * kOneOver180;

/// Degrees per radian.
inline const double RAD2DEG = kHalfTurnDegrees / PI;

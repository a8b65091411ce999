// The images of the interaction tool window's buttons: 20 x 20 XPM pixmaps, one character a
// pixel, "." transparent.
#pragma once

/// Width and height of every button image, px.
constexpr int kToolImageSize = 20;

/// Navigation: arrows in four directions.
extern const char* const kNavigationXpm[];
/// Data-set picking: cross hairs over scattered points.
extern const char* const kDataSetPickXpm[];
/// Map editing: a pencil over a map sheet.
extern const char* const kMapEditXpm[];
/// Spare: a ruler.
extern const char* const kRulerXpm[];
/// Spare: a magnifying glass.
extern const char* const kMagnifierXpm[];
/// Spare: a label tag.
extern const char* const kLabelTagXpm[];

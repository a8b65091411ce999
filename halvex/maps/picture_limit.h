// The largest map picture the image readers decode and the texture cache holds, one limit for
// the whole process: a small file declaring a huge picture then fails at its header instead of
// making a reader allocate and fill gigabytes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "halvex/core/tracker_defaults.h"

/// Pixels of a megapixel.
constexpr int64_t kPixelsPerMegapixel = int64_t{1} << 20;
/// The limit before one is set, pixels.
constexpr int64_t kDefaultMapPictureLimit =
    tracker_defaults::kMapMaxMegapixels * kPixelsPerMegapixel;

/// Sets the largest picture, pixels (values below 1 restore the default); returns the previous
/// limit.
int64_t setMapPictureLimit(int64_t pixels);
/// The limit in force, pixels.
int64_t mapPictureLimit();

/// Bytes of a width x height picture of bytesPerPixel bytes a pixel, or 0 when a size is not
/// positive, the product does not fit in memory sizes or the picture is above the limit.
/// Readers call it with the declared sizes before they allocate anything for the picture.
size_t mapPictureBytes(int64_t width, int64_t height, int64_t bytesPerPixel);

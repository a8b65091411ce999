// The preferences file: the tracking settings the tracker starts with.
#pragma once

#include <string>

#include "halvex/tracking/tracking_settings.h"

/// Applies the preferences file at path to settings. Each line of exactly three fields sets one
/// setting (words in any letter case); unknown lines and values other than the listed words leave
/// the settings unchanged. Afterwards closeCount is brought into 0..9, trailMinutes into
/// 0..kMaxTrailMinutes and reportHours into 0..kMaxReportHours. False when the file cannot be
/// opened (settings then only get those bounds).
bool readPreferences(const std::string& path, TrackingSettings& settings);

#include "halvex/config/preferences.h"

#include <algorithm>

#include "halvex/config/field_file.h"
#include "halvex/core/config_words.h"

using config::readOnOff;
using config::sameWord;

namespace {

/// Applies one line; the value word is field 3, its numeric forms come from the file.
void applyLine(const FieldFile& file, const std::string& group, const std::string& key,
               const std::string& value, TrackingSettings& settings) {
  long number = 0;
  double decimal = 0.0;
  file.fieldLong(2, number);
  file.fieldDouble(2, decimal);
  if (sameWord(group, "target")) {
    if (sameWord(key, "id")) settings.targetId = config::clampToInt(number);
    if (sameWord(key, "icon")) readOnOff(value, settings.targetIcon);
  } else if (sameWord(group, "chase")) {
    if (sameWord(key, "id")) settings.chaseId = config::clampToInt(number);
    if (sameWord(key, "icon")) readOnOff(value, settings.chaseIcon);
  } else if (sameWord(group, "prox")) {
    if (sameWord(key, "number")) settings.closeCount = config::clampToInt(number);
    if (sameWord(key, "icon")) readOnOff(value, settings.closeIcon);
  } else if (sameWord(group, "track")) {
    if (!sameWord(key, "mode")) return;
    if (sameWord(value, "all")) settings.navigationMode = 0;
    if (sameWord(value, "targetGroup")) settings.navigationMode = 1;
    if (sameWord(value, "roam")) settings.navigationMode = 2;
  } else if (sameWord(group, "display")) {
    if (!sameWord(key, "mode")) return;
    if (sameWord(value, "all")) settings.displayMode = 0;
    if (sameWord(value, "targetGroup")) settings.displayMode = 1;
  } else if (sameWord(group, "comment")) {
    static const char* const kLabels[TrackingSettings::kLabelCount] = {"node", "mcPacket1",
                                                                       "mcPacket2", "gps"};
    for (int i = 0; i < TrackingSettings::kLabelCount; ++i) {
      if (sameWord(key, kLabels[i])) readOnOff(value, settings.showComment[i]);
    }
  } else if (sameWord(group, "label")) {
    if (sameWord(key, "declutter")) readOnOff(value, settings.labelDeclutter);
  } else if (sameWord(group, "trail")) {
    if (sameWord(key, "minutes")) settings.trailMinutes = config::clampToInt(number);
  } else if (sameWord(group, "reports")) {
    if (sameWord(key, "hours")) settings.reportHours = config::clampToInt(number);
  } else if (sameWord(group, "alert")) {
    if (sameWord(key, "distance")) settings.alertDistance = decimal;
    if (sameWord(key, "alarm")) readOnOff(value, settings.alarm);
    if (sameWord(key, "mediumIdle")) settings.mediumIdle = decimal;
    if (sameWord(key, "badIdle")) settings.badIdle = decimal;
  }
}

}  // namespace

bool readPreferences(const std::string& path, TrackingSettings& settings) {
  const bool opened = forEachThreeWordLine(
      path,
      [&settings](const FieldFile& file, const std::string& group, const std::string& key,
                  const std::string& value) { applyLine(file, group, key, value, settings); });
  // The close-vehicle choice offers "NONE" and 1 to 9; a count outside would select nothing.
  settings.closeCount = std::clamp(settings.closeCount, 0, TrackingSettings::kMaxCloseCount);
  settings.trailMinutes = std::clamp(settings.trailMinutes, 0, tracker_defaults::kMaxTrailMinutes);
  settings.reportHours = std::clamp(settings.reportHours, 0, tracker_defaults::kMaxReportHours);
  return opened;
}

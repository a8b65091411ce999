#include "halvex/tracking/node_role.h"

#include "halvex/tracking/node_table.h"

RoleChoice roleOf(const NodeRecord& node, const TrackingSettings& settings, const NodeTable& table,
                  int roleIconCount) {
  RoleChoice choice;
  if (node.id == settings.targetId) {
    choice.role = NodeRole::kTarget;
    if (settings.targetIcon) choice.roleIcon = kTargetRoleIcon;
    return choice;
  }
  if (node.id == settings.chaseId) {
    choice.role = NodeRole::kChase;
    if (settings.chaseIcon) choice.roleIcon = kChaseRoleIcon;
    return choice;
  }
  for (int k = 0; k < settings.closeCount && k < NodeTable::kNearestCount; ++k) {
    if (table.nearestAt(k) != &node) continue;
    choice.role = NodeRole::kClose;
    if (settings.closeIcon && kFirstCloseRoleIcon + k < roleIconCount) {
      choice.roleIcon = kFirstCloseRoleIcon + k;
    }
    return choice;
  }
  return choice;
}

bool isDisplayed(const RoleChoice& choice, const TrackingSettings& settings) {
  return settings.displayMode != 1 || choice.role != NodeRole::kNone;
}

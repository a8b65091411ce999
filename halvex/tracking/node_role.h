// Which role a node plays when the scene is drawn: target, chase, close vehicle or none.
#pragma once

#include "halvex/tracking/tracking_settings.h"

class NodeRecord;
class NodeTable;

/// A node's role in the target group.
enum class NodeRole { kNone, kTarget, kChase, kClose };

/// A node's role and the place of its role icon in the role icon list (-1 for none).
struct RoleChoice {
  NodeRole role = NodeRole::kNone;
  int roleIcon = -1;
};

/// Place of the target's role icon in the role icon list.
constexpr int kTargetRoleIcon = 1;
/// Place of the chase vehicle's role icon.
constexpr int kChaseRoleIcon = 2;
/// Place of the nearest close vehicle's role icon; the k-th nearest uses this + k.
constexpr int kFirstCloseRoleIcon = 3;

/// The role of `node`: target, then chase, then one of the first closeCount entries of the
/// proximity list; `roleIconCount` is the length of the role icon list.
RoleChoice roleOf(const NodeRecord& node, const TrackingSettings& settings, const NodeTable& table,
                  int roleIconCount);

/// Whether a node with this role is drawn under the settings' display mode.
bool isDisplayed(const RoleChoice& choice, const TrackingSettings& settings);

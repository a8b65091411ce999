// Applying incoming position packets and state records to the node table.
#pragma once

class NodeTable;

/// Parses one position packet (cut in place) and applies it to the node with its id: the fix
/// unless it is older than the node's last packet, then the comments. Returns whether the node
/// took the packet; malformed packets and unknown ids are dropped.
bool applyPositionPacket(const NodeTable& table, char* packet);

/// Parses one state record line (cut in place) and applies it to the node with its id. Returns
/// false when the line is no record or no node has the id.
bool applyStateRecordLine(const NodeTable& table, char* line);

#include "halvex/streams/node_updates.h"

#include "halvex/streams/position_packet.h"
#include "halvex/streams/state_record.h"
#include "halvex/tracking/node_table.h"

bool applyPositionPacket(const NodeTable& table, char* packet) {
  PositionFix fix;
  if (!parsePositionPacket(packet, fix)) return false;
  NodeRecord* node = table.nodeById(fix.id);
  if (node == nullptr) return false;
  return node->applyPacket(fix.gll.latitude, fix.gll.longitude, fix.zda.calendar, fix.zda.time,
                           fix.zda.dateText, fix.comment1, fix.comment2);
}

bool applyStateRecordLine(const NodeTable& table, char* line) {
  StateRecord record;
  if (!parseStateRecord(line, record)) return false;
  NodeRecord* node = table.nodeById(record.id);
  if (node == nullptr) return false;
  node->applyStateRecord(record.latitude, record.longitude, record.status, record.comment1,
                         record.comment2, record.age, record.name);
  return true;
}

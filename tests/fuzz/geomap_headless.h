// Maps and a map group that show no dialogs, for fuzz targets that run without a display.
#pragma once

#include "halvex/project/geo_map.h"
#include "halvex/project/map_group_handler.h"

/// A map that leaves its placement undone instead of asking for it.
class HeadlessMap : public GeoMap {
 public:
  using GeoMap::GeoMap;

 protected:
  void showPlacementDialog() override {}
  std::string chooseAlphaImage() override { return std::string(); }
};

/// A map group of HeadlessMaps whose messages are dropped.
class HeadlessGroup : public KT_mapGroupHandler {
 public:
  HeadlessGroup() : KT_mapGroupHandler(nullptr) {
    setMessageFn([](const std::string&) {});
  }

 protected:
  GeoMap* createMap(const char* path) override { return new HeadlessMap(path, nullptr); }
};

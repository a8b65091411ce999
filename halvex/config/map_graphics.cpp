#include "halvex/config/map_graphics.h"

#include "halvex/config/field_file.h"

bool MapGraphics::read(const std::string& path) {
  path_ = path;
  maps_.clear();
  FieldFile file(path, 7);
  for (int i = 0; i < file.lineCount(); ++i) {
    file.selectLine(i);
    MapGraphicDef map;
    file.fieldText(0, map.name);
    double* const numbers[] = {&map.west,  &map.east,      &map.south,
                               &map.north, &map.minExtent, &map.maxExtent};
    for (int k = 0; k < 6; ++k) file.fieldDouble(k + 1, *numbers[k]);
    maps_.push_back(std::move(map));
  }
  return file.opened();
}

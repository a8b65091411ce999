#include "halvex/project/project_group.h"

#include <strings.h>

#include <string>

#include "halvex/config/field_file.h"

void ProjectGroup::readSection(FieldFile& file) {
  std::string word;
  while (file.nextLine()) {
    if (file.fieldText(0, word) && strcasecmp(word.c_str(), "END") == 0) return;
  }
}

#include "halvex/project/project_prompts.h"

#include <sys/stat.h>

#include "common/platform/paths.h"

std::string fillIn(const std::string& text, const std::string& value) {
  const std::size_t at = text.find("%s");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + value + text.substr(at + 2);
}

std::string fileNamePart(const std::string& path) {
  const PathParts parts = splitPath(path);
  return parts.name + parts.ext;
}

bool pathExists(const std::string& path) {
  struct stat info;
  return !path.empty() && stat(path.c_str(), &info) == 0;
}

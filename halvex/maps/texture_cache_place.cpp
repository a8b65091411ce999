#include "halvex/maps/texture_cache_place.h"

#include <unistd.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>

#include "common/platform/install_layout.h"
#include "common/platform/paths.h"

namespace {

/// Extension of the texture cache.
constexpr const char* kCacheExtension = ".qtex";
/// 64-bit FNV-1a: a stable hash of a path, the same in every run and build.
constexpr std::uint64_t kFnvOffset = 14695981039346656037ull;
constexpr std::uint64_t kFnvPrime = 1099511628211ull;

std::uint64_t pathHash(const std::string& path) {
  std::uint64_t hash = kFnvOffset;
  for (const unsigned char c : path) {
    hash ^= c;
    hash *= kFnvPrime;
  }
  return hash;
}

bool startsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string textureCacheBeside(const std::string& imagePath) {
  return withExtension(imagePath, kCacheExtension);
}

bool folderTakesTextureCache(const std::string& folder) {
  const std::string full = fullPath(folder.empty() ? "." : folder) + "/";
  if (startsWith(full, "/usr/") && !startsWith(full, "/usr/local/")) return false;
  return ::access(full.c_str(), W_OK) == 0;
}

namespace {

std::string cacheInUserFolder(const std::string& imagePath, const char* extension) {
  const std::string folder = userCacheDir();
  if (folder.empty() || !makeFolders(folder)) return "";
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016" PRIx64, pathHash(fullPath(imagePath)));
  return folder + "/" + splitPath(imagePath).name + "-" + hash + extension;
}

}  // namespace

std::string textureCacheInUserFolder(const std::string& imagePath) {
  return cacheInUserFolder(imagePath, kCacheExtension);
}

std::string cacheFilePlace(const std::string& imagePath, const char* extension) {
  const std::string beside = withExtension(imagePath, extension);
  const PathParts parts = splitPath(imagePath);
  if (folderTakesTextureCache(parts.drive + parts.dir)) return beside;
  const std::string inUserFolder = cacheInUserFolder(imagePath, extension);
  return inUserFolder.empty() ? beside : inUserFolder;
}

std::string textureCachePlace(const std::string& imagePath) {
  return cacheFilePlace(imagePath, kCacheExtension);
}

// Where the texture cache of a map image lives: beside the image when its folder takes new
// files, else in the user's cache folder under a name drawn from the image's full path. Other
// caches of a map file (the levels of a raster) are placed the same way with their own extension.
#pragma once

#include <string>

/// The path of the cache with `extension` (".qtex", ".levels.tif") for the map file at
/// `imagePath`: beside it when its folder takes the cache, else in the user's cache folder as
/// "<userCacheDir()>/<image name>-<16 hex digits of a hash of the image's full path><extension>"
/// (beside it still when that folder is not known).
std::string cacheFilePlace(const std::string& imagePath, const char* extension);

/// The cache path beside the image: its extension replaced by ".qtex".
///
///   /maps/area/town.jpg  ->  /maps/area/town.qtex
std::string textureCacheBeside(const std::string& imagePath);

/// Whether a cache may be written into `folder`: the user may write there, and it is not a
/// system folder under /usr (other than /usr/local), where packages keep their files and a
/// program run by root must not leave its own.
bool folderTakesTextureCache(const std::string& folder);

/// The cache path in the user's cache folder: "<userCacheDir()>/<image name>-<16 hex digits of
/// a hash of the image's full path>.qtex", so images of one name in different folders never
/// share a cache. The folder is created when missing. Empty when no cache folder is known.
///
///   /usr/share/maps/earth.jpg  ->  ~/.cache/halvex/earth-6c0e0a3b9d1f2e47.qtex
std::string textureCacheInUserFolder(const std::string& imagePath);

/// The cache path for an image: beside it when its folder takes the cache, else in the user's
/// cache folder (beside it still when that is not known).
std::string textureCachePlace(const std::string& imagePath);

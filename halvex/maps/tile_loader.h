// The threads that read the tiles of large rasters, so that the drawing thread never waits on a
// read or a decode: it asks for tiles in the order it wants them, drops the ones the view no
// longer needs, and collects the finished ones as bytes to make textures of.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "halvex/maps/tile_pyramid.h"

/// The pixels of one tile: width x height RGBA bytes, rows top first.
struct TileImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> rgba;
};

/// A fixed set of reader threads working a priority queue of tile keys. Every member may be
/// called from any thread; none waits for a read (the lock is never held across one).
class TileLoader {
 public:
  /// Reads the tile `key` into `image`; false with `error` set when it cannot. Called on the
  /// loader's threads, several at once.
  using ReadTile = std::function<bool(const TileKey& key, TileImage& image, std::string* error)>;

  /// Most reader threads; more would only contend for the disk.
  static constexpr int kMaxThreads = 16;
  /// Finished tiles not taken yet, plus those being read, at most (workers wait beyond it): 32
  /// tiles of 512 x 512 are 32 MiB, more than a screen needs between two frames.
  static constexpr size_t kDefaultMaxFinished = 32;

  /// Starts `threads` readers (1 to kMaxThreads) calling `read`. `maxFinished` (at least 1)
  /// bounds the tiles held by the loader: finished and not taken, or being read.
  TileLoader(int threads, ReadTile read, size_t maxFinished = kDefaultMaxFinished);
  TileLoader(const TileLoader&) = delete;
  TileLoader& operator=(const TileLoader&) = delete;
  /// Drops the queue and joins the threads: a read in progress finishes, its tile is dropped,
  /// and no read or wake runs after it returns.
  ~TileLoader();

  /// Called on a loader thread after a tile finished or failed, so that the window redraws (it
  /// must not wait on the drawing thread). Set it before the first request.
  void setWake(std::function<void()> wake);

  /// Queues `key` with `priority` (lower first; equal ones in the order asked). A key queued
  /// already takes the new priority; one being read, finished and not taken, or failed is left
  /// alone.
  void request(const TileKey& key, int priority);
  /// Drops the queued keys for which `wanted` is false, before they are read. `wanted` runs
  /// under the loader's lock: it must not call the loader.
  void retainOnly(const std::function<bool(const TileKey&)>& wanted);
  /// What a frame does in one step: drops every queued key not in `inOrder`, and requests those
  /// of `inOrder` with their index as priority (the first most urgent).
  void setWanted(const std::vector<TileKey>& inOrder);

  /// Moves up to `most` finished tiles into `out` (appended), oldest first. Never waits for a
  /// read.
  void takeFinished(std::vector<std::pair<TileKey, TileImage>>& out,
                    size_t most = std::numeric_limits<size_t>::max());
  /// Moves the failures not taken yet into `out` (appended): each key with its reader's error,
  /// once. A failed key is not read again until forgetFailures().
  void takeFailures(std::vector<std::pair<TileKey, std::string>>& out);
  /// Lets the keys that failed be requested again (after the raster was replaced, say).
  void forgetFailures();

  /// Keys waiting to be read.
  size_t queued() const;
  /// Keys being read now.
  size_t loading() const;
  /// Tiles finished and not taken yet.
  size_t finished() const;
  /// Reader threads running.
  int threads() const { return int(threads_.size()); }

 private:
  /// A queued key's place: priority, then the order of requests.
  struct Place {
    int priority;
    uint64_t sequence;
    TileKey key;
    bool operator<(const Place& o) const {
      return priority != o.priority ? priority < o.priority : sequence < o.sequence;
    }
  };

  /// Thread body: reads the most urgent key whenever there is room for its tile.
  void run();
  /// Queues or re-prioritises `key`; the lock is held.
  void requestLocked(const TileKey& key, int priority);
  /// Drops the queued `key`; the lock is held.
  void unqueueLocked(std::unordered_map<TileKey, std::set<Place>::iterator>::iterator it);

  const ReadTile read_;
  const size_t maxFinished_;
  mutable std::mutex mutex_;      ///< Guards everything below; never held across a read or wake.
  std::condition_variable work_;  ///< A key was queued, room was made, or the loader stops.
  std::function<void()> wake_;
  std::set<Place> queue_;  ///< Most urgent first.
  std::unordered_map<TileKey, std::set<Place>::iterator> queuedKeys_;
  std::unordered_set<TileKey> loadingKeys_;
  std::unordered_set<TileKey> finishedKeys_;
  std::vector<std::pair<TileKey, TileImage>> finished_;  ///< Oldest first.
  std::unordered_set<TileKey> failedKeys_;
  std::vector<std::pair<TileKey, std::string>> failures_;  ///< Not taken yet.
  uint64_t sequence_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Ordered list of callbacks fired together with one integer argument.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

/// Callback fired by a CallbackList with the fire argument and the user pointer given to add.
using CallbackFn = void (*)(int arg, void* user);

/// Ordered (function, user pointer) entries. The list owns its entries, not the user objects.
/// Callbacks may add and remove entries, including their own, while the list is being fired.
class CallbackList {
 public:
  /// One registered callback.
  struct Entry {
    CallbackFn fn;  ///< Function to call; null entries are skipped.
    void* user;     ///< Passed back to fn.
  };

  CallbackList() = default;
  CallbackList(const CallbackList&) = delete;
  CallbackList& operator=(const CallbackList&) = delete;
  virtual ~CallbackList();

  /// Appends (fn, user) and returns the entry, valid until it is removed or the list destroyed.
  const Entry* add(CallbackFn fn, void* user);

  /// Removes the first entry whose function and user pointer both match; no effect if none does.
  void remove(CallbackFn fn, void* user);

  /// Calls every entry's function in insertion order with (arg, its user pointer). Entries added
  /// during the call are first fired next time; entries removed during it are not called.
  void fire(int arg);

  /// Number of entries.
  std::size_t size() const;

 private:
  /// Entry storage; a removed slot stays in place until no fire is running.
  struct Slot {
    Entry entry;
    bool removed = false;
  };

  /// Drops removed slots once no fire is running.
  void purgeRemoved();

  std::vector<std::unique_ptr<Slot>> slots_;  ///< In insertion order; addresses are stable.
  int fireDepth_ = 0;                         ///< Number of fire calls currently running.
};

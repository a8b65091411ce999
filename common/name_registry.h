// Process-wide registry that lets separately built parts find shared objects by name.
#pragma once

#include <string>
#include <vector>

/// Insertion-ordered list of (name, object) pairs; the first entry with a matching name wins.
/// Used from the GUI thread only. Registered objects are not owned and must outlive every lookup.
class NameRegistry {
 public:
  NameRegistry(const NameRegistry&) = delete;
  NameRegistry& operator=(const NameRegistry&) = delete;

  /// The process-wide registry; it exists before main runs and is never destroyed.
  static NameRegistry& instance();

  /// Appends (copy of `name`, `object`); ignored when either is null. Duplicate names are kept,
  /// the earlier entry keeping precedence.
  void add(const char* name, void* object);

  /// Removes the first entry with this name and object; ignored when there is none.
  void remove(const char* name, void* object);

  /// Object of the first entry whose name equals `name` exactly (case-sensitive); null if none.
  void* find(const char* name) const;

 private:
  NameRegistry() = default;
  ~NameRegistry() = default;

  /// One registered name and its object.
  struct Entry {
    std::string name;  ///< Owned copy of the key.
    void* object;      ///< Registered object, not owned.
  };

  std::vector<Entry> entries_;  ///< In insertion order.
};

// Intrusive doubly linked list elements. A list is not an object of its own: its owner keeps a
// pair of head and tail pointers and passes them by reference to the element operations.
#pragma once

#include <memory>

/// Element of an intrusive doubly linked list; derive from it to put objects into lists.
class DlinkList {
 public:
  DlinkList() = default;
  DlinkList(const DlinkList&) = delete;
  DlinkList& operator=(const DlinkList&) = delete;

  /// Prints a trace line to standard output; does not unlink the element.
  virtual ~DlinkList();

  /// Links this element at the tail of (head, tail). With unique == 1 the element is refused when
  /// an element already in the list isEqual to it. Returns true when linked, false when refused.
  virtual bool appendTo(DlinkList*& head, DlinkList*& tail, int unique);

  /// Links this element at the head of (head, tail); otherwise as appendTo.
  virtual bool prependTo(DlinkList*& head, DlinkList*& tail, int unique);

  /// Following element, or null at the tail.
  virtual DlinkList* next() const;

  /// Preceding element, or null at the head.
  virtual DlinkList* prev() const;

  /// Whether this element counts as a duplicate of `other`; plain elements never do.
  virtual bool isEqual(const DlinkList* other) const;

  /// Deletes every element from `head` on and leaves `head` null; the tail is the caller's to
  /// clear.
  static void deleteAll(DlinkList*& head);

  /// Takes this element out of (head, tail), which must be the list holding it, and clears its
  /// links; the element itself is not deleted.
  void unlinkFrom(DlinkList*& head, DlinkList*& tail);

 private:
  /// What an insertion may do: refuse, or it has already linked the element into an empty
  /// list, or link it at one end of a non-empty list.
  enum class Admission { kRefused, kLinkedAlone, kLinkAtEnd };
  Admission admit(DlinkList*& head, DlinkList*& tail, int unique);

  /// Whether this element is already in the list or (with checkEqual) has an equal one there.
  bool isListedIn(const DlinkList* head, bool checkEqual) const;

  DlinkList* next_ = nullptr;  ///< Following element, or null.
  DlinkList* prev_ = nullptr;  ///< Preceding element, or null.
};

/// List element carrying an owned copy of a text.
class DlinkString : public DlinkList {
 public:
  /// Builds an element without text.
  DlinkString() = default;

  /// Builds an element holding a copy of `text` (null gives no text).
  explicit DlinkString(const char* text);

  ~DlinkString() override;

  /// True only when both elements hold non-empty texts that are identical byte for byte.
  bool isEqual(const DlinkList* other) const override;

  /// The held text, or null.
  const char* text() const { return text_.get(); }

  /// Replaces the held text with a copy of `text` (null allowed; `text` may be the held text).
  void setText(const char* text);

 private:
  std::unique_ptr<char[]> text_;  ///< Owned NUL-terminated copy, or null.
};

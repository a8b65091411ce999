#include "common/dlink_list.h"

#include <cstdio>
#include <cstring>

namespace {

/// Owned heap copy of a NUL-terminated text; null for null.
std::unique_ptr<char[]> copyText(const char* text) {
  if (text == nullptr) return nullptr;
  const std::size_t size = std::strlen(text) + 1;
  std::unique_ptr<char[]> copy(new char[size]);
  std::memcpy(copy.get(), text, size);
  return copy;
}

}  // namespace

DlinkList::~DlinkList() {
  std::printf("in DlinkList::~DlinkList()\n");
}

bool DlinkList::isListedIn(const DlinkList* head, bool checkEqual) const {
  for (const DlinkList* e = head; e != nullptr; e = e->next_) {
    if (e == this || (checkEqual && isEqual(e))) return true;
  }
  return false;
}

DlinkList::Admission DlinkList::admit(DlinkList*& head, DlinkList*& tail, int unique) {
  if (head == nullptr) {
    next_ = prev_ = nullptr;
    head = tail = this;
    return Admission::kLinkedAlone;
  }
  // Linking an element already at an end would make it point to itself.
  if (this == head || this == tail) return Admission::kRefused;
  if (unique == 1 && isListedIn(head, true)) return Admission::kRefused;
  return Admission::kLinkAtEnd;
}

bool DlinkList::appendTo(DlinkList*& head, DlinkList*& tail, int unique) {
  const Admission a = admit(head, tail, unique);
  if (a != Admission::kLinkAtEnd) return a == Admission::kLinkedAlone;
  prev_ = tail;
  next_ = nullptr;
  tail->next_ = this;
  tail = this;
  return true;
}

bool DlinkList::prependTo(DlinkList*& head, DlinkList*& tail, int unique) {
  const Admission a = admit(head, tail, unique);
  if (a != Admission::kLinkAtEnd) return a == Admission::kLinkedAlone;
  next_ = head;
  prev_ = nullptr;
  head->prev_ = this;
  head = this;
  return true;
}

DlinkList* DlinkList::next() const {
  return next_;
}

DlinkList* DlinkList::prev() const {
  return prev_;
}

bool DlinkList::isEqual(const DlinkList* /*other*/) const {
  return false;
}

void DlinkList::deleteAll(DlinkList*& head) {
  DlinkList* e = head;
  while (e != nullptr) {
    DlinkList* following = e->next_;
    delete e;
    e = following;
  }
  head = nullptr;
}

void DlinkList::unlinkFrom(DlinkList*& head, DlinkList*& tail) {
  if (prev_ != nullptr) {
    prev_->next_ = next_;
  } else if (head == this) {
    head = next_;
  }
  if (next_ != nullptr) {
    next_->prev_ = prev_;
  } else if (tail == this) {
    tail = prev_;
  }
  next_ = prev_ = nullptr;
}

DlinkString::DlinkString(const char* text) : text_(copyText(text)) {}

DlinkString::~DlinkString() = default;

bool DlinkString::isEqual(const DlinkList* other) const {
  const auto* that = dynamic_cast<const DlinkString*>(other);
  if (that == nullptr) return false;
  const char* a = text();
  const char* b = that->text();
  if (a == nullptr || b == nullptr || a[0] == '\0' || b[0] == '\0') return false;
  return std::strcmp(a, b) == 0;
}

void DlinkString::setText(const char* text) {
  text_ = copyText(text);
}

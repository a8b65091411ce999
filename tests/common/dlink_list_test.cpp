#include "common/dlink_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

/// A list of string elements, deleted with the test.
struct StringList {
  DlinkList* head = nullptr;
  DlinkList* tail = nullptr;
  ~StringList() {
    testing::internal::CaptureStdout();
    DlinkList::deleteAll(head);
    testing::internal::GetCapturedStdout();
  }
  bool append(const char* text, int unique = 1) {
    auto* e = new DlinkString(text);
    if (e->appendTo(head, tail, unique)) return true;
    delete e;
    return false;
  }
  /// Texts head to tail, "|", tail to head; "~" for no text.
  std::string texts() const {
    std::string out;
    for (DlinkList* e = head; e; e = e->next()) out += textOf(e);
    out += "|";
    for (DlinkList* e = tail; e; e = e->prev()) out += textOf(e);
    return out;
  }
  static std::string textOf(DlinkList* e) {
    const char* t = static_cast<DlinkString*>(e)->text();
    return t ? t : "~";
  }
};

TEST(DlinkListTest, UniqueRefusesOnlyEqualNonEmptyTexts) {
  StringList list;
  EXPECT_TRUE(list.append("b"));
  EXPECT_TRUE((new DlinkString("a"))->prependTo(list.head, list.tail, 1));
  EXPECT_FALSE(list.append("a"));
  DlinkString duplicate("b");
  EXPECT_FALSE(duplicate.prependTo(list.head, list.tail, 1));
  EXPECT_TRUE(list.append("A"));     // case-sensitive
  EXPECT_TRUE(list.append("a", 0));  // uniqueness not asked
  EXPECT_TRUE(list.append(""));      // empty or absent texts never compare equal
  EXPECT_TRUE(list.append(""));
  EXPECT_TRUE(list.append(nullptr));
  EXPECT_TRUE(list.append(nullptr));
  EXPECT_EQ(list.texts(), "abAa~~|~~aAba");
  DlinkList plain;
  EXPECT_FALSE(duplicate.isEqual(&plain));
  EXPECT_FALSE(plain.isEqual(&plain));
}

TEST(DlinkListTest, ReinsertingAListedElementIsRefused) {
  StringList list;
  list.append("a");
  list.append("b");
  EXPECT_FALSE(list.tail->appendTo(list.head, list.tail, 0));
  EXPECT_FALSE(list.head->prependTo(list.head, list.tail, 0));
  EXPECT_FALSE(list.head->appendTo(list.head, list.tail, 1));
  EXPECT_EQ(list.texts(), "ab|ba");
}

TEST(DlinkListTest, StaleLinksOfADroppedListAreReplaced) {
  StringList old, moved;
  old.append("a");
  old.append("b");
  DlinkList* a = old.head;
  DlinkList* b = old.tail;
  old.head = old.tail = nullptr;  // dropped without unlinking
  EXPECT_TRUE(a->appendTo(moved.head, moved.tail, 0));
  EXPECT_TRUE(b->prependTo(moved.head, moved.tail, 0));
  EXPECT_EQ(moved.texts(), "ba|ab");
}

TEST(DlinkListTest, UnlinkFromAnyPosition) {
  StringList list;
  for (const char* t : {"0", "1", "2", "3"}) list.append(t);
  DlinkList* one = list.head->next();
  one->unlinkFrom(list.head, list.tail);
  DlinkList* zero = list.head;
  zero->unlinkFrom(list.head, list.tail);
  delete zero;
  EXPECT_EQ(list.texts(), "23|32");
  EXPECT_TRUE(one->appendTo(list.head, list.tail, 1));
  EXPECT_EQ(list.texts(), "231|132");
}

TEST(DlinkListTest, DeleteAllDestroysEachElementOnce) {
  DlinkList* head = nullptr;
  DlinkList* tail = nullptr;
  (new DlinkString("x"))->appendTo(head, tail, 0);
  (new DlinkList)->appendTo(head, tail, 0);
  testing::internal::CaptureStdout();
  DlinkList::deleteAll(head);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "in DlinkList::~DlinkList()\nin DlinkList::~DlinkList()\n");
  EXPECT_EQ(head, nullptr);
}

TEST(DlinkStringTest, OwnsACopyOfItsText) {
  char buffer[] = "state.txt";
  DlinkString element(buffer);
  buffer[0] = 'X';
  element.setText(element.text());
  EXPECT_STREQ(element.text(), "state.txt");
  element.setText(nullptr);
  EXPECT_EQ(element.text(), nullptr);
}

}  // namespace

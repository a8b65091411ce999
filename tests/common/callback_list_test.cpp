#include "common/callback_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

/// Test user object: logs each call as "<tag><arg> " and may change the list while fired.
struct User {
  std::string tag;
  std::string* log;
  CallbackList* list = nullptr;
  User* toRemove = nullptr;  ///< Entry (logCall, toRemove) to remove when fired.
  User* toAdd = nullptr;     ///< Entry (logCall, toAdd) to add when fired.
};

void logCall(int arg, void* user) {
  auto* u = static_cast<User*>(user);
  *u->log += u->tag + std::to_string(arg) + " ";
  if (u->toRemove) u->list->remove(logCall, u->toRemove);
  if (u->toAdd) u->list->add(logCall, u->toAdd);
}

/// Second function, to tell entries apart by function as well as by user pointer.
void otherFn(int, void*) {}

TEST(CallbackListTest, FiresInOrderAndSkipsNullFunctions) {
  std::string log;
  User a{"a", &log}, b{"b", &log};
  CallbackList list;
  const CallbackList::Entry* entry = list.add(logCall, &a);
  list.add(nullptr, &a);
  list.add(logCall, &b);
  list.fire(1);
  list.fire(0);
  EXPECT_EQ(log, "a1 b1 a0 b0 ");
  EXPECT_EQ(entry->fn, &logCall);
  EXPECT_EQ(entry->user, &a);
}

TEST(CallbackListTest, RemoveTakesOnlyTheFirstFullMatch) {
  std::string log;
  User a{"a", &log}, b{"b", &log};
  CallbackList list;
  list.add(logCall, &a);
  list.add(otherFn, &a);
  list.add(logCall, &b);
  list.add(logCall, &a);
  list.remove(logCall, &a);
  list.remove(otherFn, &b);  // no such entry
  EXPECT_EQ(list.size(), 3u);
  list.fire(2);
  EXPECT_EQ(log, "b2 a2 ");
}

TEST(CallbackListTest, CallbackMayRemoveItselfOrALaterEntryWhileFiring) {
  std::string log;
  CallbackList list;
  User popup{"popup", &log, &list}, victim{"victim", &log}, other{"other", &log};
  popup.toRemove = &popup;
  User remover{"remover", &log, &list, &victim};
  list.add(logCall, &popup);
  list.add(logCall, &remover);
  list.add(logCall, &victim);
  list.add(logCall, &other);
  list.fire(1);
  EXPECT_EQ(log, "popup1 remover1 other1 ");
  EXPECT_EQ(list.size(), 2u);
  list.fire(0);
  EXPECT_EQ(log, "popup1 remover1 other1 remover0 other0 ");
}

TEST(CallbackListTest, EntryAddedWhileFiringRunsFromTheNextFire) {
  std::string log;
  CallbackList list;
  User added{"new", &log};
  User adder{"adder", &log, &list};
  adder.toAdd = &added;
  list.add(logCall, &adder);
  list.fire(1);
  EXPECT_EQ(log, "adder1 ");
  list.fire(2);
  EXPECT_EQ(log, "adder1 adder2 new2 ");
}

}  // namespace

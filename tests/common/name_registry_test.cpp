#include "common/name_registry.h"

#include <gtest/gtest.h>

namespace {

// The registry is process-wide, so each test uses names of its own.

TEST(NameRegistryTest, FindsOnlyExactCaseSensitiveNames) {
  NameRegistry& registry = NameRegistry::instance();
  EXPECT_EQ(&registry, &NameRegistry::instance());
  EXPECT_EQ(registry.find("manu event tool"), nullptr);
  int tool = 0;
  registry.add("manu event tool", &tool);
  EXPECT_EQ(registry.find("manu event tool"), &tool);
  EXPECT_EQ(registry.find("Manu Event Tool"), nullptr);
  EXPECT_EQ(registry.find("manu event too"), nullptr);
  EXPECT_EQ(registry.find(nullptr), nullptr);
}

TEST(NameRegistryTest, FirstEntryWinsAndNullsAreIgnored) {
  NameRegistry& registry = NameRegistry::instance();
  int first = 1, second = 2;
  registry.add("twice", nullptr);
  EXPECT_EQ(registry.find("twice"), nullptr);
  registry.add("twice", &first);
  registry.add("twice", &second);
  registry.add(nullptr, &second);
  EXPECT_EQ(registry.find("twice"), &first);
  // Removal takes only the entry of that object; the later one then answers.
  registry.remove("twice", &second);
  EXPECT_EQ(registry.find("twice"), &first);
  registry.add("twice", &second);
  registry.remove("twice", &first);
  EXPECT_EQ(registry.find("twice"), &second);
  registry.remove("twice", &second);
  registry.remove("twice", &second);  // nothing left to remove
  EXPECT_EQ(registry.find("twice"), nullptr);
}

TEST(NameRegistryTest, KeepsItsOwnCopyOfTheName) {
  NameRegistry& registry = NameRegistry::instance();
  char name[] = "full exe name";
  char path[260] = "/opt/tracker/bin/tracker";
  registry.add(name, path);
  name[0] = 'X';
  EXPECT_EQ(registry.find("full exe name"), path);
  EXPECT_EQ(registry.find(name), nullptr);
}

}  // namespace

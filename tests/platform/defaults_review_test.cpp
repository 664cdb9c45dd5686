// User defaults under values that no property-list file can hold: they are refused, and the
// domain keeps storing everything else.
#include <gtest/gtest.h>

#include <string>

#include "Foundation/PropertyList.h"
#include "Foundation/UserDefaults.h"
#include "TemporaryDefaultsFolder.h"

TEST(UserDefaults, UnstorableValuesAreRefusedAndTheDomainStaysWritable) {
  TemporaryDefaultsFolder folder;
  auto d = UserDefaults::make("group.unstorable.test");
  ASSERT_NE(d, nullptr);
  d->set("before", "kept");

  const std::string withNul("a\0b", 3);
  PropertyList deep = PropertyList(PropertyList::Array{});
  for (int i = 0; i < 600; ++i) deep = PropertyList(PropertyList::Array{deep});
  struct Case {
    const char* what;
    std::string key;
    PropertyList value;
  };
  const Case cases[] = {
      {"a text holding a NUL character", "nul", PropertyList(withNul)},
      {"a key holding a NUL character", withNul, PropertyList(1)},
      {"a date beyond what the file format holds", "date", PropertyList(PropertyList::Date{1e12})},
      {"nesting deeper than any file may hold", "deep", deep},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    d->set(std::optional<PropertyList>(c.value), c.key);
    EXPECT_EQ(d->objectForKey(c.key), std::nullopt);  // refused, as a non-property-list value is
  }
  {
    SCOPED_TRACE("a refused value leaves the key's old value");
    d->set("old", "nul");
    d->set(std::optional<PropertyList>(PropertyList(withNul)), "nul");
    EXPECT_EQ(d->stringForKey("nul"), "old");
  }
  d->set("after", "written");
  {
    SCOPED_TRACE("what was written around the refused values is on disk");
    UserDefaults::setStorageFolderForTesting(folder.path());  // forget the in-process copy
    auto reloaded = UserDefaults::make("group.unstorable.test");
    EXPECT_EQ(reloaded->stringForKey("kept"), "before");
    EXPECT_EQ(reloaded->stringForKey("written"), "after");
    EXPECT_EQ(reloaded->stringForKey("nul"), "old");
  }
}

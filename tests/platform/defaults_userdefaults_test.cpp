// User defaults: typed reads and their conversions, search lists, objects sharing a domain,
// persistence across a reload from disk, values no property-list file can hold, changes made by
// another writer, concurrent use.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "Foundation/Data.h"
#include "Foundation/PropertyList.h"
#include "Foundation/URL.h"
#include "Foundation/UserDefaults.h"
#include "Foundation/testing/FoundationTesting.h"
#include "TemporaryDefaultsFolder.h"

namespace {

PropertyList readPlist(const std::string& path) {
  return PropertyListSerialization::propertyList(dataWithContentsOf(URL::fileURLWithPath(path)));
}

}  // namespace

TEST(UserDefaults, TypedReadsWithDefaultsAndConversions) {
  TemporaryDefaultsFolder folder;
  auto d = UserDefaults::make("defaults.typed");
  ASSERT_NE(d, nullptr);

  {
    SCOPED_TRACE("a key without value");
    EXPECT_EQ(d->stringForKey("none"), std::nullopt);
    EXPECT_EQ(d->integerForKey("none"), 0);
    EXPECT_EQ(d->floatForKey("none"), 0.0f);
    EXPECT_EQ(d->doubleForKey("none"), 0.0);
    EXPECT_FALSE(d->boolForKey("none"));
    EXPECT_EQ(d->URLForKey("none"), std::nullopt);
    EXPECT_EQ(d->objectForKey("none"), std::nullopt);
  }
  {
    SCOPED_TRACE("each kind reads back as written");
    d->set("text", "s");
    d->set(std::int64_t(-9000000000), "i");
    d->set(0.1f, "f");
    d->set(true, "b");
    d->set(std::optional<URL>(URL::fileURLWithPath("/tmp/a b.txt")), "u");
    d->set(std::optional<URL>(*URL::string("https://example.org/x?y=1")), "w");
    EXPECT_EQ(d->stringForKey("s"), "text");
    EXPECT_EQ(d->integerForKey("i"), -9000000000);
    EXPECT_EQ(d->floatForKey("f"), 0.1f);
    EXPECT_TRUE(d->boolForKey("b"));
    ASSERT_TRUE(d->URLForKey("u"));
    EXPECT_TRUE(d->URLForKey("u")->isFileURL());
    EXPECT_EQ(d->URLForKey("u")->path(), "/tmp/a b.txt");
    EXPECT_EQ(d->URLForKey("u")->absoluteString(), "file:///tmp/a%20b.txt");
    EXPECT_EQ(d->URLForKey("w")->absoluteString(), "https://example.org/x?y=1");
  }
  {
    SCOPED_TRACE("values of another kind convert");
    d->set("12abc", "t1");
    d->set(" -7.5e1xyz", "t2");
    d->set("YES", "t3");
    d->set("no", "t4");
    d->set(3.9, "r");
    d->set(-3.9, "nr");
    d->set(42, "n");
    EXPECT_EQ(d->integerForKey("t1"), 12);
    EXPECT_EQ(d->doubleForKey("t2"), -75.0);
    EXPECT_TRUE(d->boolForKey("t3"));
    EXPECT_FALSE(d->boolForKey("t4"));
    EXPECT_EQ(d->integerForKey("r"), 3);
    EXPECT_EQ(d->integerForKey("nr"), -3);
    EXPECT_EQ(d->stringForKey("n"), "42");
    EXPECT_EQ(d->stringForKey("r"), "3.9");
    EXPECT_EQ(d->stringForKey("b"), "1");
    EXPECT_EQ(d->floatForKey("n"), 42.0f);
    EXPECT_TRUE(d->boolForKey("n"));
    EXPECT_EQ(d->integerForKey("s"), 0);              // "text" holds no number
    EXPECT_EQ(d->URLForKey("s"), std::nullopt);       // nor a URL
    EXPECT_EQ(d->stringForKey("u"), "/tmp/a b.txt");  // a file URL is stored as its path
    d->set(PropertyList(PropertyList::Array{1, 2}), "a");
    EXPECT_EQ(d->stringForKey("a"), std::nullopt);
    EXPECT_EQ(d->integerForKey("a"), 0);
    EXPECT_EQ(d->dictionaryForKey("a"), std::nullopt);
  }
  {
    SCOPED_TRACE("an absent value removes the key");
    d->set(std::optional<PropertyList>(), "s");
    d->set(std::optional<URL>(), "u");
    EXPECT_EQ(d->objectForKey("s"), std::nullopt);
    EXPECT_EQ(d->objectForKey("u"), std::nullopt);
  }
}

TEST(UserDefaults, DomainsSearchListsAndNames) {
  TemporaryDefaultsFolder folder;
  {
    SCOPED_TRACE("names that cannot name a domain");
    for (const char* name : {"", "NSGlobalDomain", "a/b", ".hidden", "tab\there"}) {
      SCOPED_TRACE(name);
      EXPECT_EQ(UserDefaults::make(name), nullptr);
    }
    EXPECT_EQ(UserDefaults::make(UserDefaults::standardDomainName()), nullptr);
    EXPECT_NE(UserDefaults::make("group.com.example.suite"), nullptr);
  }
  {
    SCOPED_TRACE("two objects of one suite share its values");
    auto first = UserDefaults::make("group.shared.test");
    auto second = UserDefaults::make("group.shared.test");
    ASSERT_NE(first, second);
    first->set(5, "k");
    EXPECT_EQ(second->integerForKey("k"), 5);
    second->removeObjectForKey("k");
    EXPECT_EQ(first->objectForKey("k"), std::nullopt);
  }
  {
    SCOPED_TRACE("search list: the own domain first, then the suites; writes stay in the own domain");
    auto app = UserDefaults::make("app.domain");
    auto suite = UserDefaults::make("group.search.test");
    suite->set("suite", "both");
    suite->set("suite only", "suiteKey");
    app->set("app", "both");
    EXPECT_EQ(app->stringForKey("suiteKey"), std::nullopt);
    app->addSuite("group.search.test");
    app->addSuite("group.search.test");  // once only
    EXPECT_EQ(app->stringForKey("both"), "app");
    EXPECT_EQ(app->stringForKey("suiteKey"), "suite only");
    app->set("written through the app", "suiteKey");
    EXPECT_EQ(suite->stringForKey("suiteKey"), "suite only");
    app->removeObjectForKey("both");
    EXPECT_EQ(app->stringForKey("both"), "suite");
    const PropertyList::Dictionary all = app->dictionaryRepresentation();
    EXPECT_EQ(all.size(), 2u);
    EXPECT_EQ(*all.at("suiteKey").string(), "written through the app");
    app->removeSuite("group.search.test");
    EXPECT_EQ(app->stringForKey("both"), std::nullopt);
  }
}

TEST(UserDefaults, ValuesOutlastAReloadAndFollowTheFile) {
  TemporaryDefaultsFolder folder;
  const PropertyList nested(
      PropertyList::Dictionary{{"left", 5.0f}, {"list", PropertyList::Array{1, "two"}}});
  {
    auto d = UserDefaults::make("group.persist.test");
    d->set("kept", "text");
    d->set(7, "number");
    d->set(std::optional<PropertyList>(nested), "nested");
    d->set("old", "nul");
    // Values no file can hold are refused, as a non-property-list value is, so that they cannot
    // make every later write of the domain fail; a refused value leaves the key's old value.
    const std::string withNul("a\0b", 3);
    PropertyList deep = PropertyList(PropertyList::Array{});
    for (int i = 0; i < 600; ++i)
      deep = PropertyList(PropertyList::Array{deep});
    const struct {
      const char* what;
      std::string key;
      PropertyList value;
      std::optional<PropertyList> stays;
    } refused[] = {
        {"a text holding a NUL character", "nul", PropertyList(withNul), PropertyList("old")},
        {"a key holding a NUL character", withNul, PropertyList(1), std::nullopt},
        {"a date beyond what the file format holds", "date", PropertyList(PropertyList::Date{1e12}),
         std::nullopt},
        {"nesting deeper than any file may hold", "deep", deep, std::nullopt},
    };
    for (const auto& c : refused) {
      SCOPED_TRACE(c.what);
      d->set(std::optional<PropertyList>(c.value), c.key);
      EXPECT_EQ(d->objectForKey(c.key), c.stays);
    }
    d->set("after", "written");
  }
  {
    SCOPED_TRACE("the file is a property list of the domain");
    const PropertyList root = readPlist(folder.file("group.persist.test"));
    ASSERT_TRUE(root.isDictionary());
    EXPECT_EQ(*root.find("text")->string(), "kept");
    EXPECT_EQ(*root.find("nested"), nested);
  }
  {
    SCOPED_TRACE("a reload reads the file, as a new process would");
    UserDefaultsTesting::setStorageFolder(folder.path());
    auto d = UserDefaults::make("group.persist.test");
    EXPECT_EQ(d->stringForKey("text"), "kept");
    EXPECT_EQ(d->integerForKey("number"), 7);
    EXPECT_EQ(d->objectForKey("nested"), nested);
    EXPECT_EQ(d->stringForKey("nul"), "old");
    EXPECT_EQ(d->stringForKey("written"), "after");
  }
  {
    SCOPED_TRACE("a change of the file by another writer is seen at the next read");
    auto d = UserDefaults::make("group.persist.test");
    EXPECT_EQ(d->integerForKey("number"), 7);
    const PropertyList replaced(PropertyList::Dictionary{{"number", 8}});
    writeData(PropertyListSerialization::data(replaced, PropertyListFormat::binary),
              URL::fileURLWithPath(folder.file("group.persist.test")), DataWritingOptions::atomic);
    EXPECT_EQ(d->integerForKey("number"), 8);
    EXPECT_EQ(d->objectForKey("text"), std::nullopt);
  }
  {
    SCOPED_TRACE("a file that is no property list reads as an empty domain and is replaced");
    std::filesystem::create_directories(folder.path());
    writeData(Data{'n', 'o', 'p', 'e'}, URL::fileURLWithPath(folder.file("group.broken.test")));
    auto d = UserDefaults::make("group.broken.test");
    EXPECT_EQ(d->dictionaryRepresentation().size(), 0u);
    d->set(1, "fixed");
    EXPECT_EQ(*readPlist(folder.file("group.broken.test")).find("fixed"), PropertyList(1));
  }
}

TEST(UserDefaults, UnwritableStorageKeepsValuesInMemory) {
  TemporaryDefaultsFolder folder;
  std::filesystem::create_directories(folder.path());
  writeData(Data{'x'}, URL::fileURLWithPath(folder.path() + "/plain-file"));
  UserDefaultsTesting::setStorageFolder(folder.path() + "/plain-file/sub");
  auto d = UserDefaults::make("group.unwritable.test");
  d->set("in memory", "k");
  EXPECT_EQ(d->stringForKey("k"), "in memory");
  EXPECT_FALSE(std::filesystem::exists(folder.path() + "/plain-file/sub"));

  auto v = UserDefaults::makeVolatile();
  v->set(3, "k");
  EXPECT_EQ(v->integerForKey("k"), 3);
  EXPECT_EQ(UserDefaults::makeVolatile()->objectForKey("k"), std::nullopt);  // its own store
}

TEST(UserDefaultsThreads, ConcurrentWritersThroughSeveralObjects) {
  TemporaryDefaultsFolder folder;
  constexpr int kThreads = 4;
  constexpr int kRounds = 20;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      auto d = UserDefaults::make("group.threads.test");
      for (int i = 0; i <= kRounds; ++i) {
        d->set(i, "key" + std::to_string(t));
        (void)d->integerForKey("key" + std::to_string((t + 1) % kThreads));
        (void)d->dictionaryRepresentation();
      }
    });
  }
  for (auto& thread : threads)
    thread.join();
  UserDefaultsTesting::setStorageFolder(folder.path());  // read back from the file
  auto d = UserDefaults::make("group.threads.test");
  for (int t = 0; t < kThreads; ++t)
    EXPECT_EQ(d->integerForKey("key" + std::to_string(t)), kRounds);
}

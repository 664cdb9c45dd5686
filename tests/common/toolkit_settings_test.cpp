// PersistentAppData, which the product does not use: a smoke test of the stores across a reload,
// rectangles (and dictionaries that are none), and its printed texts.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "Foundation/testing/FoundationTesting.h"
#include "PersistentAppData.h"
#include "StdoutCapture.h"
#include "TemporaryDefaultsFolder.h"

namespace {

using Storage = PersistentAppData::Storage;

// The shared store over a fresh defaults folder.
class PersistentAppDataStore : public ::testing::Test {
 protected:
  TemporaryDefaultsFolder folder{"kov-settings"};
  PersistentAppData& store = PersistentAppData::sharedInstance();
};

}  // namespace

TEST_F(PersistentAppDataStore, StoresAcrossObjectsAndAReload) {
  store.setString("fromSuite", "suite value", Storage::shared);
  EXPECT_EQ(store.getString("fromSuite", Storage::defaults), "suite value") << "the suite is searched";
  store.setInteger("fromCombined", 11, Storage::combined);
  EXPECT_EQ(store.getInteger("fromCombined", Storage::shared), 0) << "not written to the suite";
  PersistentAppData other;
  other.setBool("flag", true);
  EXPECT_TRUE(store.getBool("flag"));
  SCOPED_TRACE("values come back from disk after the in-process copies are forgotten");
  UserDefaultsTesting::setStorageFolder(folder.path());
  EXPECT_EQ(store.getString("fromSuite", Storage::shared), "suite value");
  EXPECT_EQ(store.getInteger("fromCombined"), 11);
  EXPECT_TRUE(std::filesystem::exists(folder.path() + "/group.com.quillfeld.audio.plist"));
}

TEST_F(PersistentAppDataStore, RectanglesAsDictionaries) {
  const CGRect frame(0.1, 20, -4, 30);  // standardised, and kept to 32-bit precision
  PropertyList::Dictionary d;
  for (const auto& [name, value] : PersistentAppData::frameToDictionary(frame))
    d.emplace(name, value);
  store.setObject("frame", PropertyList(d));
  EXPECT_EQ(PersistentAppData::dictionaryToFrame("frame"), CGRect(double(float(0.1 - 4.0)), 20, 4, 30));
  store.setObject("mixed", PropertyList(PropertyList::Dictionary{{"left", 1.0f}, {"name", "x"}}));
  EXPECT_EQ(PersistentAppData::dictionaryToFrame("mixed"), std::nullopt) << "no dictionary of numbers";
}

TEST_F(PersistentAppDataStore, DumpPrintsTheThreeStores) {
  store.setInteger("a", 1);
  store.setString("s", "suite text", Storage::shared);
  stdout_capture::beginCapture();
  store.dumpout();
  // The standard object has the suite on its search list, so it shows both values.
  EXPECT_EQ(stdout_capture::endCapture(),
            "PersistentAppData::dumpout() : UserDefaults.standard : \n"
            "a = 1 \n\n"
            "s = suite text \n\n"
            "PersistentAppData::dumpout() : UserDefaults.shared : \n"
            "s = suite text \n\n"
            "PersistentAppData::dumpout() : UserDefaults.combined : \n"
            "a = 1 \n\n"
            "s = suite text \n\n");
}

TEST(PersistentAppData, DescriptionsOfValues) {
  struct Case {
    const char* what;
    PropertyList value;
    std::string text;
  };
  const Case cases[] = {
      {"text as is", "plain text", "plain text"},
      {"data", PropertyList::Data{1, 2, 0xAB}, "{length = 3, bytes = 0x0102ab}"},
      {"date", PropertyList::Date{0}, "2001-01-01 00:00:00 +0000"},
      {"quoted texts", PropertyList::Array{"a b", "ok.name", "", "Grüße"},
       "(\n    \"a b\",\n    ok.name,\n    \"\",\n    \"Gr\\U00fc\\U00dfe\"\n)"},
      {"nesting",
       PropertyList::Dictionary{{"d", PropertyList::Dictionary{{"x", 1}}},
                                {"l", PropertyList::Array{PropertyList::Dictionary{{"y", 2}}}}},
       "{\n    d =     {\n        x = 1;\n    };\n    l =     (\n                {\n            y = 2;\n     "
       "   }\n    );\n}"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(describePropertyList(c.value), c.text);
  }
}

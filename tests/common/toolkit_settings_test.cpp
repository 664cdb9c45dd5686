// PersistentAppData: storage kinds, reads of unwritten keys, the suite seen through the standard
// and combined stores, rectangles as dictionaries, the dump, across store objects and a reload.
#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
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

TEST(PersistentAppData, StorageKindsFromRawValues) {
  const std::optional<Storage> kinds[] = {std::nullopt, Storage::defaults, Storage::shared, Storage::combined,
                                          std::nullopt};
  for (int raw = -1; raw <= 3; ++raw)
    EXPECT_EQ(PersistentAppData::storage(raw), kinds[raw + 1]) << raw;
  EXPECT_EQ(PersistentAppData::rawValue(Storage::combined), 2);
  EXPECT_EQ(sharedContainer, "group.com.quillfeld.audio");
}

TEST_F(PersistentAppDataStore, StoresAcrossObjectsAndAReload) {
  EXPECT_EQ(&store, &PersistentAppData::sharedInstance());

  for (Storage s : {Storage::defaults, Storage::shared, Storage::combined}) {
    SCOPED_TRACE(PersistentAppData::rawValue(s));
    EXPECT_EQ(store.getString("never", s), std::nullopt);
    EXPECT_EQ(store.getInteger("never", s), 0);
    EXPECT_EQ(store.getFloat("never", s), 0.0f);
    EXPECT_FALSE(store.getBool("never", s));
    EXPECT_EQ(store.getUrl("never", s), std::nullopt);
    EXPECT_EQ(store.getObject("never", s), std::nullopt);
  }
  {
    SCOPED_TRACE("the suite's value is found through the combined and the standard store");
    store.setString("fromSuite", "suite value", Storage::shared);
    EXPECT_EQ(store.getString("fromSuite", Storage::combined), "suite value");
    EXPECT_EQ(store.getString("fromSuite", Storage::defaults), "suite value");
    EXPECT_EQ(store.getString("fromSuite", Storage::shared), "suite value");
  }
  {
    SCOPED_TRACE("a value written through the combined store is not in the suite");
    store.setInteger("fromCombined", 11, Storage::combined);
    EXPECT_EQ(store.getInteger("fromCombined", Storage::shared), 0);
    EXPECT_EQ(store.getInteger("fromCombined", Storage::defaults), 11);
  }
  {
    SCOPED_TRACE("a second store object works on the same values");
    PersistentAppData other;
    other.setFloat("gain", -3.25f, Storage::shared);
    other.setBool("flag", true);
    EXPECT_EQ(store.getFloat("gain", Storage::shared), -3.25f);
    EXPECT_TRUE(store.getBool("flag"));
    store.setURL("where", URL::fileURLWithPath("/tmp/x"));
    EXPECT_EQ(other.getUrl("where")->path(), "/tmp/x");
    other.setURL("where", std::nullopt);
    EXPECT_EQ(store.getObject("where"), std::nullopt);
    store.setObject("list", PropertyList(PropertyList::Array{1, "a"}), Storage::shared);
    EXPECT_EQ(other.getObject("list", Storage::shared), PropertyList(PropertyList::Array{1, "a"}));
  }
  {
    SCOPED_TRACE("values come back from disk after the in-process copies are forgotten");
    UserDefaultsTesting::setStorageFolder(folder.path());
    EXPECT_EQ(store.getString("fromSuite", Storage::shared), "suite value");
    EXPECT_EQ(store.getInteger("fromCombined"), 11);
    EXPECT_EQ(store.getFloat("gain", Storage::combined), -3.25f);
    EXPECT_TRUE(store.getBool("flag", Storage::combined));
    EXPECT_TRUE(std::filesystem::exists(folder.path() + "/group.com.quillfeld.audio.plist"));
  }
}

TEST_F(PersistentAppDataStore, RectanglesAsDictionaries) {
  EXPECT_EQ(
      PersistentAppData::frameToDictionary(CGRect(10, 20, -4, 30)),
      (std::map<std::string, float>{{"left", 6.0f}, {"top", 20.0f}, {"width", 4.0f}, {"height", 30.0f}}))
      << "a negative width is standardised";
  auto storeDictionary = [&](const std::string& key, PropertyList::Dictionary d) {
    store.setObject(key, PropertyList(std::move(d)));
  };
  {
    SCOPED_TRACE("missing entries keep their starting values; keys match exactly");
    storeDictionary("onlyLeft", {{"left", 5.0f}});
    storeDictionary("capital", {{"Left", 5.0f}});
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("onlyLeft"), CGRect(5, 0, 100, 100));
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("capital"), CGRect(0, 0, 100, 100));
  }
  {
    SCOPED_TRACE("no dictionary of numbers: absent");
    store.setString("text", "not a frame");
    storeDictionary("mixed", {{"left", 1.0f}, {"name", "x"}});
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("text"), std::nullopt);
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("mixed"), std::nullopt);
    EXPECT_EQ(PersistentAppData::dictionaryToFrame("missing"), std::nullopt);
  }
  {
    SCOPED_TRACE("a round trip keeps 32-bit precision only");
    const CGRect frame(0.1, 1.0 / 3.0, 640.5, 1e10 + 1);
    PropertyList::Dictionary d;
    for (const auto& [name, value] : PersistentAppData::frameToDictionary(frame))
      d.emplace(name, value);
    storeDictionary("frame", d);
    const auto back = PersistentAppData::dictionaryToFrame("frame");
    EXPECT_EQ(back, CGRect(double(0.1f), double(float(1.0 / 3.0)), 640.5, double(1e10f)));
    EXPECT_NE(back->origin.x, 0.1);
  }
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
  PropertyList::Data longData(30);
  for (std::size_t i = 0; i < longData.size(); ++i)
    longData[i] = std::uint8_t(i);
  const Case cases[] = {
      {"text as is", "plain text", "plain text"},
      {"integer", -5, "-5"},
      {"real", 0.5, "0.5"},
      {"integral real", 100.0, "100"},
      {"bool", true, "1"},
      {"false", false, "0"},
      {"big unsigned", PropertyList(~0ull), "18446744073709551615"},
      {"long real", 0.1, "0.1"},
      {"not a number", std::numeric_limits<double>::quiet_NaN(), "nan"},
      {"infinity", std::numeric_limits<double>::infinity(), "inf"},
      {"minus infinity", -std::numeric_limits<double>::infinity(), "-inf"},
      {"long data: first 16 and last 8 bytes in groups of four", longData,
       "{length = 30, bytes = 0x00010203 04050607 08090a0b 0c0d0e0f ... 16171819 1a1b1c1d }"},
      {"date out of range", PropertyList::Date{1e300}, "invalid date"},
      {"text escapes and a byte that is no UTF-8",
       PropertyList::Array{"say \"hi\"\\\n\t",
                           "a\xff"
                           "b"},
       "(\n    \"say \\\"hi\\\"\\\\\\n\\t\",\n    \"ab\"\n)"},
      {"data", PropertyList::Data{1, 2, 0xAB}, "{length = 3, bytes = 0x0102ab}"},
      {"date", PropertyList::Date{0}, "2001-01-01 00:00:00 +0000"},
      {"empty array", PropertyList::Array{}, "(\n)"},
      {"dictionary", PropertyList::Dictionary{{"width", 4.0f}, {"left", 6.0f}},
       "{\n    left = 6;\n    width = 4;\n}"},
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

// The help host from the information property list: a bare host means HTTPS, an origin keeps its
// scheme (plain HTTP only for loopback), anything else falls back to the default host; the two
// pages are that origin's "/DYNAMICS/" and "/".

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "HelpHost.h"
#include "container_support.h"

using namespace container_test;

namespace {

const std::string fallback = std::string(defaultHelpHost) + "/";

}  // namespace

TEST(HelpHost, EntriesAndTheirPages) {
  struct Case {
    const char* entry;
    std::string root;
  };
  const Case cases[] = {
      {"help.example.org", "https://help.example.org/"},
      {"help.example.org:8443", "https://help.example.org:8443/"},
      {"https://help.example.org/", "https://help.example.org/"},
      {"http://127.0.0.1:8000", "http://127.0.0.1:8000/"},
      {"http://localhost:8000", "http://localhost:8000/"},
      {"http://help.example.org", fallback},        // plain HTTP only for loopback
      {"ftp://help.example.org", fallback},
      {"https://help.example.org/docs", fallback},  // an origin, not a page
      {"https://help.example.org?x=1", fallback},
      {"https://user@help.example.org", fallback},
      {"help example", fallback},
      {"", fallback},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    const HelpHost host = HelpHost::fromEntry(c.entry);
    EXPECT_EQ(host.rootURL().absoluteString(), c.root);
    EXPECT_EQ(host.helpPageURL().absoluteString(), c.root + "DYNAMICS/");
  }
}

TEST(HelpHost, ReadFromTheMainBundlesInformationPropertyList) {
  {
    SCOPED_TRACE("the entry names the host");
    ResourceFolder resources;
    resources.writeInfo("help.test.example");
    EXPECT_EQ(HelpHost::fromMainBundle().helpPageURL().absoluteString(), "https://help.test.example/DYNAMICS/");
  }
  {
    SCOPED_TRACE("no entry: the default host");
    ResourceFolder resources;
    resources.writeInfo("");
    EXPECT_EQ(HelpHost::fromMainBundle().rootURL().absoluteString(), fallback);
  }
  {
    SCOPED_TRACE("a file that is no property list: the default host");
    ResourceFolder resources;
    resources.write("Info.plist", "not a plist");
    EXPECT_EQ(HelpHost::fromMainBundle().rootURL().absoluteString(), fallback);
  }
  {
    SCOPED_TRACE("an entry that is no text: the default host");
    PropertyList::Dictionary info;
    info.emplace("KOVHelpHost", PropertyList(42));
    EXPECT_EQ(HelpHost::fromInfo(PropertyList(info)).rootURL().absoluteString(), fallback);
  }
}

TEST(HelpHost, TheApplicationsInformationPropertyListNamesAnHttpsHost) {
  std::ifstream file(std::string(KOV_SOURCE_DIR) + "/KOV Compressor/Resources/Info.plist", std::ios::binary);
  ASSERT_TRUE(file);
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const PropertyList info = PropertyListSerialization::propertyList(bytes);
  const PropertyList* entry = info.find(helpHostInfoKey);
  ASSERT_TRUE(entry && entry->string());
  const HelpHost host = HelpHost::fromInfo(info);
  EXPECT_EQ(host.rootURL().absoluteString(), "https://" + *entry->string() + "/");
}

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
  const std::pair<const char*, std::string> cases[] = {
      {"help.example.org:8443", "https://help.example.org:8443/"},
      {"https://help.example.org/", "https://help.example.org/"},
      {"http://127.0.0.1:8000", "http://127.0.0.1:8000/"},
      {"http://help.example.org", fallback},  // plain HTTP only for loopback
      {"ftp://help.example.org", fallback},
      {"https://help.example.org/docs", fallback},  // an origin, not a page
      {"https://user@help.example.org", fallback},
      {"help example", fallback},
      {"", fallback},
  };
  for (const auto& [entry, root] : cases) {
    SCOPED_TRACE(entry);
    const HelpHost host = HelpHost::fromEntry(entry);
    EXPECT_EQ(host.rootURL().absoluteString(), root);
    EXPECT_EQ(host.helpPageURL().absoluteString(), root + "DYNAMICS/");
  }
}

TEST(HelpHost, ReadFromTheMainBundlesInformationPropertyList) {
  {
    SCOPED_TRACE("the entry names the host");
    ResourceFolder resources;
    resources.writeInfo("help.test.example");
    EXPECT_EQ(HelpHost::fromMainBundle().helpPageURL().absoluteString(),
              "https://help.test.example/DYNAMICS/");
  }
  for (const std::string info : {"", "not a plist"}) {
    SCOPED_TRACE("no entry, or a file that is no property list: the default host");
    ResourceFolder resources;
    info.empty() ? resources.writeInfo("") : resources.write("Info.plist", info);
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
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  const PropertyList info = PropertyListSerialization::propertyList(bytes);
  const PropertyList* entry = info.find(helpHostInfoKey);
  ASSERT_TRUE(entry && entry->string());
  const HelpHost host = HelpHost::fromInfo(info);
  EXPECT_EQ(host.rootURL().absoluteString(), "https://" + *entry->string() + "/");
}

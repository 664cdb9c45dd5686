// The help host's entry checked as an origin: a scheme ("https", or "http" for loopback only), a
// host and an optional port, and nothing else (no user, path, query or fragment), so the two page
// paths are appended to a clean origin.
#include "HelpHost.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "Foundation/Bundle.h"

namespace {

bool isLoopback(const std::string& host) {
  return host == "127.0.0.1" || host == "localhost" || host == "[::1]" || host == "::1";
}

// The origin text ("scheme://host[:port]") of a usable entry, or nothing.
std::optional<std::string> originOf(std::string_view entry) {
  std::string text(entry);
  if (text.find("://") == std::string::npos)
    text = "https://" + text;
  const auto url = URL::string(text);
  if (!url)
    return std::nullopt;
  const std::string scheme = url->scheme();
  const std::string host = url->host();
  if (host.empty() || !(scheme == "https" || (scheme == "http" && isLoopback(host))))
    return std::nullopt;
  // After "scheme://" only the authority may follow (a bare trailing "/" is allowed).
  std::string rest = text.substr(text.find("://") + 3);
  if (!rest.empty() && rest.back() == '/')
    rest.pop_back();
  if (rest.find_first_of("/?#@") != std::string::npos || rest.empty())
    return std::nullopt;
  return scheme + "://" + rest;
}

std::optional<PropertyList> readInfo(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file)
    return std::nullopt;
  const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                        std::istreambuf_iterator<char>());
  try {
    return PropertyListSerialization::propertyList(bytes);
  } catch (...) {  // not a property list: as if there were none
    return std::nullopt;
  }
}

}  // namespace

HelpHost HelpHost::fromEntry(std::string_view entry) {
  const std::string origin = originOf(entry).value_or(std::string(defaultHelpHost));
  return HelpHost(*URL::string(origin + "/"), *URL::string(origin + "/DYNAMICS/"));
}

HelpHost HelpHost::fromInfo(const PropertyList& info) {
  const PropertyList* entry = info.find(helpHostInfoKey);
  return fromEntry(entry && entry->string() ? std::string_view(*entry->string()) : std::string_view());
}

HelpHost HelpHost::fromMainBundle() {
  const Bundle& bundle = Bundle::main();
  std::optional<PropertyList> info;
  if (const auto resources = bundle.resourcePath())
    info = readInfo(*resources + "/Info.plist");
  if (!info)
    info = readInfo(bundle.bundlePath() + "/Info.plist");
  return info ? fromInfo(*info) : fromEntry({});
}

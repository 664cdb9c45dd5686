// The maker's help web host: the in-app help page at "/DYNAMICS/", the info page and the web site
// at its root. The host is named in the application's information property list under
// `helpHostInfoKey`, so an installation (or a test) can point it elsewhere:
// - a bare host, optionally with a port ("help.example.org", "help.example.org:8443"): HTTPS;
// - an origin with its scheme ("https://help.example.org"); plain "http://" only for the loopback
//   host (127.0.0.1, ::1, localhost), which tests serve locally.
// Anything else, or no entry, gives `defaultHelpHost`. [any]
#pragma once

#include <string_view>

#include "Foundation/PropertyList.h"
#include "Foundation/URL.h"

inline constexpr std::string_view helpHostInfoKey = "KOVHelpHost";
inline constexpr std::string_view defaultHelpHost = "https://kov-compressor.example";

class HelpHost {
 public:
  // From the main bundle's information property list ("Info.plist" in its resource folder, else
  // beside the executable), read once per call.
  static HelpHost fromMainBundle();
  // From an information property list (its dictionary).
  static HelpHost fromInfo(const PropertyList& info);
  // From the text of the entry; an unusable text gives the default host.
  static HelpHost fromEntry(std::string_view entry);

  // "<origin>/" : the info page, and the web site opened in the browser.
  const URL& rootURL() const { return root_; }
  // "<origin>/DYNAMICS/" : the help page.
  const URL& helpPageURL() const { return help_; }

 private:
  HelpHost(URL root, URL help) : root_(std::move(root)), help_(std::move(help)) {}

  URL root_;
  URL help_;
};

// Bundles: a deliverable's folder with its resources. The main bundle of a program is the folder
// of its executable, with the resource folder "Resources" beside the executable when that exists.
// A plug-in loaded into a host names its own resource folder with setMainResourcePath(), and
// tests point it anywhere.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/URL.h"

class Bundle {
 public:
  // Bundle.main. [any]
  static Bundle& main();
  // A bundle for a folder (its resources in "<folder>/Resources" when that exists). [any]
  explicit Bundle(std::string bundlePath);
  // The bundle of the executable or shared module that holds `address` (its folder). [any]
  static std::optional<Bundle> forBinaryContaining(const void* address);

  const std::string& bundlePath() const { return bundlePath_; }
  URL bundleURL() const;
  // The resource folder, absent when the bundle has none. [any]
  std::optional<URL> resourceURL() const;
  std::optional<std::string> resourcePath() const;
  // A resource file "<name>.<ext>" in the resource folder, absent when no such file exists. [any]
  std::optional<URL> url(std::string_view forResource, std::string_view withExtension) const;
  std::optional<std::string> path(std::string_view forResource, std::string_view ofType) const;

  // Sets the main bundle's resource folder (an empty text: the main bundle has none); nullopt
  // goes back to the default. [any; set it before other threads read it]
  static void setMainResourcePath(std::optional<std::string> path);

 private:
  std::string bundlePath_;
  std::optional<std::string> resourcePath_;
  bool isMain_ = false;
};

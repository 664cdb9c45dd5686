// Bundles: a deliverable's folder with its resources. The main bundle of a program is the folder
// of its executable, with the resource folder "Resources" beside the executable when that exists.
// Code inside an effect module that the component registry loaded from a bundle folder sees that
// bundle as its main bundle (as an extension does in its own process): Bundle::main() asks which
// binary it is compiled into. Tests point the program's resource folder anywhere with
// setMainResourcePath().
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "Foundation/URL.h"

namespace bundle_detail {
// One per binary (hidden, so never shared between a program and the modules it loads): its
// address tells which binary calls Bundle::main().
[[gnu::visibility("hidden")]] inline const char binaryAnchor = 0;
}  // namespace bundle_detail

class Bundle {
 public:
  // Bundle.main, for the binary that calls it: the program's main bundle, or inside a module
  // registered with registerModuleBundle() that module's bundle. Hidden, so that every binary
  // compiles its own copy that hands over its own anchor. [any]
  [[gnu::visibility("hidden")]] static Bundle& main() {
    return mainForBinaryContaining(&bundle_detail::binaryAnchor);
  }
  // The main bundle as the binary holding `address` sees it. [any]
  static Bundle& mainForBinaryContaining(const void* address);
  // Makes `bundlePath` the main bundle of the shared module that holds `addressInModule` (any
  // symbol of it). Modules are never unloaded, so the bundle stays for the process's life; a later
  // call for a module that has one already changes nothing. [any]
  static void registerModuleBundle(const void* addressInModule, std::string bundlePath);
  // A bundle for a folder (its resources in "<folder>/Resources" when that exists). [any]
  explicit Bundle(std::string bundlePath);
  // The bundle of the executable or shared module that holds `address` (its folder). [any]
  static std::optional<Bundle> forBinaryContaining(const void* address);

  const std::string& bundlePath() const { return bundlePath_; }
  // The resource folder, absent when the bundle has none. [any]
  std::optional<URL> resourceURL() const;
  std::optional<std::string> resourcePath() const;
  // A resource file "<name>.<ext>" in the resource folder, absent when no such file exists. [any]
  std::optional<URL> url(std::string_view forResource, std::string_view withExtension) const;
  std::optional<std::string> path(std::string_view forResource, std::string_view ofType) const;

  // Sets the program's main bundle's resource folder (an empty text: it has none; nullopt: back
  // to the default). Module bundles keep theirs. [any; set it before other threads read it]
  static void setMainResourcePath(std::optional<std::string> path);

 private:
  std::string bundlePath_;
  std::optional<std::string> resourcePath_;
  bool isMain_ = false;
};

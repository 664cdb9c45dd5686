#include "Foundation/Bundle.h"

#include <dlfcn.h>
#include <glib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

namespace {

std::mutex gMainResourceMutex;
std::optional<std::string> gMainResourceOverride;  // "" means: the main bundle has none

bool isDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string folderOf(const std::string& file) {
  char* dir = g_path_get_dirname(file.c_str());
  std::string folder = dir;
  g_free(dir);
  return folder;
}

std::string executableFolder() {
  char* exe = g_file_read_link("/proc/self/exe", nullptr);
  if (!exe)
    return g_get_current_dir();
  std::string folder = folderOf(exe);
  g_free(exe);
  return folder;
}

// The load address of the binary holding `address`; null when no loaded binary holds it.
const void* binaryBaseOf(const void* address) {
  Dl_info info{};
  if (!address || ::dladdr(address, &info) == 0)
    return nullptr;
  return info.dli_fbase;
}

std::mutex gModuleBundlesMutex;
// Bundles of the modules loaded from bundle folders, by the module's load address. Never
// shrinks: modules stay loaded, and callers keep the references they were given.
std::map<const void*, std::unique_ptr<Bundle>>& moduleBundles() {
  static auto* bundles = new std::map<const void*, std::unique_ptr<Bundle>>;
  return *bundles;
}

std::optional<std::string> defaultResourcePath(const std::string& bundlePath) {
  std::string resources = bundlePath + "/Resources";
  if (isDirectory(resources))
    return resources;
  return std::nullopt;
}

}  // namespace

Bundle& Bundle::mainForBinaryContaining(const void* address) {
  static Bundle* program = [] {
    auto* b = new Bundle(executableFolder());
    b->isMain_ = true;
    return b;
  }();
  if (const void* base = binaryBaseOf(address)) {
    std::lock_guard lock(gModuleBundlesMutex);
    const auto& bundles = moduleBundles();
    if (auto found = bundles.find(base); found != bundles.end())
      return *found->second;
  }
  return *program;
}

void Bundle::registerModuleBundle(const void* addressInModule, std::string bundlePath) {
  const void* base = binaryBaseOf(addressInModule);
  if (!base)
    return;
  std::lock_guard lock(gModuleBundlesMutex);
  auto& slot = moduleBundles()[base];
  if (!slot)
    slot = std::make_unique<Bundle>(std::move(bundlePath));
}

Bundle::Bundle(std::string bundlePath)
    : bundlePath_(std::move(bundlePath)), resourcePath_(defaultResourcePath(bundlePath_)) {}

std::optional<Bundle> Bundle::forBinaryContaining(const void* address) {
  Dl_info info{};
  if (!address || ::dladdr(address, &info) == 0 || !info.dli_fname || !*info.dli_fname)
    return std::nullopt;
  char* resolved = ::realpath(info.dli_fname, nullptr);
  if (!resolved)
    return std::nullopt;
  const std::string folder = folderOf(resolved);
  std::free(resolved);
  return Bundle(folder);
}

std::optional<std::string> Bundle::resourcePath() const {
  if (isMain_) {
    std::lock_guard lock(gMainResourceMutex);
    if (gMainResourceOverride) {
      if (gMainResourceOverride->empty())
        return std::nullopt;
      return gMainResourceOverride;
    }
  }
  return resourcePath_;
}

std::optional<URL> Bundle::resourceURL() const {
  const auto path = resourcePath();
  if (!path)
    return std::nullopt;
  return URL::fileURLWithPath(*path, true);
}

std::optional<std::string> Bundle::path(std::string_view forResource, std::string_view ofType) const {
  const auto folder = resourcePath();
  if (!folder || forResource.empty())
    return std::nullopt;
  std::string file = *folder + "/" + std::string(forResource);
  if (!ofType.empty())
    file += (ofType.front() == '.' ? "" : ".") + std::string(ofType);
  struct stat st {};
  if (::stat(file.c_str(), &st) != 0)
    return std::nullopt;
  return file;
}

std::optional<URL> Bundle::url(std::string_view forResource, std::string_view withExtension) const {
  const auto file = path(forResource, withExtension);
  if (!file)
    return std::nullopt;
  return URL::fileURLWithPath(*file);
}

void Bundle::setMainResourcePath(std::optional<std::string> path) {
  std::lock_guard lock(gMainResourceMutex);
  gMainResourceOverride = std::move(path);
}

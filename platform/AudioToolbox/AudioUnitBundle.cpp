#include "AudioToolbox/internal/AudioUnitBundle.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "Foundation/Bundle.h"
#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"

namespace {

constexpr const char* kRegistrationFile = "Info.plist";
constexpr const char* kModuleKey = "CFBundleExecutable";
constexpr const char* kComponentsKey = "AudioComponents";
// A registration is a few hundred bytes; anything near this size is no registration.
constexpr std::uintmax_t kRegistrationSizeLimit = 1 << 20;

bool isRegularFile(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A four-character code from its text: exactly four bytes, most significant first.
std::optional<OSType> fourCharCode(const PropertyList* value) {
  if (!value || !value->string() || value->string()->size() != 4)
    return std::nullopt;
  OSType code = 0;
  for (unsigned char c : *value->string())
    code = (code << 8) | c;
  return code;
}

std::optional<UInt32> unsigned32(const PropertyList* value) {
  if (!value || !value->isInteger())
    return std::nullopt;
  const auto number = value->asUInt64();
  if (!number || *number > 0xFFFFFFFFu)
    return std::nullopt;
  return UInt32(*number);
}

// The components a registration lists, or the reason it is unusable (then `components` is
// left incomplete). All or nothing: one malformed entry makes the whole registration unusable.
std::optional<std::string> readComponents(const PropertyList& registration,
                                          std::vector<AudioUnitBundleComponent>& components) {
  const PropertyList* list = registration.find(kComponentsKey);
  if (!list || !list->array() || list->array()->empty())
    return "the registration lists no AudioComponents";
  std::size_t index = 0;
  for (const PropertyList& entry : *list->array()) {
    const std::string which = "AudioComponents item " + std::to_string(index++);
    const auto type = fourCharCode(entry.find("type"));
    const auto subtype = fourCharCode(entry.find("subtype"));
    const auto manufacturer = fourCharCode(entry.find("manufacturer"));
    if (!type || !subtype || !manufacturer)
      return which + " needs four-character type, subtype and manufacturer";
    const PropertyList* name = entry.find("name");
    if (!name || !name->string())
      return which + " has no name";
    const auto version = unsigned32(entry.find("version"));
    if (!version)
      return which + " has no version";
    std::optional<UInt32> flags = UInt32(0);
    if (const PropertyList* given = entry.find("flags"))
      flags = unsigned32(given);
    if (!flags)
      return which + " has flags that are no 32-bit number";
    components.push_back(
        {AudioComponentDescription{*type, *subtype, *manufacturer, *flags, 0}, *name->string(), *version});
  }
  return std::nullopt;
}

}  // namespace

AudioUnitBundle::AudioUnitBundle(std::string bundlePath, std::vector<AudioUnitBundleComponent> components,
                                 AUPrincipalClassEntry entry)
    : bundlePath_(std::move(bundlePath)), components_(std::move(components)), entry_(entry) {}

void AudioUnitBundle::logSkipped(std::string_view bundlePath, std::string_view reason) {
  std::string line = "AudioComponent: skipped plug-in ";
  line.append(bundlePath).append(": ").append(reason).append("\n");
  std::fwrite(line.data(), 1, line.size(), stderr);  // one write: lines never interleave
}

std::shared_ptr<AudioUnitBundle> AudioUnitBundle::load(const std::string& bundlePath) {
  auto skip = [&](std::string_view reason) -> std::shared_ptr<AudioUnitBundle> {
    logSkipped(bundlePath, reason);
    return nullptr;
  };

  const std::string registrationPath = bundlePath + "/" + kRegistrationFile;
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(registrationPath, sizeError);
  if (!sizeError && size > kRegistrationSizeLimit)
    return skip("Info.plist is too large");
  std::ifstream file(registrationPath, std::ios::binary);
  if (!file)
    return skip("no Info.plist");
  const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(file),
                                        std::istreambuf_iterator<char>()};
  PropertyList registration;
  try {
    registration = PropertyListSerialization::propertyList(bytes);
  } catch (const NSError&) {
    return skip("Info.plist is no property list");
  }
  if (!registration.isDictionary())
    return skip("Info.plist is no dictionary");

  const PropertyList* moduleName = registration.find(kModuleKey);
  if (!moduleName || !moduleName->string() || moduleName->string()->empty())
    return skip("Info.plist names no module (CFBundleExecutable)");
  // The module must stay inside the bundle: a plain file name only.
  const std::string& name = *moduleName->string();
  if (name.find_first_of(std::string("/\0", 2)) != std::string::npos || name == "." || name == "..")
    return skip("the module name \"" + name + "\" is no plain file name");

  std::vector<AudioUnitBundleComponent> components;
  if (auto problem = readComponents(registration, components))
    return skip(*problem);

  const std::string modulePath = bundlePath + "/" + name;
  if (!isRegularFile(modulePath))
    return skip("the module " + name + " is missing");
  // Symbols bound at once, so a module with unresolved references fails here and not later.
  void* module = ::dlopen(modulePath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!module) {
    const char* why = ::dlerror();
    return skip("the module will not load (" + std::string(why ? why : "unknown reason") + ")");
  }
  void* symbol = ::dlsym(module, KOV_PRINCIPAL_CLASS_ENTRY_NAME);
  // Left open even then: its static set-up has run, and closing it could pull code from under
  // whatever that set-up registered.
  if (!symbol)
    return skip("the module has no entry " KOV_PRINCIPAL_CLASS_ENTRY_NAME);
  auto entry = reinterpret_cast<AUPrincipalClassEntry>(symbol);
  Bundle::registerModuleBundle(symbol, bundlePath);
  return std::make_shared<AudioUnitBundle>(bundlePath, std::move(components), entry);
}

std::vector<std::string> AudioUnitBundle::bundlePathsIn(const std::string& folder) {
  namespace fs = std::filesystem;
  std::vector<std::string> paths;
  std::error_code error;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    std::error_code kindError;  // an entry that cannot be examined is passed over
    if (path.extension() == folderExtension && it->is_directory(kindError))
      paths.push_back(path.string());
  }
  std::sort(paths.begin(), paths.end());
  return paths;
}

#include "AudioToolbox/AudioComponent.h"

#include <algorithm>
#include <cstdio>
#include <deque>
#include <exception>
#include <mutex>

#include <glib.h>

#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AUAudioUnitFactory.h"
#include "AudioToolbox/internal/AudioUnitBundle.h"
#include "Foundation/Bundle.h"
#include "Foundation/NSError.h"

// A registered component. Entries are never removed, so handles stay valid.
struct OpaqueAudioComponent {
  AudioComponentDescription description;
  std::string name;
  UInt32 version = 0;
  AudioComponentFactoryFunction factory;    // in-process and system components
  std::shared_ptr<AudioUnitBundle> bundle;  // components of an effect bundle
};

namespace {

// Beneath each data folder.
constexpr const char* kPlugInDataSubfolder = "/kov-compressor/PlugIns";

// True on the thread that sets the registry up (system effects, then bundles).
thread_local bool preparingRegistry = false;

std::string fourCharText(OSType code) {
  std::string text(4, ' ');
  for (int i = 0; i < 4; ++i)
    text[std::size_t(i)] = char((code >> (24 - 8 * i)) & 0xFF);
  return text;
}

bool sameComponent(const AudioComponentDescription& a, const AudioComponentDescription& b) {
  return a.componentType == b.componentType && a.componentSubType == b.componentSubType &&
         a.componentManufacturer == b.componentManufacturer;
}

std::vector<std::string> standardPlugInFolders() {
  std::vector<std::string> folders{Bundle::mainForBinaryContaining(nullptr).bundlePath() + "/PlugIns",
                                   std::string(g_get_user_data_dir()) + kPlugInDataSubfolder};
  for (const gchar* const* dir = g_get_system_data_dirs(); dir && *dir; ++dir)
    folders.push_back(std::string(*dir) + kPlugInDataSubfolder);
  return folders;
}

void prepareRegistry();

class Registry {
 public:
  // The registry with the system effects and the installed bundles in it: they are registered
  // on first use, before anything else can be registered or looked up.
  static Registry& shared() {
    if (preparingRegistry)
      return instance();
    static std::once_flag prepared;
    std::call_once(prepared, prepareRegistry);
    return instance();
  }
  // The registry as it is (for the set-up, which runs inside `shared`).
  static Registry& instance() {
    static Registry registry;
    return registry;
  }

  // Notes a folder to search; false when it is searched already.
  bool addFolder(const std::string& folder) {
    std::lock_guard lock(mutex_);
    if (std::find(folders_.begin(), folders_.end(), folder) != folders_.end())
      return false;
    folders_.push_back(folder);
    return true;
  }
  std::vector<std::string> folders() {
    std::lock_guard lock(mutex_);
    return folders_;
  }

  // Registers a bundle's components; one that another component registered first is skipped,
  // with a line on stderr.
  void addBundle(const std::shared_ptr<AudioUnitBundle>& bundle) {
    std::vector<AudioComponentDescription> taken;
    {
      std::lock_guard lock(mutex_);
      for (const auto& component : bundle->components()) {
        const auto& desc = component.description;
        if (std::any_of(entries_.begin(), entries_.end(),
                        [&](const OpaqueAudioComponent& e) { return sameComponent(e.description, desc); })) {
          taken.push_back(desc);
          continue;
        }
        entries_.push_back(OpaqueAudioComponent{desc, component.name, component.version, {}, bundle});
      }
    }
    for (const auto& desc : taken) {
      AudioUnitBundle::logSkipped(bundle->bundlePath(), "'" + fourCharText(desc.componentType) + "' '" +
                                                            fourCharText(desc.componentSubType) + "' '" +
                                                            fourCharText(desc.componentManufacturer) +
                                                            "' is registered already");
    }
  }

  AudioComponent add(const AudioComponentDescription& desc, std::string name, UInt32 version,
                     AudioComponentFactoryFunction factory) {
    std::lock_guard lock(mutex_);
    for (auto& entry : entries_) {
      if (sameComponent(entry.description, desc)) {
        entry.description = desc;
        entry.name = std::move(name);
        entry.version = version;
        entry.factory = std::move(factory);
        entry.bundle = nullptr;
        return &entry;
      }
    }
    entries_.push_back(OpaqueAudioComponent{desc, std::move(name), version, std::move(factory), nullptr});
    return &entries_.back();
  }

  AudioComponent findNext(AudioComponent after, const AudioComponentDescription* desc) {
    std::lock_guard lock(mutex_);
    auto it = entries_.begin();
    if (after) {
      while (it != entries_.end() && &*it != after)
        ++it;
      if (it == entries_.end())
        return nullptr;
      ++it;
    }
    for (; it != entries_.end(); ++it)
      if (!desc || AudioComponentDescriptionMatches(*desc, it->description))
        return &*it;
    return nullptr;
  }

  // A copy of the entry, taken under the lock (a later registration may replace its fields).
  OpaqueAudioComponent snapshot(AudioComponent component) {
    std::lock_guard lock(mutex_);
    return *component;
  }

 private:
  Registry() = default;
  std::mutex mutex_;
  std::deque<OpaqueAudioComponent> entries_;
  std::vector<std::string> folders_;
};

void searchFolder(const std::string& folder) {
  Registry& registry = Registry::instance();
  if (!registry.addFolder(folder))
    return;
  for (const auto& path : AudioUnitBundle::bundlePathsIn(folder))
    if (auto bundle = AudioUnitBundle::load(path))
      registry.addBundle(bundle);
}

// The platform's own effects first, then the installed bundles.
void prepareRegistry() {
  preparingRegistry = true;
  registerSystemPeakLimiter();
  for (const auto& folder : standardPlugInFolders())
    searchFolder(folder);
  preparingRegistry = false;
}

// What the host holds of a unit made by a bundle: the unit and the principal class instance
// that made it. The host's references to the unit share this record's ownership, so the
// instance lives exactly as long as the host holds the unit, even though it usually holds the
// unit itself.
struct HostedExtensionUnit {
  std::shared_ptr<AUAudioUnitFactory> principalClass;
  std::shared_ptr<AUAudioUnit> unit;
};

}  // namespace

std::vector<std::string> AudioComponentPlugInFolders() {
  return Registry::shared().folders();
}

void AudioComponentAddPlugInFolder(std::string folder) {
  Registry::shared();  // the standard folders come first
  searchFolder(folder);
}

bool AudioComponentDescriptionMatches(const AudioComponentDescription& search,
                                      const AudioComponentDescription& component) {
  if (search.componentType != 0 && search.componentType != component.componentType)
    return false;
  if (search.componentSubType != 0 && search.componentSubType != component.componentSubType)
    return false;
  if (search.componentManufacturer != 0 && search.componentManufacturer != component.componentManufacturer)
    return false;
  const UInt32 mask = search.componentFlagsMask;
  return (component.componentFlags & mask) == (search.componentFlags & mask);
}

AudioComponent AudioComponentFindNext(AudioComponent inComponent, const AudioComponentDescription* inDesc) {
  return Registry::shared().findNext(inComponent, inDesc);
}

UInt32 AudioComponentCount(const AudioComponentDescription* inDesc) {
  UInt32 count = 0;
  for (AudioComponent c = AudioComponentFindNext(nullptr, inDesc); c; c = AudioComponentFindNext(c, inDesc))
    ++count;
  return count;
}

OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc) {
  if (!inComponent || !outDesc)
    return kAudio_ParamError;
  *outDesc = Registry::shared().snapshot(inComponent).description;
  return noErr;
}

OSStatus AudioComponentCopyName(AudioComponent inComponent, std::string* outName) {
  if (!inComponent || !outName)
    return kAudio_ParamError;
  *outName = Registry::shared().snapshot(inComponent).name;
  return noErr;
}

OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion) {
  if (!inComponent || !outVersion)
    return kAudio_ParamError;
  *outVersion = Registry::shared().snapshot(inComponent).version;
  return noErr;
}

AudioComponent AudioComponentRegister(const AudioComponentDescription& desc, std::string name, UInt32 version,
                                      AudioComponentFactoryFunction factory) {
  return Registry::shared().add(desc, std::move(name), version, std::move(factory));
}

AudioComponent AudioComponentRegisterSystemEffect(const AudioComponentDescription& desc, std::string name,
                                                  UInt32 version, AudioComponentFactoryFunction factory) {
  return Registry::shared().add(desc, std::move(name), version, std::move(factory));
}

std::shared_ptr<AUAudioUnit> AudioComponentInstantiate(AudioComponent component,
                                                       AudioComponentInstantiationOptions options,
                                                       std::shared_ptr<NSError>* outError) {
  auto fail = [&](NSError error) -> std::shared_ptr<AUAudioUnit> {
    if (outError)
      *outError = std::make_shared<NSError>(std::move(error));
    return nullptr;
  };
  if (!component)
    return fail(NSError(NSOSStatusErrorDomain, kAudio_ParamError));
  const OpaqueAudioComponent entry = Registry::shared().snapshot(component);
  if (entry.bundle) {
    std::shared_ptr<AUAudioUnitFactory> principalClass;
    try {
      principalClass = entry.bundle->makePrincipalClass();
    } catch (const NSError& error) {
      return fail(error);
    } catch (const std::exception& error) {
      return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization, error.what()));
    }
    if (!principalClass)
      return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization));
    std::shared_ptr<NSError> error;
    auto unit = principalClass->createAudioUnitWithComponentDescription(entry.description, &error);
    if (!unit) {
      return fail(error ? *error : NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization));
    }
    unit->principalClass_ = principalClass;
    auto hosted = std::make_shared<HostedExtensionUnit>(HostedExtensionUnit{std::move(principalClass), unit});
    return std::shared_ptr<AUAudioUnit>(hosted, unit.get());
  }
  if (!entry.factory)
    return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization));
  try {
    auto unit = entry.factory(entry.description, options);
    if (!unit)
      return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization));
    return unit;
  } catch (const NSError& error) {
    return fail(error);
  }
}

std::string describe(const AudioComponentDescription& desc) {
  char text[200];
  std::snprintf(
      text, sizeof text,
      "AudioComponentDescription(componentType: %u, componentSubType: %u, componentManufacturer: %u, "
      "componentFlags: %u, componentFlagsMask: %u)",
      unsigned(desc.componentType), unsigned(desc.componentSubType), unsigned(desc.componentManufacturer),
      unsigned(desc.componentFlags), unsigned(desc.componentFlagsMask));
  return text;
}

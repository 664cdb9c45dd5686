#include "AudioToolbox/AudioComponent.h"

#include <cstdio>
#include <deque>
#include <mutex>

#include "AudioToolbox/AUAudioUnit.h"
#include "Foundation/NSError.h"

// A registered component. Entries are never removed, so handles stay valid.
struct OpaqueAudioComponent {
  AudioComponentDescription description;
  std::string name;
  UInt32 version = 0;
  AUAudioUnitFactoryFunction factory;
};

namespace {

// True on the thread that runs the system-effect registrars.
thread_local bool registeringSystemEffects = false;

// The platform's own effects, registered before anything else.
void registerSystemEffects() {
  registeringSystemEffects = true;
  registerSystemPeakLimiter();
  registeringSystemEffects = false;
}

class Registry {
 public:
  // The registry with the system effects in it: they are registered on first use, before
  // anything else can be registered or looked up.
  static Registry& shared() {
    static std::once_flag systemEffects;
    std::call_once(systemEffects, registerSystemEffects);
    return instance();
  }
  // The registry as it is (for the system-effect registrars, which run inside `shared`).
  static Registry& instance() {
    static Registry registry;
    return registry;
  }

  AudioComponent add(const AudioComponentDescription& desc, std::string name, UInt32 version,
                     AUAudioUnitFactoryFunction factory) {
    std::lock_guard lock(mutex_);
    for (auto& entry : entries_) {
      const auto& d = entry.description;
      if (d.componentType == desc.componentType && d.componentSubType == desc.componentSubType &&
          d.componentManufacturer == desc.componentManufacturer) {
        entry.description = desc;
        entry.name = std::move(name);
        entry.version = version;
        entry.factory = std::move(factory);
        return &entry;
      }
    }
    entries_.push_back(OpaqueAudioComponent{desc, std::move(name), version, std::move(factory)});
    return &entries_.back();
  }

  AudioComponent findNext(AudioComponent after, const AudioComponentDescription* desc) {
    std::lock_guard lock(mutex_);
    auto it = entries_.begin();
    if (after) {
      while (it != entries_.end() && &*it != after) ++it;
      if (it == entries_.end()) return nullptr;
      ++it;
    }
    for (; it != entries_.end(); ++it)
      if (!desc || AudioComponentDescriptionMatches(*desc, it->description)) return &*it;
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
};

}  // namespace

bool AudioComponentDescriptionMatches(const AudioComponentDescription& search,
                                      const AudioComponentDescription& component) {
  if (search.componentType != 0 && search.componentType != component.componentType) return false;
  if (search.componentSubType != 0 && search.componentSubType != component.componentSubType) return false;
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
  for (AudioComponent c = AudioComponentFindNext(nullptr, inDesc); c; c = AudioComponentFindNext(c, inDesc)) ++count;
  return count;
}

OSStatus AudioComponentGetDescription(AudioComponent inComponent, AudioComponentDescription* outDesc) {
  if (!inComponent || !outDesc) return kAudio_ParamError;
  *outDesc = Registry::shared().snapshot(inComponent).description;
  return noErr;
}

OSStatus AudioComponentCopyName(AudioComponent inComponent, std::string* outName) {
  if (!inComponent || !outName) return kAudio_ParamError;
  *outName = Registry::shared().snapshot(inComponent).name;
  return noErr;
}

OSStatus AudioComponentGetVersion(AudioComponent inComponent, UInt32* outVersion) {
  if (!inComponent || !outVersion) return kAudio_ParamError;
  *outVersion = Registry::shared().snapshot(inComponent).version;
  return noErr;
}

AudioComponent AudioComponentRegister(const AudioComponentDescription& desc, std::string name, UInt32 version,
                                      AUAudioUnitFactoryFunction factory) {
  return Registry::shared().add(desc, std::move(name), version, std::move(factory));
}

AudioComponent AudioComponentRegisterSystemEffect(const AudioComponentDescription& desc, std::string name,
                                                  UInt32 version, AUAudioUnitFactoryFunction factory) {
  Registry& registry = registeringSystemEffects ? Registry::instance() : Registry::shared();
  return registry.add(desc, std::move(name), version, std::move(factory));
}

std::shared_ptr<AUAudioUnit> AudioComponentInstantiate(AudioComponent component,
                                                       AudioComponentInstantiationOptions options,
                                                       std::shared_ptr<NSError>* outError) {
  auto fail = [&](NSError error) -> std::shared_ptr<AUAudioUnit> {
    if (outError) *outError = std::make_shared<NSError>(std::move(error));
    return nullptr;
  };
  if (!component) return fail(NSError(NSOSStatusErrorDomain, kAudio_ParamError));
  const OpaqueAudioComponent entry = Registry::shared().snapshot(component);
  if (!entry.factory) return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization));
  try {
    auto unit = entry.factory(entry.description, options);
    if (!unit) return fail(NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization));
    return unit;
  } catch (const NSError& error) {
    return fail(error);
  }
}

std::string describe(const AudioComponentDescription& desc) {
  char text[200];
  std::snprintf(text, sizeof text,
                "AudioComponentDescription(componentType: %u, componentSubType: %u, componentManufacturer: %u, "
                "componentFlags: %u, componentFlagsMask: %u)",
                unsigned(desc.componentType), unsigned(desc.componentSubType), unsigned(desc.componentManufacturer),
                unsigned(desc.componentFlags), unsigned(desc.componentFlagsMask));
  return text;
}

std::string describeAddress(const void* address) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx", (unsigned long long)reinterpret_cast<std::uintptr_t>(address));
  return text;
}

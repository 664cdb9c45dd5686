// Full state, factory presets and the current preset of the audio unit, each operation whole
// under the unit's state lock.
//
// What a state dictionary or preset file from outside can do: entries of the wrong kind are
// skipped (a group or parameter entry that is no dictionary, a name or identifier that is no
// text, a code or number that is no integer); a parameter whose address is not a non-negative
// integer or whose value is not a finite number is skipped as a whole; an address the tree
// does not hold changes nothing; a finite value outside a parameter's range is clamped to that
// range. A file whose root is no dictionary is reported and changes nothing.
#include <algorithm>
#include <cctype>
#include <mutex>

#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/NSError.h"
#include "KOV_Compressor_Extension_AudioUnit.h"

namespace {

constexpr std::string_view kFactoryPresetsPath = "KOV Compressor Folder/Library/Factory Presets/";

bool isPresetFileName(const URL& entry) {
  std::string extension = entry.pathExtension();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return char(std::toupper(c)); });
  return extension == "PLIST";
}

// A preset name becomes part of a file path: it must name a file inside the factory folder.
bool isSafePresetName(const std::string& name) {
  return name.find('/') == std::string::npos && name.find('\0') == std::string::npos &&
         name.find("..") == std::string::npos;
}

std::string missingFileLine(const std::string& name) {
  return "AUExtension::ERROR: The preset file '" + name + ".plist' does not exist.";
}

}  // namespace

std::optional<URL> KOV_Compressor_Extension_AudioUnit::factoryPresetsFolder() const {
  // The resource folder of the bundle this code was loaded from, wherever it is installed.
  const std::optional<URL> resources = Bundle::main().resourceURL();
  if (!resources)
    return std::nullopt;
  return resources->appendingPathComponent(kFactoryPresetsPath);
}

std::optional<URL> KOV_Compressor_Extension_AudioUnit::presetFileURL(const std::string& name) const {
  const std::optional<URL> folder = factoryPresetsFolder();
  if (!folder || !isSafePresetName(name))
    return std::nullopt;
  const FileManager& files = FileManager::defaultManager();
  const URL exact = folder->appendingPathComponent(name + ".plist");
  if (files.fileExists(exact.path()))
    return exact;
  // Listed files may spell the extension in capitals ("X.PLIST"), and the file system tells the
  // two spellings apart: the listing finds them.
  try {
    for (const URL& entry : files.contentsOfDirectory(*folder)) {
      if (isPresetFileName(entry) && entry.deletingPathExtension().lastPathComponent() == name) {
        return entry;
      }
    }
  } catch (const NSError&) {
  }
  return std::nullopt;
}

std::optional<PropertyList::Dictionary> KOV_Compressor_Extension_AudioUnit::fullState() {
  const std::lock_guard lock(stateMutex);
  KOVPreset preset;
  preset.makeFrom(std::shared_ptr<AUParameterGroup>(parameterTree()));
  _fullState = preset.getDictionary();
  return _fullState;
}

void KOV_Compressor_Extension_AudioUnit::setFullState(std::optional<PropertyList::Dictionary> state) {
  const std::lock_guard lock(stateMutex);
  _fullState = std::move(state);
  KOVPreset preset;
  KOVPreset::setDelegate(presetDelegate());
  preset.makeFrom(_fullState);
}

std::optional<std::vector<std::shared_ptr<AUAudioUnitPreset>>>
KOV_Compressor_Extension_AudioUnit::factoryPresets() {
  const std::lock_guard lock(stateMutex);
  const std::optional<URL> folder = factoryPresetsFolder();
  if (!folder) {
    debugprint("Creating factory presets failed: The effect has no resource folder.");
    presets.clear();
    return presets;
  }
  const FileManager& files = FileManager::defaultManager();
  std::vector<URL> entries;
  try {
    entries = files.contentsOfDirectory(*folder);  // sorted by name: stable numbers
  } catch (const NSError& error) {
    debugprint("Creating factory presets failed: " + error.localizedDescription());
    return presets;
  }
  presets.clear();
  for (const URL& entry : entries) {
    if (!files.fileExists(entry.path()) || !isPresetFileName(entry))
      continue;
    presets.push_back(std::make_shared<AUAudioUnitPreset>(NSInteger(presets.size()),
                                                          entry.deletingPathExtension().lastPathComponent()));
  }
  return presets;
}

std::shared_ptr<AUAudioUnitPreset> KOV_Compressor_Extension_AudioUnit::currentPreset() {
  const std::lock_guard lock(stateMutex);
  return _currentPreset;
}

void KOV_Compressor_Extension_AudioUnit::setCurrentPreset(std::shared_ptr<AUAudioUnitPreset> preset) {
  const std::lock_guard lock(stateMutex);
  if (!preset) {
    _currentPreset = nullptr;
    return;
  }
  if (preset->number() < 0) {
    // A user preset: restored from the factory file of the same name, if there is one.
    try {
      setFullState(presetStateFor(*preset));
      _currentPreset = std::move(preset);
    } catch (const NSError&) {
      debugprint("AUExtension::ERROR: Unable to restore set for preset " + preset->name());
    }
    return;
  }
  if (std::size_t(preset->number()) >= presets.size()) {
    debugprint("AUExtension::ERROR: The preset number " + std::to_string(preset->number()) + " is invalid.");
    return;
  }
  const std::optional<URL> file = presetFileURL(preset->name());
  if (!file) {
    debugprint(missingFileLine(preset->name()));
    return;
  }
  KOVPreset reader;
  KOVPreset::setDelegate(presetDelegate());
  reader.load(*file);
  _currentPreset = std::move(preset);  // also when the file did not parse
}

PropertyList::Dictionary KOV_Compressor_Extension_AudioUnit::presetStateFor(const AUAudioUnitPreset& preset) {
  const std::lock_guard lock(stateMutex);
  const std::optional<URL> file = presetFileURL(preset.name());
  if (!file) {
    debugprint(missingFileLine(preset.name()));
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_InvalidFilePath);
  }
  KOVPreset reader;
  KOVPreset::setDelegate(nullptr);  // asking for a state changes no parameter
  reader.load(*file);
  return reader.getDictionary().value_or(PropertyList::Dictionary{});
}

#include "PresetPatch.h"

#include "Foundation/Data.h"
#include "Foundation/FileManager.h"
#include "Foundation/NSError.h"
#include "Foundation/Print.h"
#include "Foundation/URL.h"
#include "PresetDecoding.h"

PropertyList::Dictionary PresetPatch::toDictionary() const {
  PropertyList::Dictionary dict;
  dict["version"] = PropertyList(static_cast<long long>(version));
  dict["type"] = PropertyList(static_cast<unsigned>(type));
  dict["manufacturer"] = PropertyList(static_cast<long long>(manufacturer));
  dict["subtype"] = PropertyList(static_cast<long long>(subtype));
  dict["number"] = PropertyList(static_cast<long long>(number));
  dict["name"] = PropertyList(name);
  dict["count"] = PropertyList(static_cast<long long>(groups.size()));
  for (std::size_t i = 0; i < groups.size(); ++i) {
    dict["group " + std::to_string(i)] = PropertyList(groups[i]->toDictionary());
  }
  return dict;
}

void PresetPatch::fromDictionary(const PropertyList::Dictionary& dict) {
  groups.clear();
  for (const auto& [key, entry] : dict) {
    if (key == "version" || key == "manufacturer" || key == "subtype" || key == "number") {
      const auto integer = presetdecoding::exactInteger(entry);
      if (!integer)
        continue;
      if (key == "version")
        version = *integer;
      else if (key == "manufacturer")
        manufacturer = *integer;
      else if (key == "subtype")
        subtype = *integer;
      else
        number = *integer;
    } else if (key == "type") {
      const auto integer = presetdecoding::exactInteger(entry);
      if (integer && *integer >= 0 && *integer <= 0xFFFFFFFFLL)
        type = UInt32(*integer);
    } else if (key == "name") {
      if (const std::string* text = entry.string())
        name = *text;
    } else if (key.find("group") != std::string::npos) {
      const PropertyList::Dictionary* groupDict = entry.dictionary();
      if (!groupDict)
        continue;
      auto group = std::make_shared<PresetGroup>();
      groups.push_back(group);
      group->fromDictionary(*groupDict);
    }
  }
}

void PresetPatch::saveToFile(const URL& url) const {
  Data bytes;
  try {
    bytes = PropertyListSerialization::data(PropertyList(toDictionary()), PropertyListFormat::xml);
  } catch (const NSError&) {
    print("PresetPatch::FEHLER: Die Daten konnten nicht serialisiert werden.");
    return;
  }
  try {
    writeData(bytes, url, DataWritingOptions::atomic);
  } catch (const NSError& error) {
    print("PresetPatch::FEHLER: Die Daten konnten nicht gespeichert werden. (" + error.debugDescription() +
          ")");
  }
}

void PresetPatch::loadFromFile(const URL& url) {
  const std::string path = url.path();
  if (!FileManager::defaultManager().fileExists(path)) {
    print("AUPresetFile::ERROR: The path " + path + " does not exist.");
    return;
  }
  Data bytes;
  try {
    bytes = dataWithContentsOf(url);
  } catch (const NSError& error) {
    print("AUPresetFile::ERROR: The file " + path + " could not be read: " + error.localizedDescription());
    return;
  }
  PropertyListFormat format = PropertyListFormat::xml;
  PropertyList root;
  try {
    root = PropertyListSerialization::propertyList(
        bytes, PropertyListMutabilityOptions::mutableContainersAndLeaves, &format);
  } catch (const NSError& error) {
    print("AUPresetFile::FEHLER: Die Datei konnte nicht eingelesen werden: " + error.localizedDescription() +
          ", Format: " + std::to_string(unsigned(format)));
    return;
  }
  const PropertyList::Dictionary* dict = root.dictionary();
  if (!dict) {
    print("AUPresetFile::ERROR: The file " + path +
          " holds no dictionary, Format: " + std::to_string(unsigned(format)));
    return;
  }
  fromDictionary(*dict);
}

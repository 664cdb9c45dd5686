// One complete state of the effect: the patch level of the state dictionary (the root):
//   "version", "type", "manufacturer", "subtype", "number" integers, "name" text,
//   "count" integer (number of groups), "group <i>" dictionaries.
// Four-character codes are integers whose first character is the most significant byte.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/PropertyList.h"
#include "Foundation/URL.h"
#include "PresetGroup.h"

class PresetPatch {
 public:
  std::int64_t version = 1;
  UInt32 type = FourCC("aumf");
  std::int64_t manufacturer = FourCC("QFLD");
  std::int64_t subtype = FourCC("kvc1");
  std::int64_t number = 0;
  std::string name = "KOV Compressor Preset";
  std::vector<std::uint8_t> data;  // kept with the patch; not part of the dictionary
  std::vector<std::shared_ptr<PresetGroup>> groups;

  PropertyList::Dictionary toDictionary() const;

  // Empties `groups`, then visits the entries in the dictionary's order: "version",
  // "manufacturer", "subtype", "number" (integers), "type" (an integer that fits 32 bits) and
  // "name" (text) set their fields, values of another kind are ignored; every other key that
  // contains "group" (case-sensitive) is a group, appended and read in visiting order. Entries
  // that are no dictionary are skipped. "count" is ignored. [any]
  void fromDictionary(const PropertyList::Dictionary& dict);

  // Writes the dictionary as an XML property list, atomically (the file is either complete or
  // left as it was). Failures are printed. [any]
  void saveToFile(const URL& url) const;
  // Fills the patch from a property-list file (XML or binary). A missing or unreadable file, or
  // a root that is no dictionary, is printed and leaves the patch unchanged. [any]
  void loadFromFile(const URL& url);
};

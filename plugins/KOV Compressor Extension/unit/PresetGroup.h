// One parameter group of a preset. The group level of the state dictionary:
//   "identifier" text, "count" integer (number of parameters), "param <i>" dictionaries.
// Always held by std::shared_ptr (make it with std::make_shared), so that the parameters it
// reads can refer back to it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Foundation/PropertyList.h"
#include "PresetParam.h"

class PresetGroup : public std::enable_shared_from_this<PresetGroup> {
 public:
  std::int64_t id = 0;     // the number at the end of `identifier` (findGroupNumber)
  std::int64_t count = 0;  // set only by decoding; the dictionary code ignores it
  std::string identifier = "group";
  std::vector<std::shared_ptr<PresetParam>> params;

  PropertyList::Dictionary toDictionary() const;

  // Empties `params`, then visits the entries in the dictionary's order: "identifier" (text) sets
  // the identifier and the group number; every other key that contains "param" (case-sensitive)
  // is a parameter, appended and read in visiting order, each reported as it is read. Entries
  // that are no dictionary, and parameters that fail to read, are skipped. [any]
  void fromDictionary(const PropertyList::Dictionary& dict);

  // `id` = the last blank-separated piece of `identifier` read as a decimal integer, else 0.
  void findGroupNumber();

  PresetGroup() = default;
  // Decodes a keyed container: "id" and "count" (integers), "identifier" (text) and "params" (a
  // list of parameters) are all required. Throws NSError as PresetParam's decoder does. [any]
  explicit PresetGroup(const PropertyList& from);
};

// One parameter of a preset: its address, identifier and value, and the group it was read into.
// The parameter level of the state dictionary:
//   "address" integer, "identifier" text, "value" real.
// Preset objects are made for one task on one thread and are not shared between threads.
#pragma once

#include <memory>
#include <string>

#include "AudioToolbox/CoreAudioTypes.h"
#include "Foundation/PropertyList.h"

class PresetGroup;

class PresetParam {
 public:
  // The group that read this parameter from a dictionary (a back reference: the group owns its
  // parameters), or the group decoded with the parameter. Absent otherwise.
  std::weak_ptr<PresetGroup> group;
  AUParameterAddress address = 0;
  std::string identifier = "parameter";
  AUValue value = 0;

  PropertyList::Dictionary toDictionary() const;

  // Fills the parameter from a parameter-level dictionary, then reports it through
  // KOVPreset::foundParameter with the number of its group (0 without a group). Keys it does not
  // know are ignored, and so is an "identifier" that is no text. A parameter whose "address" is
  // not a non-negative integer or whose "value" is not a finite number is not reported and the
  // call returns false (the caller drops it); the fields it read stay set. [any]
  bool fromDictionary(const PropertyList::Dictionary& dict);

  PresetParam() = default;
  // Decodes a keyed container (a dictionary): "address" (unsigned integer), "identifier" (text)
  // and "value" (number) are required, "group" (a whole group) is optional. Throws NSError
  // (NSCocoaErrorDomain 4865 for a missing key, 4864 for a value of the wrong type). [any]
  explicit PresetParam(const PropertyList& from);

 private:
  std::shared_ptr<PresetGroup> decodedGroup_;  // owns the group decoded with the parameter
};

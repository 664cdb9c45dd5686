#include "PresetParam.h"

#include <cmath>
#include <limits>

#include "Foundation/NSError.h"
#include "KOVPreset.h"
#include "PresetDecoding.h"
#include "PresetGroup.h"

PropertyList::Dictionary PresetParam::toDictionary() const {
  PropertyList::Dictionary dict;
  dict["address"] = PropertyList(static_cast<unsigned long long>(address));
  dict["identifier"] = PropertyList(identifier);
  dict["value"] = PropertyList(value);
  return dict;
}

bool PresetParam::fromDictionary(const PropertyList::Dictionary& dict) {
  bool valid = true;
  for (const auto& [key, entry] : dict) {
    if (key == "identifier") {
      if (const std::string* text = entry.string())
        identifier = *text;
    } else if (key == "address") {
      // Addresses are written as integers; a negative or fractional one names no parameter.
      const auto address64 = presetdecoding::exactInteger(entry);
      if (address64 && *address64 >= 0) {
        address = AUParameterAddress(*address64);
      } else {
        valid = false;
      }
    } else if (key == "value") {
      const auto number = presetdecoding::finiteFloat(entry);
      if (number) {
        value = *number;
      } else {
        valid = false;
      }
    }
  }
  if (!valid)
    return false;
  const std::shared_ptr<PresetGroup> owner = group.lock();
  KOVPreset::foundParameter(owner ? owner->id : 0, identifier, address, value);
  return true;
}

PresetParam::PresetParam(const PropertyList& from) {
  using namespace presetdecoding;
  const PropertyList::Dictionary& container = keyedContainer(from);
  if (const PropertyList* groupEntry = find(container, "group")) {
    decodedGroup_ = std::make_shared<PresetGroup>(*groupEntry);
    group = decodedGroup_;
  }
  const PropertyList& addressEntry = require(container, "address");
  const auto address64 = addressEntry.asUInt64();
  if (!addressEntry.isInteger() || !address64)
    throw typeMismatch("address");
  address = *address64;
  const std::string* text = require(container, "identifier").string();
  if (!text)
    throw typeMismatch("identifier");
  identifier = *text;
  const PropertyList& valueEntry = require(container, "value");
  const auto number = valueEntry.isNumber() ? valueEntry.asFloat() : std::nullopt;
  if (!number)
    throw typeMismatch("value");
  value = *number;
}

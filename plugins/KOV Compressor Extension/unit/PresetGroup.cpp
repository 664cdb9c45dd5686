#include "PresetGroup.h"

#include <charconv>

#include "PresetDecoding.h"

PropertyList::Dictionary PresetGroup::toDictionary() const {
  PropertyList::Dictionary dict;
  dict["identifier"] = PropertyList(identifier);
  dict["count"] = PropertyList(static_cast<long long>(params.size()));
  for (std::size_t i = 0; i < params.size(); ++i) {
    dict["param " + std::to_string(i)] = PropertyList(params[i]->toDictionary());
  }
  return dict;
}

void PresetGroup::fromDictionary(const PropertyList::Dictionary& dict) {
  params.clear();
  for (const auto& [key, entry] : dict) {
    if (key == "identifier") {
      if (const std::string* text = entry.string()) {
        identifier = *text;
        findGroupNumber();
      }
    } else if (key.find("param") != std::string::npos) {
      const PropertyList::Dictionary* paramDict = entry.dictionary();
      if (!paramDict)
        continue;
      auto param = std::make_shared<PresetParam>();
      param->group = weak_from_this();
      if (param->fromDictionary(*paramDict))
        params.push_back(std::move(param));
    }
  }
}

void PresetGroup::findGroupNumber() {
  // The last piece after the last blank (empty when the identifier ends in a blank), read as
  // a whole decimal number: an optional sign and at least one digit, nothing else.
  const std::size_t blank = identifier.rfind(' ');
  std::string_view piece(identifier);
  if (blank != std::string::npos)
    piece.remove_prefix(blank + 1);
  std::string_view digits = piece;
  if (!digits.empty() && digits.front() == '+') {
    digits.remove_prefix(1);
    if (!digits.empty() && digits.front() == '-')
      digits = {};  // "+-5" is no number
  }
  std::int64_t number = 0;
  const char* end = digits.data() + digits.size();
  const auto [stop, error] = std::from_chars(digits.data(), end, number);
  id = (!digits.empty() && error == std::errc() && stop == end) ? number : 0;
}

PresetGroup::PresetGroup(const PropertyList& from) {
  using namespace presetdecoding;
  const PropertyList::Dictionary& container = keyedContainer(from);
  const auto readInteger = [&](const std::string& key) {
    const PropertyList& entry = require(container, key);
    const auto number = entry.isInteger() ? entry.asInt64() : std::nullopt;
    if (!number)
      throw typeMismatch(key);
    return *number;
  };
  id = readInteger("id");
  count = readInteger("count");
  const std::string* text = require(container, "identifier").string();
  if (!text)
    throw typeMismatch("identifier");
  identifier = *text;
  const PropertyList::Array* list = require(container, "params").array();
  if (!list)
    throw typeMismatch("params");
  for (const PropertyList& element : *list)
    params.push_back(std::make_shared<PresetParam>(element));
}

// Reading helpers of the preset model: tolerant number reads for state dictionaries (which may
// come from any host or file) and the strict keyed-container reads of the decoders.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>

#include "Foundation/NSError.h"
#include "Foundation/PropertyList.h"

namespace presetdecoding {

// An integer, or a real with an integral value, that fits a signed 64-bit integer. Texts,
// booleans, fractions and NaN give nothing.
inline std::optional<std::int64_t> exactInteger(const PropertyList& entry) {
  if (const PropertyList::Integer* integer = entry.integer()) {
    if (integer->isBigUnsigned)
      return std::nullopt;
    return integer->value;
  }
  if (entry.isReal()) {
    const double real = *entry.asDouble();
    // 2^63 is exactly representable; everything below it and integral converts exactly.
    if (std::trunc(real) == real && real >= -9223372036854775808.0 && real < 9223372036854775808.0) {
      return std::int64_t(real);
    }
  }
  return std::nullopt;
}

// A finite number (integer or real) as a 32-bit float. Values beyond the float range saturate to
// the largest finite float of that sign; NaN and infinities give nothing.
inline std::optional<float> finiteFloat(const PropertyList& entry) {
  if (!entry.isNumber())
    return std::nullopt;
  const std::optional<double> number = entry.asDouble();
  if (!number || !std::isfinite(*number))
    return std::nullopt;
  constexpr double kMax = double(std::numeric_limits<float>::max());
  if (*number > kMax)
    return std::numeric_limits<float>::max();
  if (*number < -kMax)
    return -std::numeric_limits<float>::max();
  return float(*number);
}

// Decoding errors as the platform bridges them: NSCocoaErrorDomain, 4865 for a missing value,
// 4864 for a value of the wrong type.
inline NSError keyNotFound(const std::string& key) {
  return NSError(NSCocoaErrorDomain, 4865,
                 "The data couldn’t be read because it is missing. (key \"" + key + "\")");
}
inline NSError typeMismatch(const std::string& key) {
  return NSError(NSCocoaErrorDomain, 4864,
                 "The data couldn’t be read because it isn’t in the correct format. (key \"" + key + "\")");
}

inline const PropertyList::Dictionary& keyedContainer(const PropertyList& from) {
  const PropertyList::Dictionary* container = from.dictionary();
  if (!container)
    throw typeMismatch("");
  return *container;
}

inline const PropertyList* find(const PropertyList::Dictionary& container, const std::string& key) {
  const auto it = container.find(key);
  return it == container.end() ? nullptr : &it->second;
}

inline const PropertyList& require(const PropertyList::Dictionary& container, const std::string& key) {
  const PropertyList* entry = find(container, key);
  if (!entry)
    throw keyNotFound(key);
  return *entry;
}

}  // namespace presetdecoding

#include "Foundation/PropertyList.h"

#include <cfloat>
#include <cmath>

namespace {

constexpr double kTwoPow63 = 9223372036854775808.0;
constexpr double kTwoPow64 = 18446744073709551616.0;

}  // namespace

std::optional<double> PropertyList::asDouble() const {
  if (const auto* i = integer())
    return i->isBigUnsigned ? static_cast<double>(static_cast<std::uint64_t>(i->value))
                            : static_cast<double>(i->value);
  if (const auto* d = std::get_if<double>(&value_))
    return *d;
  if (const auto* b = std::get_if<bool>(&value_))
    return *b ? 1.0 : 0.0;
  return std::nullopt;
}

std::optional<float> PropertyList::asFloat() const {
  const auto d = asDouble();
  if (!d)
    return std::nullopt;
  if (!std::isfinite(*d))
    return static_cast<float>(*d);
  // Values beyond the float range would round to infinity: they do not fit.
  const float f = static_cast<float>(*d);
  if (std::isinf(f))
    return std::nullopt;
  return f;
}

std::optional<std::int64_t> PropertyList::asInt64() const {
  if (const auto* i = integer()) {
    if (i->isBigUnsigned)
      return std::nullopt;
    return i->value;
  }
  if (const auto* d = std::get_if<double>(&value_)) {
    const double t = std::trunc(*d);
    if (!(t >= -kTwoPow63 && t < kTwoPow63))
      return std::nullopt;  // also NaN
    return static_cast<std::int64_t>(t);
  }
  if (const auto* b = std::get_if<bool>(&value_))
    return *b ? 1 : 0;
  return std::nullopt;
}

std::optional<std::uint64_t> PropertyList::asUInt64() const {
  if (const auto* i = integer()) {
    if (i->isBigUnsigned)
      return static_cast<std::uint64_t>(i->value);
    if (i->value < 0)
      return std::nullopt;
    return static_cast<std::uint64_t>(i->value);
  }
  if (const auto* d = std::get_if<double>(&value_)) {
    const double t = std::trunc(*d);
    if (!(t > -1.0 && t < kTwoPow64))
      return std::nullopt;
    return static_cast<std::uint64_t>(t);
  }
  if (const auto* b = std::get_if<bool>(&value_))
    return *b ? 1u : 0u;
  return std::nullopt;
}

std::optional<bool> PropertyList::asBool() const {
  if (const auto* b = std::get_if<bool>(&value_))
    return *b;
  if (const auto* i = integer())
    return i->value != 0;
  if (const auto* d = std::get_if<double>(&value_))
    return *d != 0.0;
  return std::nullopt;
}

const PropertyList* PropertyList::find(std::string_view key) const {
  const Dictionary* d = dictionary();
  if (!d)
    return nullptr;
  const auto it = d->find(key);
  return it == d->end() ? nullptr : &it->second;
}

// The value model of property lists (and of user defaults and settings dictionaries):
// dictionaries with text keys, arrays, texts, integers, reals, booleans, data and dates.
// Numbers coerce into each other: an integer reads as a double, a real as an integer by
// truncation toward zero when it fits.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class PropertyList {
 public:
  using Dictionary = std::map<std::string, PropertyList, std::less<>>;
  using Array = std::vector<PropertyList>;
  using Data = std::vector<std::uint8_t>;
  struct Date {
    double secondsSince2001 = 0;  // seconds since 2001-01-01 00:00:00 UTC, the reference date
    bool operator==(const Date&) const = default;
  };
  // Integers keep their sign: an unsigned value above INT64_MAX is stored as such.
  struct Integer {
    std::int64_t value = 0;
    bool isBigUnsigned = false;  // `value` holds the two's complement of a value >= 2^63
    bool operator==(const Integer&) const = default;
  };

  PropertyList() : value_(Dictionary{}) {}
  PropertyList(Dictionary d) : value_(std::move(d)) {}
  PropertyList(Array a) : value_(std::move(a)) {}
  PropertyList(std::string s) : value_(std::move(s)) {}
  PropertyList(const char* s) : value_(std::string(s)) {}
  PropertyList(bool b) : value_(b) {}
  PropertyList(int v) : value_(Integer{v, false}) {}
  PropertyList(long v) : value_(Integer{v, false}) {}
  PropertyList(long long v) : value_(Integer{v, false}) {}
  PropertyList(unsigned v) : value_(Integer{std::int64_t(v), false}) {}
  PropertyList(unsigned long v) : value_(Integer{std::int64_t(v), v > INT64_MAX}) {}
  PropertyList(unsigned long long v) : value_(Integer{std::int64_t(v), v > INT64_MAX}) {}
  PropertyList(float v) : value_(double(v)) {}
  PropertyList(double v) : value_(v) {}
  PropertyList(Data d) : value_(std::move(d)) {}
  PropertyList(Date d) : value_(d) {}

  bool isDictionary() const { return std::holds_alternative<Dictionary>(value_); }
  bool isArray() const { return std::holds_alternative<Array>(value_); }
  bool isInteger() const { return std::holds_alternative<Integer>(value_); }
  bool isReal() const { return std::holds_alternative<double>(value_); }
  bool isNumber() const { return isInteger() || isReal(); }
  bool isBool() const { return std::holds_alternative<bool>(value_); }

  // Typed views: null when the value is of another kind.
  const Dictionary* dictionary() const { return std::get_if<Dictionary>(&value_); }
  Dictionary* dictionary() { return std::get_if<Dictionary>(&value_); }
  const Array* array() const { return std::get_if<Array>(&value_); }
  Array* array() { return std::get_if<Array>(&value_); }
  const std::string* string() const { return std::get_if<std::string>(&value_); }
  const Data* data() const { return std::get_if<Data>(&value_); }
  const Date* date() const { return std::get_if<Date>(&value_); }
  const Integer* integer() const { return std::get_if<Integer>(&value_); }

  // Number coercions; nullopt for non-numbers (booleans count as 0/1 numbers, as bridged
  // numbers do) and for values that do not fit the target type.
  std::optional<double> asDouble() const;
  std::optional<float> asFloat() const;           // rounds a double to the nearest float
  std::optional<std::int64_t> asInt64() const;    // reals truncate toward zero
  std::optional<std::uint64_t> asUInt64() const;  // negative values do not fit
  std::optional<bool> asBool() const;             // numbers: non-zero is true

  // Dictionary member access (null when this is no dictionary or the key is absent).
  const PropertyList* find(std::string_view key) const;

  // Deep equality (a real and an integer of the same value are different values).
  bool operator==(const PropertyList& other) const { return value_ == other.value_; }

 private:
  std::variant<Dictionary, Array, std::string, Integer, double, bool, Data, Date> value_;
};

enum class PropertyListFormat : unsigned {
  openStep = 1,
  xml = 100,
  binary = 200,
};

// Reading options; the values are accepted and change nothing: this model's containers are
// always mutable.
enum class PropertyListMutabilityOptions : unsigned {
  immutable = 0,
  mutableContainers = 1,
  mutableContainersAndLeaves = 2,
};

// Over libplist. Integers keep their sign and reals their exact bits (NaN comes back as the
// default NaN); dictionaries are written with sorted keys. Nesting deeper than 512 levels is
// refused both ways.
namespace PropertyListSerialization {
// Serialises to XML (format xml) or binary (format binary). Throws NSError (NSCocoaErrorDomain,
// code 3851) for the openStep format and for values a property list cannot hold here: a text or
// key with a NUL character, a date outside the 32-bit seconds libplist keeps (1933 to 2069). [any]
std::vector<std::uint8_t> data(const PropertyList& propertyList, PropertyListFormat format);
// Parses XML or binary, reporting the format found (left unchanged on failure). Throws NSError
// (NSCocoaErrorDomain, code 3840) for anything that is no property list; never crashes on
// hostile input (binary files are checked for cycles and for expansion beyond 2^20 objects).
// libplist is lenient with some malformed XML: "<integer>abc</integer>" reads as 0, a key without
// a value is dropped. [any]
PropertyList propertyList(const std::vector<std::uint8_t>& data,
                          PropertyListMutabilityOptions options = PropertyListMutabilityOptions::immutable,
                          PropertyListFormat* format = nullptr);
}  // namespace PropertyListSerialization

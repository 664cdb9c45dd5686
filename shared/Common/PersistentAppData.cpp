#include "PersistentAppData.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include <glib.h>

#include "Foundation/Print.h"

// ---- user-defaults extensions --------------------------------------------------------------

namespace UserDefaultsExtension {

std::shared_ptr<UserDefaults> shared() {
  if (auto suite = UserDefaults::make(sharedContainer))
    return suite;
  return UserDefaults::makeVolatile();
}

std::shared_ptr<UserDefaults> combined() {
  auto standard = UserDefaults::standard();
  standard->addSuite(sharedContainer);
  return standard;
}

}  // namespace UserDefaultsExtension

// ---- the store -----------------------------------------------------------------------------

std::optional<PersistentAppData::Storage> PersistentAppData::storage(int rawValue) {
  switch (rawValue) {
    case 0:
      return Storage::defaults;
    case 1:
      return Storage::shared;
    case 2:
      return Storage::combined;
    default:
      return std::nullopt;
  }
}

PersistentAppData& PersistentAppData::sharedInstance() {
  static PersistentAppData instance;
  return instance;
}

PersistentAppData::PersistentAppData()
    : defaults(UserDefaults::standard()),
      shared(UserDefaultsExtension::shared()),
      combined(UserDefaultsExtension::combined()) {}

PersistentAppData::~PersistentAppData() = default;

UserDefaults& PersistentAppData::store(Storage storage) const {
  switch (storage) {
    case Storage::shared:
      return *shared;
    case Storage::combined:
      return *combined;
    case Storage::defaults:
      break;
  }
  return *defaults;
}

void PersistentAppData::setString(std::string_view key, std::string_view value, Storage _for) {
  store(_for).set(value, key);
}
std::optional<std::string> PersistentAppData::getString(std::string_view key, Storage from) {
  return store(from).stringForKey(key);
}
void PersistentAppData::setInteger(std::string_view key, std::int64_t value, Storage _for) {
  store(_for).set(value, key);
}
std::int64_t PersistentAppData::getInteger(std::string_view key, Storage from) {
  return store(from).integerForKey(key);
}
void PersistentAppData::setFloat(std::string_view key, float value, Storage _for) {
  store(_for).set(value, key);
}
float PersistentAppData::getFloat(std::string_view key, Storage from) {
  return store(from).floatForKey(key);
}
void PersistentAppData::setBool(std::string_view key, bool value, Storage _for) {
  store(_for).set(value, key);
}
bool PersistentAppData::getBool(std::string_view key, Storage from) {
  return store(from).boolForKey(key);
}
void PersistentAppData::setURL(std::string_view key, const std::optional<URL>& value, Storage _for) {
  store(_for).set(value, key);
}
std::optional<URL> PersistentAppData::getUrl(std::string_view key, Storage from) {
  return store(from).URLForKey(key);
}
void PersistentAppData::setObject(std::string_view key, const std::optional<PropertyList>& value,
                                  Storage _for) {
  store(_for).set(value, key);
}
std::optional<PropertyList> PersistentAppData::getObject(std::string_view key, Storage from) {
  return store(from).objectForKey(key);
}

namespace {
void dumpEntries(const UserDefaults& defaults) {
  for (const auto& [key, value] : defaults.dictionaryRepresentation()) {
    print(key + " = " + describePropertyList(value) + " \n");
  }
}
}  // namespace

void PersistentAppData::dumpout() {
  print("PersistentAppData::dumpout() : UserDefaults.standard : ");
  dumpEntries(*UserDefaults::standard());
  print("PersistentAppData::dumpout() : UserDefaults.shared : ");
  dumpEntries(*UserDefaultsExtension::shared());
  print("PersistentAppData::dumpout() : UserDefaults.combined : ");
  dumpEntries(*UserDefaultsExtension::combined());
}

std::map<std::string, float> PersistentAppData::frameToDictionary(const CGRect& frame) {
  const CGRect r = frame.standardized();
  return {{"left", float(r.minX())},
          {"top", float(r.minY())},
          {"width", float(r.width())},
          {"height", float(r.height())}};
}

std::optional<CGRect> PersistentAppData::dictionaryToFrame(std::string_view key) {
  CGFloat left = 0, top = 0, width = 100, height = 100;
  const auto object = sharedInstance().getObject(key, Storage::defaults);
  if (!object || !object->dictionary())
    return std::nullopt;
  // Only a dictionary whose every value is a number counts; each narrows to a 32-bit float.
  std::map<std::string, float, std::less<>> numbers;
  for (const auto& [name, value] : *object->dictionary()) {
    const auto number = value.asFloat();
    if (!number)
      return std::nullopt;
    numbers.emplace(name, *number);
  }
  for (const auto& [name, number] : numbers) {
    if (name == "left")
      left = CGFloat(number);
    else if (name == "top")
      top = CGFloat(number);
    else if (name == "width")
      width = CGFloat(number);
    else if (name == "height")
      height = CGFloat(number);
  }
  return CGRect(left, top, width, height);
}

// ---- descriptions of property-list values --------------------------------------------------

namespace {

std::string indent(int level) {
  return std::string(std::size_t(level) * 4, ' ');
}

std::string describeReal(double value) {
  if (std::isnan(value))
    return "nan";
  if (std::isinf(value))
    return value > 0 ? "inf" : "-inf";
  char text[40];
  std::snprintf(text, sizeof text, "%.16g", value);
  return text;
}

std::string hex(const PropertyList::Data& bytes, std::size_t from, std::size_t to, bool grouped) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (std::size_t i = from; i < to; ++i) {
    if (grouped && i > from && (i - from) % 4 == 0)
      text += ' ';
    text += digits[bytes[i] >> 4];
    text += digits[bytes[i] & 15];
  }
  return text;
}

std::string describeData(const PropertyList::Data& bytes) {
  std::string text = "{length = " + std::to_string(bytes.size()) + ", bytes = 0x";
  if (bytes.size() <= 24)
    return text + hex(bytes, 0, bytes.size(), false) + "}";
  return text + hex(bytes, 0, 16, true) + " ... " + hex(bytes, bytes.size() - 8, bytes.size(), true) + " }";
}

std::string describeDate(const PropertyList::Date& date) {
  // Seconds since 2001-01-01 00:00:00 UTC; 978307200 s after the Unix epoch.
  const double unixSeconds = std::floor(date.secondsSince2001) + 978307200.0;
  if (!std::isfinite(unixSeconds) || std::fabs(unixSeconds) > 1e15)
    return "invalid date";
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S +0000", &utc);
  return text;
}

// Texts inside collections: bare when they hold only letters, digits and _$/:.-, else quoted
// with escapes, characters beyond ASCII as \Uxxxx.
std::string quoted(const std::string& text) {
  bool bare = !text.empty();
  for (unsigned char c : text) {
    if (!(g_ascii_isalnum(c) || c == '_' || c == '$' || c == '/' || c == ':' || c == '.' || c == '-')) {
      bare = false;
    }
  }
  if (bare)
    return text;
  std::string out = "\"";
  const char* p = text.c_str();
  const char* end = p + text.size();
  while (p < end) {
    const unsigned char c = static_cast<unsigned char>(*p);
    if (c < 0x80) {
      if (c == '"' || c == '\\')
        out += '\\', out += char(c);
      else if (c == '\n')
        out += "\\n";
      else if (c == '\t')
        out += "\\t";
      else
        out += char(c);
      ++p;
      continue;
    }
    const gunichar u = g_utf8_get_char_validated(p, end - p);
    if (u == gunichar(-1) || u == gunichar(-2)) {
      ++p;  // not UTF-8: skip the byte
      continue;
    }
    char escape[16];
    std::snprintf(escape, sizeof escape, "\\U%04x", unsigned(u));
    out += escape;
    p = g_utf8_next_char(p);
  }
  return out + "\"";
}

std::string describeAt(const PropertyList& value, int level, bool nested);

std::string describeCollection(const PropertyList& value, int level) {
  if (const auto* dictionary = value.dictionary()) {
    std::string text = indent(level) + "{\n";
    for (const auto& [key, child] : *dictionary) {  // the dictionary keeps its keys sorted
      text += indent(level + 1) + quoted(key) + " = " + describeAt(child, level + 1, true) + ";\n";
    }
    return text + indent(level) + "}";
  }
  const auto& array = *value.array();
  std::string text = indent(level) + "(\n";
  for (std::size_t i = 0; i < array.size(); ++i) {
    const PropertyList& child = array[i];
    const bool collection = child.isDictionary() || child.isArray();
    text += collection ? indent(level + 1) + describeCollection(child, level + 1)
                       : indent(level + 1) + describeAt(child, level + 1, true);
    text += i + 1 < array.size() ? ",\n" : "\n";
  }
  return text + indent(level) + ")";
}

std::string describeAt(const PropertyList& value, int level, bool nested) {
  if (value.isDictionary() || value.isArray())
    return describeCollection(value, level);
  if (const auto* text = value.string())
    return nested ? quoted(*text) : *text;
  if (value.isBool())
    return value.asBool().value_or(false) ? "1" : "0";
  if (const auto* integer = value.integer()) {
    return integer->isBigUnsigned ? std::to_string(std::uint64_t(integer->value))
                                  : std::to_string(integer->value);
  }
  if (value.isReal())
    return describeReal(*value.asDouble());
  if (const auto* data = value.data())
    return describeData(*data);
  if (const auto* date = value.date())
    return describeDate(*date);
  return "";
}

}  // namespace

std::string describePropertyList(const PropertyList& value) {
  return describeAt(value, 0, false);
}

#include "Foundation/UserDefaults.h"

#include <glib.h>
#include <sys/stat.h>

#include <cerrno>
#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

#include "Foundation/Data.h"
#include "Foundation/FileManager.h"
#include "Foundation/NSError.h"
#include "Foundation/ProcessInfo.h"

namespace {

std::string defaultStorageFolder() {
  return std::string(g_get_user_config_dir()) + "/kov/preferences";
}

// What identifies the content of a file: a write moved into place gets a new inode, an edit in
// place a new size or modification time.
struct FileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const FileStamp&) const = default;
};

FileStamp stampOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return {};
  return {true, info.st_dev, info.st_ino, info.st_size,
          std::int64_t(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec};
}

bool isValidDomainName(std::string_view name) {
  if (name.empty() || name.front() == '.' || name == "NSGlobalDomain")
    return false;
  for (unsigned char c : name) {
    if (c == '/' || c < 0x20 || c == 0x7F)
      return false;
  }
  return true;
}

}  // namespace

// One domain's values, shared by every object of that domain in the process.
struct UserDefaults::Domain {
  explicit Domain(std::string domainName, std::optional<std::string> storageFolder)
      : name(std::move(domainName)), folder(std::move(storageFolder)) {}

  // Runs `body` on the current values under the domain's lock. [any]
  template <typename Body>
  auto read(Body&& body) {
    std::lock_guard lock(mutex);
    refresh();
    return body(static_cast<const PropertyList::Dictionary&>(values));
  }

  // Changes the values under the lock and writes the file. [any]
  template <typename Body>
  void write(Body&& body) {
    std::lock_guard lock(mutex);
    refresh();
    if (body(values))
      persist();
  }

  // Points a file-backed domain at another folder and forgets its copy. [any]
  void relocate(const std::string& storageFolder) {
    std::lock_guard lock(mutex);
    if (!folder)
      return;
    folder = storageFolder;
    values.clear();
    loaded = false;
    stamp = {};
  }

 private:
  std::string path() const { return *folder + "/" + name + ".plist"; }

  // Reads the file when it is not the one last read or written. A missing, unreadable or
  // malformed file reads as an empty domain. [under mutex]
  void refresh() {
    if (!folder)
      return;
    const std::string file = path();
    const FileStamp current = stampOf(file);
    if (loaded && current == stamp)
      return;
    values.clear();
    if (current.exists) {
      try {
        const PropertyList root =
            PropertyListSerialization::propertyList(dataWithContentsOf(URL::fileURLWithPath(file)));
        if (const auto* dictionary = root.dictionary())
          values = *dictionary;
      } catch (const NSError&) {
      }
    }
    stamp = current;
    loaded = true;
  }

  // Writes the whole domain aside and moves it into place; on failure the values stay in
  // memory only. [under mutex]
  void persist() {
    if (!folder)
      return;
    try {
      FileManager::defaultManager().createDirectory(*folder, true);
      const std::string file = path();
      writeData(PropertyListSerialization::data(PropertyList(values), PropertyListFormat::xml),
                URL::fileURLWithPath(file), DataWritingOptions::atomic);
      stamp = stampOf(file);
    } catch (const NSError&) {
      // Keep `stamp`: the file still holds what was read, and the next refresh must not
      // replace the unsaved values with it unless another process changes it.
    }
  }

  std::mutex mutex;
  std::string name;
  std::optional<std::string> folder;  // nullopt: in memory only
  PropertyList::Dictionary values;
  bool loaded = false;
  FileStamp stamp;
};

namespace {

// The file-backed domains of the process, by name.
struct Registry {
  std::mutex mutex;
  std::string folder = defaultStorageFolder();
  std::map<std::string, std::shared_ptr<UserDefaults::Domain>, std::less<>> domains;

  std::shared_ptr<UserDefaults::Domain> domain(std::string_view name) {
    std::lock_guard lock(mutex);
    auto found = domains.find(name);
    if (found != domains.end())
      return found->second;
    auto created = std::make_shared<UserDefaults::Domain>(std::string(name), folder);
    domains.emplace(std::string(name), created);
    return created;
  }
};

Registry& registry() {
  static Registry instance;
  return instance;
}

// ---- conversions of stored values, as the platform's typed reads make them ----------------

std::string trimmedLeft(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && g_ascii_isspace(text[start]))
    ++start;
  return text.substr(start);
}

// The leading decimal integer of a text, saturated at the 64-bit limits; 0 when there is none.
std::int64_t leadingInteger(const std::string& text) {
  const std::string t = trimmedLeft(text);
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(t.c_str(), &end, 10);
  return end == t.c_str() ? 0 : std::int64_t(value);  // strtoll saturates on overflow
}

// The leading decimal number of a text (locale-independent); 0 when there is none.
double leadingReal(const std::string& text) {
  const std::string t = trimmedLeft(text);
  char* end = nullptr;
  const double value = g_ascii_strtod(t.c_str(), &end);
  return end == t.c_str() ? 0.0 : value;
}

bool textAsBool(const std::string& text) {
  const std::string t = trimmedLeft(text);
  if (g_ascii_strcasecmp(t.c_str(), "yes") == 0 || g_ascii_strcasecmp(t.c_str(), "true") == 0)
    return true;
  return leadingInteger(t) != 0;
}

std::int64_t realAsInteger(double value) {
  if (std::isnan(value))
    return 0;
  if (value >= 9223372036854775807.0)
    return INT64_MAX;
  if (value <= -9223372036854775808.0)
    return INT64_MIN;
  return std::int64_t(value);
}

std::optional<std::string> numberAsText(const PropertyList& value) {
  if (value.isBool())
    return std::string(value.asBool().value_or(false) ? "1" : "0");
  if (const auto* integer = value.integer()) {
    if (integer->isBigUnsigned)
      return std::to_string(std::uint64_t(integer->value));
    return std::to_string(integer->value);
  }
  if (auto real = value.asDouble()) {
    char text[40];
    std::snprintf(text, sizeof text, "%.16g", *real);
    return std::string(text);
  }
  return std::nullopt;
}

// True when the key and its value can go into a domain's file. A text or key holding a NUL
// character, a date outside the file format's 32-bit seconds or nesting beyond its depth limit
// cannot: stored anyway, such a value would make every later write of its domain fail, and all
// of them would be lost at exit.
bool storable(std::string_view key, const PropertyList& value) {
  try {
    PropertyListSerialization::data(PropertyList(PropertyList::Dictionary{{std::string(key), value}}),
                                    PropertyListFormat::xml);
    return true;
  } catch (const NSError&) {
    return false;
  }
}

}  // namespace

// ---- objects -------------------------------------------------------------------------------

UserDefaults::UserDefaults(std::string domainName, std::shared_ptr<Domain> domain)
    : domainName_(std::move(domainName)), domain_(std::move(domain)) {}

UserDefaults::~UserDefaults() = default;

std::string UserDefaults::standardDomainName() {
  std::string name = ProcessInfo::processInfo().processName();
  return isValidDomainName(name) ? name : std::string("process");
}

std::shared_ptr<UserDefaults> UserDefaults::standard() {
  static const std::shared_ptr<UserDefaults> instance = [] {
    const std::string name = standardDomainName();
    return std::make_shared<UserDefaults>(name, registry().domain(name));
  }();
  return instance;
}

std::shared_ptr<UserDefaults> UserDefaults::make(std::string_view suiteName) {
  if (!isValidDomainName(suiteName) || suiteName == standardDomainName())
    return nullptr;
  return std::make_shared<UserDefaults>(std::string(suiteName), registry().domain(suiteName));
}

std::shared_ptr<UserDefaults> UserDefaults::makeVolatile() {
  return std::make_shared<UserDefaults>("volatile", std::make_shared<Domain>("volatile", std::nullopt));
}

void UserDefaults::addSuite(std::string_view named) {
  if (!isValidDomainName(named) || named == domainName_)
    return;
  auto domain = registry().domain(named);
  std::lock_guard lock(suitesMutex_);
  for (const auto& suite : suites_) {
    if (suite == domain)
      return;
  }
  suites_.push_back(std::move(domain));
}

void UserDefaults::removeSuite(std::string_view named) {
  if (!isValidDomainName(named))
    return;
  auto domain = registry().domain(named);
  std::lock_guard lock(suitesMutex_);
  std::erase(suites_, domain);
}

std::vector<std::shared_ptr<UserDefaults::Domain>> UserDefaults::searchList() const {
  std::lock_guard lock(suitesMutex_);
  std::vector<std::shared_ptr<Domain>> list;
  list.reserve(suites_.size() + 1);
  list.push_back(domain_);
  list.insert(list.end(), suites_.begin(), suites_.end());
  return list;
}

// ---- reads ---------------------------------------------------------------------------------

std::optional<PropertyList> UserDefaults::objectForKey(std::string_view key) const {
  for (const auto& domain : searchList()) {
    auto found = domain->read([&](const PropertyList::Dictionary& values) -> std::optional<PropertyList> {
      auto it = values.find(key);
      if (it == values.end())
        return std::nullopt;
      return it->second;
    });
    if (found)
      return found;
  }
  return std::nullopt;
}

std::optional<std::string> UserDefaults::stringForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  if (!value)
    return std::nullopt;
  if (const auto* text = value->string())
    return *text;
  return numberAsText(*value);
}

std::int64_t UserDefaults::integerForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  if (!value)
    return 0;
  if (const auto* text = value->string())
    return leadingInteger(*text);
  if (value->isReal())
    return realAsInteger(*value->asDouble());
  if (auto integer = value->asInt64())
    return *integer;
  if (const auto* integer = value->integer())
    return integer->value;  // above INT64_MAX: wraps
  return 0;
}

double UserDefaults::doubleForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  if (!value)
    return 0.0;
  if (const auto* text = value->string())
    return leadingReal(*text);
  return value->asDouble().value_or(0.0);
}

float UserDefaults::floatForKey(std::string_view key) const {
  return static_cast<float>(doubleForKey(key));
}

bool UserDefaults::boolForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  if (!value)
    return false;
  if (const auto* text = value->string())
    return textAsBool(*text);
  return value->asBool().value_or(false);
}

std::optional<URL> UserDefaults::URLForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  if (!value)
    return std::nullopt;
  const auto* text = value->string();
  if (!text || text->empty())
    return std::nullopt;
  if (text->front() == '/')
    return URL::fileURLWithPath(*text);
  if (text->front() == '~') {
    return URL::fileURLWithPath(std::string(g_get_home_dir()) + text->substr(1));
  }
  auto url = URL::string(*text);
  if (url && !url->scheme().empty())
    return url;
  return std::nullopt;
}

std::optional<PropertyList::Dictionary> UserDefaults::dictionaryForKey(std::string_view key) const {
  const auto value = objectForKey(key);
  if (!value || !value->dictionary())
    return std::nullopt;
  return *value->dictionary();
}

PropertyList::Dictionary UserDefaults::dictionaryRepresentation() const {
  PropertyList::Dictionary merged;
  for (const auto& domain : searchList()) {
    domain->read([&](const PropertyList::Dictionary& values) {
      for (const auto& [key, value] : values)
        merged.emplace(key, value);  // earlier domains win
      return 0;
    });
  }
  return merged;
}

// ---- writes --------------------------------------------------------------------------------

void UserDefaults::set(const std::optional<PropertyList>& value, std::string_view forKey) {
  if (!value) {
    removeObjectForKey(forKey);
    return;
  }
  if (!storable(forKey, *value))
    return;  // refused, as the platform refuses a non-property-list value
  domain_->write([&](PropertyList::Dictionary& values) {
    auto it = values.find(forKey);
    if (it != values.end() && it->second == *value)
      return false;  // nothing to write
    if (it != values.end()) {
      it->second = *value;
    } else {
      values.emplace(std::string(forKey), *value);
    }
    return true;
  });
}

void UserDefaults::set(const std::optional<URL>& value, std::string_view forKey) {
  if (!value) {
    removeObjectForKey(forKey);
    return;
  }
  set(PropertyList(value->isFileURL() ? value->path() : value->absoluteString()), forKey);
}

void UserDefaults::set(std::string_view value, std::string_view forKey) {
  set(PropertyList(std::string(value)), forKey);
}
void UserDefaults::set(const char* value, std::string_view forKey) {
  if (!value) {
    removeObjectForKey(forKey);
    return;
  }
  set(PropertyList(std::string(value)), forKey);
}
void UserDefaults::set(const std::string& value, std::string_view forKey) {
  set(PropertyList(value), forKey);
}
void UserDefaults::set(std::int64_t value, std::string_view forKey) {
  set(PropertyList(value), forKey);
}
void UserDefaults::set(int value, std::string_view forKey) {
  set(PropertyList(value), forKey);
}
void UserDefaults::set(float value, std::string_view forKey) {
  set(PropertyList(value), forKey);
}
void UserDefaults::set(double value, std::string_view forKey) {
  set(PropertyList(value), forKey);
}
void UserDefaults::set(bool value, std::string_view forKey) {
  set(PropertyList(value), forKey);
}

void UserDefaults::removeObjectForKey(std::string_view key) {
  domain_->write([&](PropertyList::Dictionary& values) {
    auto it = values.find(key);
    if (it == values.end())
      return false;
    values.erase(it);
    return true;
  });
}

// ---- storage -------------------------------------------------------------------------------

void UserDefaults::relocateStorage(std::optional<std::string> folder) {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  r.folder = folder ? *folder : defaultStorageFolder();
  for (auto& [name, domain] : r.domains)
    domain->relocate(r.folder);
}

std::string UserDefaults::storageFolder() {
  Registry& r = registry();
  std::lock_guard lock(r.mutex);
  return r.folder;
}

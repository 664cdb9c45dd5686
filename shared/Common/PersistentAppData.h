// The process-wide settings store: typed values by key in the application's own user defaults,
// in the app-group suite that both deliverables can address, or in a combined view of the two
// (the standard object with the suite on its search list: reads find the application's value,
// else the suite's; writes go to the application's domain). Values outlast the process.
// Rectangles travel as dictionaries of four 32-bit floats. [any]
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "CoreGraphics/CGGeometry.h"
#include "Foundation/PropertyList.h"
#include "Foundation/URL.h"
#include "Foundation/UserDefaults.h"

// The app-group suite's name.
inline constexpr std::string_view sharedContainer = "group.com.quillfeld.audio";

// The toolkit's extensions of the user-defaults type; both are made anew on every call.
namespace UserDefaultsExtension {
// A new object for the suite `sharedContainer`; a private in-memory object when the platform
// refuses the suite. [any]
std::shared_ptr<UserDefaults> shared();
// The standard object after the suite was added to its search list (again). [any]
std::shared_ptr<UserDefaults> combined();
}  // namespace UserDefaultsExtension

class PersistentAppData {
 public:
  enum class Storage : int { defaults = 0, shared = 1, combined = 2 };
  // Storage(rawValue:): nullopt for any value other than 0, 1 and 2.
  static std::optional<Storage> storage(int rawValue);
  static int rawValue(Storage storage) { return static_cast<int>(storage); }

  // The instance made by the first call, exactly once. [any]
  static PersistentAppData& sharedInstance();

  // Takes the standard object, a new suite object and the combined object, in that order. [any]
  PersistentAppData();
  virtual ~PersistentAppData();

  virtual void setString(std::string_view key, std::string_view value, Storage _for = Storage::defaults);
  virtual std::optional<std::string> getString(std::string_view key, Storage from = Storage::defaults);
  virtual void setInteger(std::string_view key, std::int64_t value, Storage _for = Storage::defaults);
  virtual std::int64_t getInteger(std::string_view key, Storage from = Storage::defaults);
  virtual void setFloat(std::string_view key, float value, Storage _for = Storage::defaults);
  virtual float getFloat(std::string_view key, Storage from = Storage::defaults);
  virtual void setBool(std::string_view key, bool value, Storage _for = Storage::defaults);
  virtual bool getBool(std::string_view key, Storage from = Storage::defaults);
  // An absent URL or value removes the key.
  virtual void setURL(std::string_view key, const std::optional<URL>& value,
                      Storage _for = Storage::defaults);
  virtual std::optional<URL> getUrl(std::string_view key, Storage from = Storage::defaults);
  virtual void setObject(std::string_view key, const std::optional<PropertyList>& value,
                         Storage _for = Storage::defaults);
  virtual std::optional<PropertyList> getObject(std::string_view key, Storage from = Storage::defaults);
  // Prints the standard, the suite's and the combined entries on the calling thread.
  virtual void dumpout();

  // "left", "top", "width", "height" of the standardised rectangle, each as a 32-bit float.
  static std::map<std::string, float> frameToDictionary(const CGRect& frame);
  // The rectangle stored under the key in the standard store as such a dictionary: missing
  // entries keep 0, 0, 100, 100; absent when there is no dictionary of numbers there.
  static std::optional<CGRect> dictionaryToFrame(std::string_view key);

  PersistentAppData(const PersistentAppData&) = delete;
  PersistentAppData& operator=(const PersistentAppData&) = delete;

 private:
  UserDefaults& store(Storage storage) const;

  std::shared_ptr<UserDefaults> defaults;
  std::shared_ptr<UserDefaults> shared;
  std::shared_ptr<UserDefaults> combined;
};

// The text that printing a property-list value shows on the platform: texts as they are, numbers
// in decimal (booleans 1 and 0), dictionaries as "{\n    key = value;\n}" with sorted keys, arrays
// as "(\n    a,\n    b\n)", data as "{length = n, bytes = 0x…}", dates in UTC. [any]
std::string describePropertyList(const PropertyList& value);

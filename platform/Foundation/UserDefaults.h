// User defaults: typed values by key in named domains that outlast the process.
//
// Each domain is one property-list file "<folder>/<domain>.plist"; the folder is
// "$XDG_CONFIG_HOME/kov/preferences" (or a test folder). The standard object's domain is named
// after the process; a suite object's domain after its suite. Every object of a domain shares one
// in-process copy of it, and a write goes to its file at once (written aside, then moved into
// place). Before each access the file's identity (inode, size, modification time) is compared
// with what was last read or written, so changes made by another process are picked up; two
// processes that write the same domain at the same moment may lose one of the writes.
//
// Reads search the object's own domain first, then the suites added with addSuite(named:), in
// the order they were added. Writes and removals go to the own domain only.
//
// A file that cannot be written leaves the value in memory (it is lost at exit); the failure is
// not reported to the caller. All members are safe to call from any thread. [any]
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/PropertyList.h"
#include "Foundation/URL.h"

class UserDefaults {
 public:
  // UserDefaults.standard: the process's own domain, the same object on every call. [any]
  static std::shared_ptr<UserDefaults> standard();
  // UserDefaults(suiteName:): a new object for the suite's domain. Null for a name that cannot
  // name a domain: empty, "NSGlobalDomain", the standard domain's own name, a name with "/" or a
  // control character, or one that starts with ".". [any]
  static std::shared_ptr<UserDefaults> make(std::string_view suiteName);
  // An object whose domain lives in memory only and belongs to it alone. [any]
  static std::shared_ptr<UserDefaults> makeVolatile();

  // Adds the suite's domain to the end of the search list (once; adding it again changes
  // nothing). Invalid names are ignored. [any]
  void addSuite(std::string_view named);
  void removeSuite(std::string_view named);

  // The value under the key along the search list; nullopt when no domain has it. [any]
  std::optional<PropertyList> objectForKey(std::string_view key) const;
  // Typed reads with the platform's conversions; a key without value gives nullopt, 0, 0.0 or
  // false. Texts read as numbers by their leading decimal number ("12abc" is 12, "abc" 0) and as
  // booleans by "YES"/"true" (any case) or a non-zero number; numbers read as texts in decimal;
  // reals read as integers truncated toward zero. [any]
  std::optional<std::string> stringForKey(std::string_view key) const;
  std::int64_t integerForKey(std::string_view key) const;
  float floatForKey(std::string_view key) const;
  double doubleForKey(std::string_view key) const;
  bool boolForKey(std::string_view key) const;
  // A file URL is stored as its path, any other URL as its text; a text that is an absolute path
  // (or starts with "~") reads as a file URL, one with a scheme as that URL. [any]
  std::optional<URL> URLForKey(std::string_view key) const;
  std::optional<PropertyList::Dictionary> dictionaryForKey(std::string_view key) const;

  // set(_:forKey:). An absent value removes the key. A value that no property-list file can hold
  // (a text or key with a NUL character, a date more than 2^31 s from 2001, nesting deeper than
  // 512) is refused: the key keeps its old value. [any]
  void set(const std::optional<PropertyList>& value, std::string_view forKey);
  void set(const std::optional<URL>& value, std::string_view forKey);
  void set(std::string_view value, std::string_view forKey);
  void set(const char* value, std::string_view forKey);  // keeps text from turning into bool
  void set(const std::string& value, std::string_view forKey);
  void set(std::int64_t value, std::string_view forKey);
  void set(int value, std::string_view forKey);
  void set(float value, std::string_view forKey);
  void set(double value, std::string_view forKey);
  void set(bool value, std::string_view forKey);
  void removeObjectForKey(std::string_view key);

  // Every key of the search list with its value; the own domain wins over the suites. [any]
  PropertyList::Dictionary dictionaryRepresentation() const;

  // The name of the own domain (the process name for the standard object). [any]
  const std::string& domainName() const { return domainName_; }
  // The name of the standard domain. [any]
  static std::string standardDomainName();

  // The folder that holds the domain files now. [any]
  static std::string storageFolder();

  struct Domain;
  UserDefaults(std::string domainName, std::shared_ptr<Domain> domain);
  ~UserDefaults();

 private:
  // Test-only entry points (Foundation/testing/FoundationTesting.h, built into the test-support
  // library) reach relocateStorage through this.
  friend struct UserDefaultsTesting;
  // Stores every domain in `folder` from now on (nullopt: the XDG location) and forgets the
  // in-process copies, so the next access of each domain reads its file, as a new process
  // would. [any; not while other threads use user defaults]
  static void relocateStorage(std::optional<std::string> folder);

  std::vector<std::shared_ptr<Domain>> searchList() const;

  std::string domainName_;
  std::shared_ptr<Domain> domain_;
  mutable std::mutex suitesMutex_;
  std::vector<std::shared_ptr<Domain>> suites_;
};

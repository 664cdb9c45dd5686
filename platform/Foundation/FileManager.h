// The file manager, over POSIX and GLib: existence tests, folder
// listings (sorted by name, so that every file system gives the same order), folder creation,
// removal and the user's standard folders (the XDG locations). Failures throw NSError in
// NSCocoaErrorDomain with the platform's file error codes (4, 256, 257, 260, 512, 513, 516, 640).
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Foundation/URL.h"

enum class SearchPathDirectory {
  documentDirectory,
  applicationSupportDirectory,
  cachesDirectory,
  libraryDirectory,
};

enum class SearchPathDomainMask : unsigned {
  userDomainMask = 1,
};

class FileManager {
 public:
  // FileManager.default. [any]
  static FileManager& defaultManager();

  // True when anything exists at the path (a file, a folder, ...); it does not ask which. [any]
  bool fileExists(std::string_view atPath) const;
  // The same, reporting through `isDirectory` whether the item is a folder. [any]
  bool fileExists(std::string_view atPath, bool* isDirectory) const;

  // The names of the folder's entries ("." and ".." left out), sorted by name (byte order).
  // Throws NSError 260 when the folder does not exist, 256 when it is no folder. [any]
  std::vector<std::string> contentsOfDirectory(std::string_view atPath) const;
  // The same as URLs inside `at`. [any]
  std::vector<URL> contentsOfDirectory(const URL& at) const;

  // Creates the folder; with `withIntermediateDirectories` also every missing parent, and an
  // existing folder is no error. Throws NSError (516 something else is in the way, 513 no
  // permission, 4 a parent is missing, 640 no space, 512 otherwise). [any]
  void createDirectory(const URL& at, bool withIntermediateDirectories) const;
  void createDirectory(std::string_view atPath, bool withIntermediateDirectories) const;

  // Removes a file or a whole folder tree. Throws NSError 4 when nothing is there. [any]
  void removeItem(const URL& at) const;
  void removeItem(std::string_view atPath) const;

  // The user's folder of that kind (documents: the XDG documents folder, else $HOME/Documents;
  // application support: $XDG_DATA_HOME; caches: $XDG_CACHE_HOME; library: $XDG_CONFIG_HOME).
  // The folder need not exist. [any]
  std::vector<URL> urls(SearchPathDirectory forDirectory, SearchPathDomainMask in) const;
  // A folder for temporary files ($TMPDIR or /tmp). [any]
  URL temporaryDirectory() const;
  // The current folder of the process. [any]
  std::string currentDirectoryPath() const;

 private:
  // Test-only entry points (Foundation/testing/FoundationTesting.h, built into the test-support
  // library) reach overrideSearchPaths through this.
  friend struct FileManagerTesting;
  // Makes urls(for:in:) answer `paths` for that kind of folder (an empty list is allowed);
  // nullopt goes back to the real locations. [main, before other threads ask]
  static void overrideSearchPaths(SearchPathDirectory directory,
                                  std::optional<std::vector<std::string>> paths);

  FileManager() = default;
};

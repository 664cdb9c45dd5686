// Test-only entry points of Foundation: where files and defaults live during a test. Built into
// platform_foundation_testing, which only tests and benchmarks link.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Foundation/FileManager.h"
#include "Foundation/UserDefaults.h"

struct FileManagerTesting {
  // Makes FileManager::urls(for:in:) answer `paths` for that kind of folder (an empty list is
  // allowed); nullopt goes back to the real locations. [main, before other threads ask]
  static void setSearchPaths(SearchPathDirectory directory, std::optional<std::vector<std::string>> paths);
};

struct UserDefaultsTesting {
  // Stores every defaults domain in `folder` from now on (nullopt: the XDG location) and forgets
  // the in-process copies, so the next access of each domain reads its file, as a new process
  // would. [any; not while other threads use user defaults]
  static void setStorageFolder(std::optional<std::string> folder);
};

#include "Foundation/testing/FoundationTesting.h"

#include <utility>

void FileManagerTesting::setSearchPaths(SearchPathDirectory directory,
                                        std::optional<std::vector<std::string>> paths) {
  FileManager::overrideSearchPaths(directory, std::move(paths));
}

void UserDefaultsTesting::setStorageFolder(std::optional<std::string> folder) {
  UserDefaults::relocateStorage(std::move(folder));
}

#include "Foundation/FileManager.h"

#include <dirent.h>
#include <errno.h>
#include <ftw.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>

#include "Foundation/internal/FileErrors.h"

namespace {

std::mutex gOverridesMutex;
std::map<SearchPathDirectory, std::vector<std::string>> gOverrides;

std::string toString(std::string_view s) {
  return std::string(s);
}

std::string homeFolder() {
  const char* home = g_getenv("HOME");
  return home && *home ? home : g_get_home_dir();
}

std::string userFolder(SearchPathDirectory directory) {
  switch (directory) {
    case SearchPathDirectory::documentDirectory: {
      // The XDG documents folder when the user configured one (GLib answers the home folder
      // itself, or nothing, when not), else ~/Documents.
      const char* documents = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
      if (documents && *documents && std::string(documents) != homeFolder())
        return documents;
      return homeFolder() + "/Documents";
    }
    case SearchPathDirectory::applicationSupportDirectory:
      return g_get_user_data_dir();
    case SearchPathDirectory::cachesDirectory:
      return g_get_user_cache_dir();
    case SearchPathDirectory::libraryDirectory:
      return g_get_user_config_dir();
  }
  return homeFolder();
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
  return ::remove(path) == 0 ? 0 : errno;
}

}  // namespace

FileManager& FileManager::defaultManager() {
  static FileManager manager;
  return manager;
}

bool FileManager::fileExists(std::string_view atPath) const {
  return fileExists(atPath, nullptr);
}

bool FileManager::fileExists(std::string_view atPath, bool* isDirectory) const {
  struct stat st {};
  const bool exists = !atPath.empty() && ::stat(toString(atPath).c_str(), &st) == 0;
  if (isDirectory)
    *isDirectory = exists && S_ISDIR(st.st_mode);
  return exists;
}

std::vector<std::string> FileManager::contentsOfDirectory(std::string_view atPath) const {
  const std::string path = toString(atPath);
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.c_str()), &::closedir);
  if (!dir)
    throw file_errors::readError(errno, path, /*isFolder=*/true);
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(dir.get())) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..")
      names.emplace_back(name);
  }
  if (errno != 0)
    throw file_errors::readError(errno, path, true);
  // Sorted, because the order of readdir differs between file systems.
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<URL> FileManager::contentsOfDirectory(const URL& at) const {
  std::vector<URL> urls;
  for (const auto& name : contentsOfDirectory(at.path()))
    urls.push_back(at.appendingPathComponent(name));
  return urls;
}

void FileManager::createDirectory(const URL& at, bool withIntermediateDirectories) const {
  if (!at.isFileURL())
    throw file_errors::unsupportedSchemeError(true);
  createDirectory(at.path(), withIntermediateDirectories);
}

void FileManager::createDirectory(std::string_view atPath, bool withIntermediateDirectories) const {
  const std::string path = toString(atPath);
  if (withIntermediateDirectories) {
    bool isDirectory = false;
    if (fileExists(path, &isDirectory)) {
      if (isDirectory)
        return;
      throw file_errors::writeError(EEXIST, path);
    }
    if (g_mkdir_with_parents(path.c_str(), 0777) != 0)
      throw file_errors::writeError(errno, path);
    return;
  }
  if (::mkdir(path.c_str(), 0777) != 0)
    throw file_errors::writeError(errno, path);
}

void FileManager::removeItem(const URL& at) const {
  if (!at.isFileURL())
    throw file_errors::unsupportedSchemeError(true);
  removeItem(at.path());
}

void FileManager::removeItem(std::string_view atPath) const {
  const std::string path = toString(atPath);
  struct stat st {};
  if (path.empty() || ::lstat(path.c_str(), &st) != 0)
    throw file_errors::removeError(ENOENT, path);
  // Children first, symbolic links removed themselves (never followed).
  const int result = ::nftw(path.c_str(), &removeEntry, 16, FTW_DEPTH | FTW_PHYS);
  if (result != 0)
    throw file_errors::removeError(result > 0 ? result : errno, path);
}

std::vector<URL> FileManager::urls(SearchPathDirectory forDirectory, SearchPathDomainMask) const {
  {
    std::lock_guard lock(gOverridesMutex);
    if (const auto it = gOverrides.find(forDirectory); it != gOverrides.end()) {
      std::vector<URL> urls;
      for (const auto& path : it->second)
        urls.push_back(URL::fileURLWithPath(path, true));
      return urls;
    }
  }
  return {URL::fileURLWithPath(userFolder(forDirectory), true)};
}

URL FileManager::temporaryDirectory() const {
  return URL::fileURLWithPath(g_get_tmp_dir(), true);
}

std::string FileManager::currentDirectoryPath() const {
  char* cwd = g_get_current_dir();
  std::string path = cwd;
  g_free(cwd);
  return path;
}

void FileManager::overrideSearchPaths(SearchPathDirectory directory,
                                      std::optional<std::vector<std::string>> paths) {
  std::lock_guard lock(gOverridesMutex);
  if (paths)
    gOverrides[directory] = std::move(*paths);
  else
    gOverrides.erase(directory);
}

// Points user defaults at a fresh folder for one test and back afterwards; the folder is removed
// on both ends. Each object gets its own folder, "<prefix>-<process id>-<n>" in the system's
// temporary folder. [main]
#pragma once

#include <unistd.h>

#include <filesystem>
#include <optional>
#include <string>

#include "Foundation/UserDefaults.h"
#include "Foundation/testing/FoundationTesting.h"

class TemporaryDefaultsFolder {
 public:
  explicit TemporaryDefaultsFolder(const std::string& prefix = "kov-defaults")
      : path_((std::filesystem::temp_directory_path() /
               (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)))
                  .string()) {
    std::filesystem::remove_all(path_);
    UserDefaultsTesting::setStorageFolder(path_);
  }
  ~TemporaryDefaultsFolder() {
    UserDefaultsTesting::setStorageFolder(std::nullopt);
    std::filesystem::remove_all(path_);
  }
  TemporaryDefaultsFolder(const TemporaryDefaultsFolder&) = delete;
  TemporaryDefaultsFolder& operator=(const TemporaryDefaultsFolder&) = delete;

  const std::string& path() const { return path_; }
  // The file that holds a domain's values.
  std::string file(const std::string& domain) const { return path_ + "/" + domain + ".plist"; }

 private:
  static inline int counter_ = 0;
  std::string path_;
};

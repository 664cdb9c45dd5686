// A folder of its own, "<prefix>-<process id>-<n>" in the system's temporary folder: made with the
// object, removed with all it holds when the object goes. [main]
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>
#include <system_error>

namespace test_support {

class TemporaryFolder {
 public:
  explicit TemporaryFolder(const std::string& prefix)
      : path_(std::filesystem::temp_directory_path() /
              (prefix + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++))) {
    std::filesystem::create_directories(path_);
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The path of `name` in the folder.
  std::string file(const std::string& name) const { return (path_ / name).string(); }

 private:
  static inline int counter_ = 0;
  std::filesystem::path path_;
};

}  // namespace test_support

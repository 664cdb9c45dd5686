// Where tests leave what a person may want to look at afterwards (pictures of panels and windows,
// screenshots, a child process's log and recording): one folder of the build tree,
// `<build>/tests/output`, whatever folder the test binary is started in. A test never writes
// into its working folder: run from a source checkout, that would be the checkout. [main]
#pragma once

#include <filesystem>
#include <string>

namespace test_support {

// The output folder, made when first asked for.
inline const std::filesystem::path& outputFolder() {
  static const std::filesystem::path folder = [] {
    std::filesystem::path path(KOV_TEST_OUTPUT_DIR);
    std::filesystem::create_directories(path);
    return path;
  }();
  return folder;
}

// The path of `name` in the output folder.
inline std::string outputFile(const std::string& name) {
  return (outputFolder() / name).string();
}

}  // namespace test_support

// GTK and GLib make the user's standard folders when they are missing and may leave them empty:
// the cache folder stands in for the runtime folder when XDG_RUNTIME_DIR is not set, the file
// chooser makes ~/.config/gtk-3.0 for its bookmarks and ~/.local/share for its recent files. A
// test that lets them do so holds one of these objects: the folders that did not exist when it
// was made are removed when it goes, if they are still empty. A folder with anything in it is
// never touched. [main]
#pragma once

#include <glib.h>

#include <filesystem>
#include <system_error>
#include <vector>

namespace test_support {

class NewEmptyUserFolders {
 public:
  NewEmptyUserFolders() {
    const std::filesystem::path config = g_get_user_config_dir(), data = g_get_user_data_dir();
    // Deepest first, so that a parent is empty by the time its turn comes.
    for (const std::filesystem::path& folder : {config / "gtk-3.0", config, data, data.parent_path(),
                                                std::filesystem::path(g_get_user_cache_dir())}) {
      std::error_code ignored;
      if (!std::filesystem::exists(folder, ignored))
        absent_.push_back(folder);
    }
  }
  ~NewEmptyUserFolders() {
    for (const auto& folder : absent_) {
      std::error_code ignored;
      if (std::filesystem::is_directory(folder, ignored) && std::filesystem::is_empty(folder, ignored))
        std::filesystem::remove(folder, ignored);
    }
  }
  NewEmptyUserFolders(const NewEmptyUserFolders&) = delete;
  NewEmptyUserFolders& operator=(const NewEmptyUserFolders&) = delete;

 private:
  std::vector<std::filesystem::path> absent_;
};

}  // namespace test_support

// What the loaded shared objects of this process are and what each needs: read from the dynamic
// loader's list (dl_iterate_phdr) and each object's dynamic section, so a test can check which
// libraries a library pulls in at load time and which modules were loaded later.
#pragma once

#include <elf.h>
#include <link.h>

#include <string>
#include <vector>

namespace loaded_libraries {

struct Object {
  std::string path;
  std::vector<std::string> needed;  // its DT_NEEDED entries, in order
};

inline std::vector<Object> all() {
  std::vector<Object> objects;
  dl_iterate_phdr(
      [](dl_phdr_info* info, size_t, void* data) -> int {
        Object object{info->dlpi_name ? info->dlpi_name : "", {}};
        for (int i = 0; i < info->dlpi_phnum; ++i) {
          if (info->dlpi_phdr[i].p_type != PT_DYNAMIC)
            continue;
          const auto* dynamic =
              reinterpret_cast<const ElfW(Dyn)*>(info->dlpi_addr + info->dlpi_phdr[i].p_vaddr);
          const char* strings = nullptr;
          for (const ElfW(Dyn)* d = dynamic; d->d_tag != DT_NULL; ++d) {
            if (d->d_tag == DT_STRTAB)  // already relocated to an address by the loader
              strings = reinterpret_cast<const char*>(d->d_un.d_ptr);
          }
          for (const ElfW(Dyn)* d = dynamic; strings && d->d_tag != DT_NULL; ++d) {
            if (d->d_tag == DT_NEEDED)
              object.needed.emplace_back(strings + d->d_un.d_val);
          }
        }
        static_cast<std::vector<Object>*>(data)->push_back(std::move(object));
        return 0;
      },
      &objects);
  return objects;
}

// The loaded object whose file name is `name` (the last path component), or nothing.
inline const Object* find(const std::vector<Object>& objects, const std::string& name) {
  for (const Object& object : objects) {
    const auto slash = object.path.rfind('/');
    if (object.path.substr(slash == std::string::npos ? 0 : slash + 1) == name)
      return &object;
  }
  return nullptr;
}

// True when one of `needed` starts with `prefix`.
inline bool needsAny(const Object& object, const std::string& prefix) {
  for (const std::string& name : object.needed) {
    if (name.rfind(prefix, 0) == 0)
      return true;
  }
  return false;
}

}  // namespace loaded_libraries

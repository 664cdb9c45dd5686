// What the loaded shared objects of this process are and what each needs: read from the dynamic
// loader's list (dl_iterate_phdr) and each object's dynamic section, so a test can check which
// libraries a library pulls in at load time and which modules were loaded later.
#pragma once

#include <elf.h>
#include <link.h>

#include <algorithm>
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

// The file names of `object` and of every loaded object it needs, directly or through others: what
// `ldd` lists for it. A needed name is matched to the loaded object of that file name.
inline std::vector<std::string> closure(const std::vector<Object>& objects, const Object& object) {
  auto fileName = [](const std::string& path) {
    const auto slash = path.rfind('/');
    return path.substr(slash == std::string::npos ? 0 : slash + 1);
  };
  std::vector<std::string> names{fileName(object.path)};
  std::vector<const Object*> pending{&object};
  while (!pending.empty()) {
    const Object* next = pending.back();
    pending.pop_back();
    for (const std::string& name : next->needed) {
      if (std::find(names.begin(), names.end(), name) != names.end())
        continue;
      names.push_back(name);
      if (const Object* loaded = find(objects, name))
        pending.push_back(loaded);
    }
  }
  return names;
}

// True when one of `names` starts with `prefix`.
inline bool anyStartsWith(const std::vector<std::string>& names, const std::string& prefix) {
  for (const std::string& name : names) {
    if (name.rfind(prefix, 0) == 0)
      return true;
  }
  return false;
}

// True when one of `needed` starts with `prefix`.
inline bool needsAny(const Object& object, const std::string& prefix) {
  return anyStartsWith(object.needed, prefix);
}

}  // namespace loaded_libraries

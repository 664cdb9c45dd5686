#include "Foundation/ModuleLoading.h"

#include <dlfcn.h>

ModuleEntry loadModuleBeside(const void* anchor, const char* fileName, const char* entry) {
  ModuleEntry result;
  result.path = fileName;
  Dl_info info{};
  if (::dladdr(anchor, &info) && info.dli_fname) {
    const std::string self = info.dli_fname;
    const auto slash = self.rfind('/');
    if (slash != std::string::npos)
      result.path = self.substr(0, slash + 1) + fileName;
  }
  void* module = ::dlopen(result.path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  result.symbol = module ? ::dlsym(module, entry) : nullptr;
  if (!result.symbol) {
    const char* why = ::dlerror();
    result.problem = why ? why : "no entry";
  }
  return result;
}

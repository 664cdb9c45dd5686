// Loading of a module that is shipped beside a shared library (in the build tree's platform
// folders, or an installed bundle's Frameworks), so that a library can put off loading a heavy
// dependency until its first use.
#pragma once

#include <string>

struct ModuleEntry {
  void* symbol = nullptr;  // the entry, or null when the module or its entry would not load
  std::string path;        // the path the module was opened from
  std::string problem;     // when there is no entry: the loader's message, or "no entry"
};

// Opens `fileName` from the folder of the shared library that holds `anchor` (by its bare name,
// found as the dynamic loader finds it, when that library's path is unknown) and looks up `entry`
// in it. The module is bound at once and never unloaded (RTLD_NODELETE): the static set-up of
// what it links must never be undone. Not locked: a caller that loads once keeps the result in a
// static. [any]
ModuleEntry loadModuleBeside(const void* anchor, const char* fileName, const char* entry);

// The text of a macro's value: an entry named by a macro (its definition shared with the module
// that exports it) is looked up as KOV_MODULE_SYMBOL_NAME(ENTRY_MACRO).
#define KOV_MODULE_SYMBOL_NAME_(x) #x
#define KOV_MODULE_SYMBOL_NAME(x) KOV_MODULE_SYMBOL_NAME_(x)

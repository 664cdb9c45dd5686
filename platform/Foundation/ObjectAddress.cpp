#include "Foundation/ObjectAddress.h"

#include <cstdint>
#include <cstdio>

std::string describeAddress(const void* address) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%016llx",
                (unsigned long long)reinterpret_cast<std::uintptr_t>(address));
  return text;
}

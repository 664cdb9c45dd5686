#include "Foundation/ProcessInfo.h"

#include <errno.h>
#include <glib.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>

ProcessInfo& ProcessInfo::processInfo() {
  static ProcessInfo info;
  return info;
}

std::string ProcessInfo::globallyUniqueString() const {
  static std::atomic<std::uint64_t> counter{0};
  char* uuid = g_uuid_string_random();
  char* upper = g_ascii_strup(uuid, -1);
  char tail[48];
  std::snprintf(tail, sizeof tail, "-%d-%016llX", static_cast<int>(getpid()),
                static_cast<unsigned long long>(counter.fetch_add(1, std::memory_order_relaxed) + 1));
  std::string text = std::string(upper) + tail;
  g_free(upper);
  g_free(uuid);
  return text;
}

std::string ProcessInfo::processName() const {
  return program_invocation_short_name;
}

std::int32_t ProcessInfo::processIdentifier() const {
  return static_cast<std::int32_t>(getpid());
}

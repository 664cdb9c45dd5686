// Facts about the running process: its name, its id and unique texts.
#pragma once

#include <cstdint>
#include <string>

class ProcessInfo {
 public:
  // ProcessInfo.processInfo. [any]
  static ProcessInfo& processInfo();

  // A new unique text on every call: a random UUID in capitals, the process id and a counter,
  // e.g. "0F6C0A54-2D4B-4B4E-9C3A-6B1C2E5D7F80-4711-000000000000002A". [any]
  std::string globallyUniqueString() const;
  // The executable's file name. [any]
  std::string processName() const;
  std::int32_t processIdentifier() const;

 private:
  ProcessInfo() = default;
};

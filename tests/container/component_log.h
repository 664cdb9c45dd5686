// The lines the effect manager prints when it has loaded the effect's component: its properties
// and the process's name and id, blank lines included. [any]
#pragma once

#include <string>
#include <vector>

#include "Foundation/ProcessInfo.h"

namespace container_test {

inline std::vector<std::string> loadedComponentLines() {
  const ProcessInfo& process = ProcessInfo::processInfo();
  return {"AUExtensionManager: Loaded component has following properties.",
          "",
          "Process Name: " + process.processName() + " PID: " + std::to_string(process.processIdentifier()),
          "",
          "AUExtension (",
          "type: aumf",
          "subtype: kvc1",
          "manufacturer: QFLD",
          "flags: 0x00000002",
          ")"};
}

}  // namespace container_test

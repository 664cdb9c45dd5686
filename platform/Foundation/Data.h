// Byte buffers read from and written to files: dataWithContentsOf reads a whole file, writeData
// writes one. Failures throw NSError (NSCocoaErrorDomain).
#pragma once

#include <cstdint>
#include <vector>

#include "Foundation/URL.h"

using Data = std::vector<std::uint8_t>;

enum class DataWritingOptions : unsigned {
  none = 0,
  // Written aside, then moved into place: the file is either complete or left as it was.
  atomic = 1,
  // Fails (516) when the file exists already.
  withoutOverwriting = 2,
};

// The whole content of a file URL. Throws NSError 260 (no such file), 257 (no permission), 256
// (a folder, or any other failure), 262 (no file URL). [any]
Data dataWithContentsOf(const URL& url);

// Writes the bytes to a file URL. With `atomic` a failed write leaves no partial file and the old
// file, if any, untouched. Throws NSError 4 (the folder does not exist), 513 (no permission), 640
// (no space), 516 (exists, with withoutOverwriting), 518 (no file URL), 512 otherwise. [any]
void writeData(const Data& data, const URL& to, DataWritingOptions options = DataWritingOptions::none);

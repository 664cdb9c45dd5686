#include "FourCharCode.h"

#include <array>
#include <cstdint>

#include "Foundation/StringEncoding.h"

std::string stringValue(UInt32 value) {
  // Most significant byte first, whatever the host's byte order.
  const std::array<std::uint8_t, 4> bytes = {std::uint8_t(value >> 24), std::uint8_t(value >> 16),
                                             std::uint8_t(value >> 8), std::uint8_t(value)};
  return decodeMacOSRoman(bytes.data(), bytes.size()).value_or("FAIL");
}

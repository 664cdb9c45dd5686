// Text decoding of legacy 8-bit encodings (Mac OS Roman) to UTF-8.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Decodes bytes in the Mac OS Roman encoding to UTF-8. Every one of the 256 byte values stands
// for one character (0x00-0x7F as in ASCII, 0xDB the euro sign, 0xF0 the Apple logo U+F8FF), so
// the result is always present (the optional is the decoders' common form). [any]
std::optional<std::string> decodeMacOSRoman(const std::uint8_t* bytes, std::size_t count);
// The Unicode code point of one Mac OS Roman byte. [any]
char32_t macOSRomanCodePoint(std::uint8_t byte);

// Four-character codes (component types, subtypes, manufacturers) as text.
#pragma once

#include <string>

#include "AudioToolbox/CoreAudioTypes.h"

// The code's four bytes, most significant first, decoded as Mac OS Roman text ("aumf" for
// 0x61756D66); "FAIL" when the bytes do not decode. Pure. [any]
std::string stringValue(UInt32 value);

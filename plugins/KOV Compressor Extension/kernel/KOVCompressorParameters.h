// The effect's twelve parameters as data: the one definition that the parameter tree, the state
// dictionary, the editor's controls and the tests read. Values are normalised 32-bit floats; the
// mode is an index (0 dual, 1 linked, 2 mid-side, 3 mid-side linked); bypass, audition and the
// final limiter are booleans stored as 0 or 1.
#pragma once

#include <array>
#include <cstdio>
#include <string>
#include <string_view>

#include "AudioToolbox/CoreAudioTypes.h"

struct KOVParameterInfo {
  AUParameterAddress address;
  std::string_view identifier;
  std::string_view name;
  AUValue minValue;
  AUValue maxValue;
  AudioUnitParameterUnit unit;
  AUValue defaultValue;
};

// Readable and writable (0xC0000000); no other flag is set.
inline constexpr AudioUnitParameterOptions kKOVParameterFlags =
    kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;

// Row i holds address i. Parameters 9 and 10 are the lower and upper edge of the side-chain
// band-pass; they share one display name.
inline constexpr std::array<KOVParameterInfo, 12> kKOVParameterTable = {{
    {0, "kCompressorAttack", "Compressor Attack", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 0.1f},
    {1, "kCompressorRelease", "Compressor Release", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 0.5f},
    {2, "kCompressorThreshold", "Compressor Threshold", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 0.8f},
    {3, "kCompressorRatio", "Compressor Ratio", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 0.5f},
    {4, "kCompressorGain", "Compressor Gain", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 0.5f},
    {5, "kCompressorMix", "Compressor Mix", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 1.0f},
    {6, "kCompressorMode", "Compressor Mode", 0.0f, 3.0f, kAudioUnitParameterUnit_Indexed, 0.0f},
    {7, "kCompressorBypass", "Compressor Bypass", 0.0f, 1.0f, kAudioUnitParameterUnit_Boolean, 0.0f},
    {8, "kCompressorAudition", "Compressor Audition", 0.0f, 1.0f, kAudioUnitParameterUnit_Boolean, 0.0f},
    {9, "kCompressorInputFilterHP", "Compressor Reserved", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic, 0.6f},
    {10, "kCompressorInputFilterLP", "Compressor Reserved", 0.0f, 1.0f, kAudioUnitParameterUnit_Generic,
     1.0f},
    {11, "kCompressorFinalLimiter", "Final Limiter", 0.0f, 1.0f, kAudioUnitParameterUnit_Boolean, 1.0f},
}};

// The switch of the final limiter stage, read by the render block on every call.
inline constexpr AUParameterAddress kKOVFinalLimiterAddress = 11;

// The group that holds all twelve parameters.
inline constexpr std::string_view kKOVParameterGroupIdentifier = "kGlobalParameters";
inline constexpr std::string_view kKOVParameterGroupName = "KOV Compressor Global";

// The row of an address, or null for addresses the effect does not have. [any]
constexpr const KOVParameterInfo* kovParameterInfo(AUParameterAddress address) {
  return address < kKOVParameterTable.size() ? &kKOVParameterTable[address] : nullptr;
}

// The display text of a value: generic values with three decimals ("0.500"), the mode by its
// name, booleans as "On"/"Off". Values outside the range show what the kernel makes of them: it
// truncates the mode toward zero (so -0.5 is "dual" and 2.7 "mid-side"), treats bypass and
// audition as on when not 0 and runs the final limiter only at exactly 1.0; a mode that selects
// nothing (4, -1, NaN) is shown as a number. [any]
inline std::string kovParameterText(const KOVParameterInfo& info, AUValue value) {
  static constexpr std::array<std::string_view, 4> kModeNames = {"dual", "linked", "mid-side",
                                                                 "mid-side linked"};
  switch (info.unit) {
    case kAudioUnitParameterUnit_Boolean:
      if (info.address == kKOVFinalLimiterAddress)
        return value == 1.0f ? "On" : "Off";
      return value != 0.0f ? "On" : "Off";
    case kAudioUnitParameterUnit_Indexed:
      if (value > -1.0f && value < float(kModeNames.size())) {
        return std::string(kModeNames[std::size_t(int(value))]);
      }
      break;
    default:
      break;
  }
  char text[64];
  std::snprintf(text, sizeof text, "%.3f", double(value));
  return text;
}

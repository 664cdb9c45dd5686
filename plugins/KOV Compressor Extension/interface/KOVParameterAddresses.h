// The parameter addresses the panel shows and edits, read from the effect's parameter table by
// identifier (a misspelt identifier fails to compile). [any]
#pragma once

#include <string_view>

#include "KOVCompressorParameters.h"

namespace kov_address {

consteval int of(std::string_view identifier) {
  for (const KOVParameterInfo& row : kKOVParameterTable) {
    if (row.identifier == identifier)
      return static_cast<int>(row.address);
  }
  throw "no parameter with this identifier";
}

inline constexpr int attack = of("kCompressorAttack");
inline constexpr int release = of("kCompressorRelease");
inline constexpr int threshold = of("kCompressorThreshold");
inline constexpr int ratio = of("kCompressorRatio");
inline constexpr int gain = of("kCompressorGain");
inline constexpr int mix = of("kCompressorMix");
inline constexpr int mode = of("kCompressorMode");
inline constexpr int bypass = of("kCompressorBypass");
inline constexpr int audition = of("kCompressorAudition");

}  // namespace kov_address

// Test-only access to the effect unit's insides: the kernel adapter, the final limiter and the
// output list of the render call in progress. Built into kov_unit_testing; the effect module
// never links it.
#pragma once

#include <memory>

#include "AudioToolbox/CoreAudioTypes.h"

class AUPeakLimiter;
class KOV_Compressor_ExtensionDSPKernelAdapter;
class KOV_Compressor_Extension_AudioUnit;

struct AudioUnitTestAccess {
  static const std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter>& kernelAdapter(
      const KOV_Compressor_Extension_AudioUnit& unit);
  static const std::shared_ptr<AUPeakLimiter>& effect(const KOV_Compressor_Extension_AudioUnit& unit);
  static AudioBufferList* currentOutputData(const KOV_Compressor_Extension_AudioUnit& unit);
};

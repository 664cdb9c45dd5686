// Test-only entry points of the audio unit: its kernel adapter, its limiter and the output buffer
// list of the render in progress. Built into kov_unit_testing, which only tests link.
#pragma once

#include <memory>

#include "KOV_Compressor_Extension_AudioUnit.h"

struct KOV_Compressor_Extension_AudioUnitTesting {
  static const std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter>& kernelAdapter(
      const KOV_Compressor_Extension_AudioUnit& unit);
  static const std::shared_ptr<AUPeakLimiter>& effect(const KOV_Compressor_Extension_AudioUnit& unit);
  // The buffer list the render in progress writes to (null outside a render). [any]
  static AudioBufferList* currentOutputData(const KOV_Compressor_Extension_AudioUnit& unit);
};

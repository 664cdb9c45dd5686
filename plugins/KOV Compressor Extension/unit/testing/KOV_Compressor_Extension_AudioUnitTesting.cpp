#include "KOV_Compressor_Extension_AudioUnitTesting.h"

#include <atomic>

const std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter>&
KOV_Compressor_Extension_AudioUnitTesting::kernelAdapter(const KOV_Compressor_Extension_AudioUnit& unit) {
  return unit.kernelAdapter;
}

const std::shared_ptr<AUPeakLimiter>& KOV_Compressor_Extension_AudioUnitTesting::effect(
    const KOV_Compressor_Extension_AudioUnit& unit) {
  return unit.effect;
}

AudioBufferList* KOV_Compressor_Extension_AudioUnitTesting::currentOutputData(
    const KOV_Compressor_Extension_AudioUnit& unit) {
  return unit.currentOuputData.load(std::memory_order_relaxed);
}

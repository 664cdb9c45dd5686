#include "AudioUnitTestAccess.h"

#include "KOV_Compressor_Extension_AudioUnit.h"

const std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter>& AudioUnitTestAccess::kernelAdapter(
    const KOV_Compressor_Extension_AudioUnit& unit) {
  return unit.kernelAdapter;
}

const std::shared_ptr<AUPeakLimiter>& AudioUnitTestAccess::effect(
    const KOV_Compressor_Extension_AudioUnit& unit) {
  return unit.effect;
}

AudioBufferList* AudioUnitTestAccess::currentOutputData(const KOV_Compressor_Extension_AudioUnit& unit) {
  return unit.currentOuputData.load(std::memory_order_relaxed);
}

// Render resources, bypass, frame limit, and the render block with its final limiter stage.
#include "AudioToolbox/RenderPull.h"
#include "Foundation/NSError.h"
#include "Foundation/TextForms.h"
#include "KOVCompressorParameters.h"
#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "KOV_Compressor_Extension_AudioUnit.h"
#include "Logging.h"
#include "RealTime/RenderLines.h"
#include "RealTime/RenderScope.h"

namespace {

// Hands a block to the adapter and logs whether the host defined it.
template <typename Block, typename Hand>
void handOver(const Block& block, Hand hand, const char* name) {
  hand(block);
  if (block) {
    safeprint(std::string("AUExtension: The property '") + name + "' is defined.");
  } else {
    safeprint(std::string("AUExtension: WARNING: The property '") + name + "' is NOT defined.");
  }
}

double rateOf(const std::shared_ptr<AUAudioUnitBusArray>& busses) {
  const std::shared_ptr<AUAudioUnitBus> bus = busses ? (*busses)[0] : nullptr;
  return bus && bus->format() ? bus->format()->sampleRate() : 0.0;
}

// True when the list has buffers and every one of them has samples to work on.
bool hasData(const AudioBufferList* list) {
  return list && list->mNumberBuffers > 0 && RenderPull::holdsFrames(*list, list->mNumberBuffers, 0);
}

}  // namespace

void KOV_Compressor_Extension_AudioUnit::allocateRenderResources() {
  debugprint("AUExtension::allocateRenderResources()");
  setSamplerate();
  const NSUInteger outputCount = outputBusses()->count();
  for (NSUInteger index = 0; index < outputCount; ++index) {
    (*outputBusses())[index]->setShouldAllocateBuffer(true);
  }
  kernelAdapter->allocateRenderResources();
  // The adapter re-initialised the kernel from its own 48 kHz bus: give it the host's rate
  // again, and reset it so that the detector coefficients are recomputed for that rate.
  setSamplerate();
  kernelAdapter->reset();

  handOver(
      musicalContextBlock(), [&](const auto& b) { kernelAdapter->setAUHostMusicalContextBlock(b); },
      "musicalContextBlock");
  handOver(
      transportStateBlock(), [&](const auto& b) { kernelAdapter->setAUHostTransportStateBlock(b); },
      "transportStateBlock");
  handOver(
      scheduleMIDIEventBlock(), [&](const auto& b) { kernelAdapter->setAUScheduleMIDIEventBlock(b); },
      "scheduleMIDIEventBlock");
  kernelAdapter->setAUMIDIOutputEventBlock(MIDIOutputEventBlock());
  if (MIDIOutputEventBlock()) {
    debugprint("AUExtension: The property 'midiOutputEventBlock' is defined.");
  } else {
    debugprint("AUExtension: WARNING: The property 'midiOutputEventBlock' is NOT defined.");
  }

  const std::shared_ptr<AUAudioUnit> limiter = wrapped();
  const std::shared_ptr<AUAudioUnitBus> input = (*limiter->inputBusses())[0];
  const std::shared_ptr<AUAudioUnitBus> output = (*limiter->outputBusses())[0];
  input->setEnabled(true);
  output->setEnabled(true);
  debugprint("AUExtension: Native wrapped unit input samplerate (prior): " +
             describe(rateOf(limiter->inputBusses())) + ".");
  debugprint("AUExtension: Native wrapped unit output samplerate (prior): " +
             describe(rateOf(limiter->outputBusses())) + ".");
  try {
    // The host formats the limiter's output bus: its input takes the same format.
    input->setFormat((*outputBusses())[0]->format());
    output->setFormat((*outputBusses())[0]->format());
  } catch (const NSError& error) {
    debugprint("AUExtension: WARNING: The format could not be set to the wrapped unit: " +
               error.localizedDescription() + ".");
  }
  debugprint("AUExtension: New wrapped unit input samplerate: " + describe(rateOf(limiter->inputBusses())) +
             ".");
  debugprint("AUExtension: New wrapped unit output samplerate: " + describe(rateOf(limiter->outputBusses())) +
             ".");

  // The limiter must accept every buffer the kernel accepts.
  limiter->setMaximumFramesToRender(maximumFramesToRender());
  limiter->allocateRenderResources();

  effect->setAttackTime(0.1);
  effect->setDecayTime(0.1);
  effect->setPreGain(-0.01);
}

void KOV_Compressor_Extension_AudioUnit::deallocateRenderResources() {
  debugprint("AUExtension::deallocateRenderResources()");
  kernelAdapter->deallocateRenderResources();
  wrapped()->deallocateRenderResources();
}

void KOV_Compressor_Extension_AudioUnit::reset() {
  debugprint("AUExtension::reset()");
  kernelAdapter->reset();
  wrapped()->reset();
}

AUAudioFrameCount KOV_Compressor_Extension_AudioUnit::maximumFramesToRender() const {
  return AUAudioUnit::maximumFramesToRender();
}

void KOV_Compressor_Extension_AudioUnit::setMaximumFramesToRender(AUAudioFrameCount frames) {
  AUAudioUnit::setMaximumFramesToRender(frames);
  const AUAudioFrameCount stored = AUAudioUnit::maximumFramesToRender();
  debugprint("AUExtension::maximumFramesToRender (set): " + describe(unsigned(stored)));
  kernelAdapter->setMaximumFramesToRender(stored);
  wrapped()->setMaximumFramesToRender(stored);
}

bool KOV_Compressor_Extension_AudioUnit::shouldBypassEffect() const {
  return AUAudioUnit::shouldBypassEffect();
}

void KOV_Compressor_Extension_AudioUnit::setShouldBypassEffect(bool bypass) {
  AUAudioUnit::setShouldBypassEffect(bypass);
  debugprint("AUExtension::shouldBypassEffect (did set)");
  const bool stored = AUAudioUnit::shouldBypassEffect();
  kernelAdapter->setBypass(stored);
  wrapped()->setShouldBypassEffect(stored);
}

// ---- Render block ----------------------------------------------------------------------------

AURenderPullInputBlock KOV_Compressor_Extension_AudioUnit::renderPullInputBlock() {
  // Points the limiter's input buffers at the output buffers of the call in progress, so the
  // limiter reads the kernel's output and writes its own result over it. Copies no samples.
  std::shared_ptr<AUAudioUnit> keep = weak_from_this().lock();
  return [keep = std::move(keep), unit = this](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                               AUAudioFrameCount, NSInteger,
                                               AudioBufferList* inputData) -> AUAudioUnitStatus {
    const AudioBufferList* output = unit->currentOuputData.load(std::memory_order_relaxed);
    if (output && inputData)
      RenderPull::shareBuffers(*inputData, *output);
    return noErr;
  };
}

AUInternalRenderBlock KOV_Compressor_Extension_AudioUnit::internalRenderBlock() {
  std::shared_ptr<KOV_Compressor_ExtensionDSPKernelAdapter> adapter = kernelAdapter;
  AUInternalRenderBlock limiterBlock = wrapped()->internalRenderBlock();
  auto pullInput = std::make_shared<const AURenderPullInputBlock>(renderPullInputBlock());
  // Shared once here, so that every render call hands the adapter the same block without
  // copying it (the adapter takes it over without lock or allocation).
  AUMIDIOutputEventBlock midiBlock = MIDIOutputEventBlock();
  std::shared_ptr<const AUMIDIOutputEventBlock> midiOutput;
  if (midiBlock)
    midiOutput = std::make_shared<const AUMIDIOutputEventBlock>(std::move(midiBlock));
  std::shared_ptr<AUAudioUnit> keep = weak_from_this().lock();

  return [keep = std::move(keep), unit = this, adapter = std::move(adapter),
          limiterBlock = std::move(limiterBlock), pullInput = std::move(pullInput),
          midiOutput = std::move(midiOutput)](
             AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
             AUAudioFrameCount frameCount, NSInteger outputBusNumber, AudioBufferList* outputData,
             const AURenderEvent* realtimeEventListHead,
             const AURenderPullInputBlock* pullInputBlock) -> AUAudioUnitStatus {
    const RenderScope scope;
    if (outputBusNumber > 0)
      return kAudioUnitErr_NoConnection;
    unit->currentOuputData.store(outputData, std::memory_order_relaxed);
    if (midiOutput)
      adapter->handOverAUMIDIOutputEventBlock(midiOutput);

    AUAudioUnitStatus status = adapter->render(actionFlags, timestamp, frameCount, outputBusNumber,
                                               outputData, realtimeEventListHead, pullInputBlock);
    if (status != noErr)
      RenderLines::pushFormatted("AUExtension::ERROR: We have a problem with the kernel! %d", int(status));

    if (adapter->getParameterEx(std::int32_t(kKOVFinalLimiterAddress)) == 1.0f) {
      // After a failed kernel stage an in-place request may still have no samples to limit.
      if (limiterBlock && hasData(outputData)) {
        const AUAudioUnitStatus limiterStatus =
            limiterBlock(actionFlags, timestamp, frameCount, 0, outputData, nullptr, pullInput.get());
        if (limiterStatus != noErr) {
          RenderLines::pushFormatted("AUExtension::ERROR: We have a problem with the wrapped unit! %d",
                                     int(limiterStatus));
        }
      }
      status = noErr;
    }
    return status;
  };
}

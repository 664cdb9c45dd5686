#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"

#include <algorithm>

#include "AudioToolbox/RenderPull.h"
#include "Foundation/Print.h"
#include "RealTime/RenderScope.h"

#include "SDO.h"

namespace {
// This unit is one of the two that build the string library's static objects at start-up (see
// SDO.h: the library's counters stand at 4 only with both). Naming them here keeps that visible
// and keeps the include from looking unused.
[[maybe_unused]] const SDO::CString* const kStringLibraryObjects[] = {&SDO::invalid, &SDO::empty};

// Largest input buffer the adapter allocates, in frames (a frame limit set beyond it is
// still honoured: longer render calls are refused because they exceed the buffer).
constexpr AUAudioFrameCount kMaxAllocatedFrames = 1u << 20;
}  // namespace

KOV_Compressor_ExtensionDSPKernelAdapter::KOV_Compressor_ExtensionDSPKernelAdapter() {
  // The kernel's parameter lines from render events go through the render-line queue.
  LogLines::attachRenderLinePrinter();
  std::shared_ptr<AVAudioFormat> format = AVAudioFormat::makeStandard(48000.0, 2);
  _kernel.init(static_cast<int>(format->channelCount()), format->sampleRate());
  _inputBus.init(format, 2);
  _outputBus = AUAudioUnitBus::make(format);
  if (_outputBus)
    _outputBus->setMaximumChannelCount(2);
}

void KOV_Compressor_ExtensionDSPKernelAdapter::setParameter(AUParameter* parameter, AUValue value) {
  if (parameter)
    _kernel.setParameter(parameter->address(), value);
}

AUValue KOV_Compressor_ExtensionDSPKernelAdapter::valueForParameter(AUParameter* parameter) const {
  return parameter ? _kernel.getParameter(parameter->address()) : 0.0f;
}

void KOV_Compressor_ExtensionDSPKernelAdapter::setParameterEx(std::int32_t address, AUValue value) {
  // Sign extension makes a negative address huge, which the kernel ignores.
  _kernel.setParameter(static_cast<AUParameterAddress>(static_cast<std::int64_t>(address)), value);
}

AUValue KOV_Compressor_ExtensionDSPKernelAdapter::getParameterEx(std::int32_t address) const {
  return _kernel.getParameter(static_cast<AUParameterAddress>(static_cast<std::int64_t>(address)));
}

AUAudioFrameCount KOV_Compressor_ExtensionDSPKernelAdapter::maximumFramesToRender() const {
  return static_cast<AUAudioFrameCount>(_kernel.getMaximumFramesToRender());
}

void KOV_Compressor_ExtensionDSPKernelAdapter::setMaximumFramesToRender(AUAudioFrameCount frames) {
  _kernel.setMaximumFramesToRender(static_cast<std::int32_t>(frames));
}

void KOV_Compressor_ExtensionDSPKernelAdapter::allocateRenderResources() {
  _outputEventBlock.collect();
  _inputBus.allocateRenderResources(std::min(maximumFramesToRender(), kMaxAllocatedFrames));
  std::shared_ptr<AVAudioFormat> format = _outputBus ? _outputBus->format() : nullptr;
  if (format)
    _kernel.init(static_cast<int>(format->channelCount()), format->sampleRate());
  _kernel.reset();
}

void KOV_Compressor_ExtensionDSPKernelAdapter::deallocateRenderResources() {
  _outputEventBlock.collect();
  _inputBus.deallocateRenderResources();
}

void KOV_Compressor_ExtensionDSPKernelAdapter::reset() {
  _kernel.reset();
}

void KOV_Compressor_ExtensionDSPKernelAdapter::setAUMIDIOutputEventBlock(AUMIDIOutputEventBlock block) {
  _outputEventBlock.collect();
  std::shared_ptr<const AUMIDIOutputEventBlock> shared;
  if (block)
    shared = std::make_shared<const AUMIDIOutputEventBlock>(std::move(block));
  _outputEventBlock.set(shared);
  _outputEventBlock.collect();
}

void KOV_Compressor_ExtensionDSPKernelAdapter::handOverAUMIDIOutputEventBlock(
    const std::shared_ptr<const AUMIDIOutputEventBlock>& block) {
  _outputEventBlock.set(block);
}

AUAudioUnitStatus KOV_Compressor_ExtensionDSPKernelAdapter::renderWith(
    const AudioTimeStamp* timestamp, AUAudioFrameCount frameCount, AudioBufferList* outputData,
    const AURenderEvent* events, const AURenderPullInputBlock* pullInputBlock, bool alwaysPull,
    const AUMIDIOutputEventBlock* midiOut) {
  if (frameCount > maximumFramesToRender())
    return kAudioUnitErr_TooManyFramesToProcess;
  const bool havePull = pullInputBlock && *pullInputBlock;
  // The render block always pulls: without a pull block that is -10876, whatever else holds.
  if (alwaysPull && !havePull)
    return kAudioUnitErr_NoConnection;
  // Before allocation (or after deallocation) there is no input buffer to pull into.
  if (!_inputBus.mutableAudioBufferList)
    return kAudioUnitErr_Uninitialized;
  // The frame limit may have been raised after allocation: never run past the buffer.
  if (frameCount > _inputBus.maxFrames)
    return kAudioUnitErr_TooManyFramesToProcess;

  if (havePull) {
    AudioUnitRenderActionFlags pullFlags = 0;
    const AUAudioUnitStatus status =
        _inputBus.pullInput(&pullFlags, timestamp, frameCount, 0, pullInputBlock);
    if (status != noErr)
      return status;
  }

  AudioBufferList* inputData = _inputBus.mutableAudioBufferList;
  if (!outputData)
    return alwaysPull ? kAudio_ParamError : noErr;

  // No data pointer in the first output buffer: process in place in the input buffer.
  RenderPull::renderInPlaceIfAsked(*outputData, *inputData);
  if (!RenderPull::holdsFrames(*outputData, 2, 0))
    return kAudio_ParamError;

  _kernel.setBuffers(inputData, outputData);
  _kernel.processWithEvents(timestamp, frameCount, events, midiOut);
  return noErr;
}

AUAudioUnitStatus KOV_Compressor_ExtensionDSPKernelAdapter::render(
    AudioUnitRenderActionFlags* /*actionFlags*/, const AudioTimeStamp* timestamp,
    AUAudioFrameCount frameCount, NSInteger /*outputBusNumber*/, AudioBufferList* outputData,
    const AURenderEvent* realtimeEventListHead, const AURenderPullInputBlock* pullInputBlock) {
  const RenderScope scope;
  const AUMIDIOutputEventBlock* midiOut = _outputEventBlock.acquire();
  return renderWith(timestamp, frameCount, outputData, realtimeEventListHead, pullInputBlock, false, midiOut);
}

AUInternalRenderBlock KOV_Compressor_ExtensionDSPKernelAdapter::internalRenderBlock() {
  std::shared_ptr<const AUMIDIOutputEventBlock> midiOut = _outputEventBlock.current();
  return [this, midiOut](AudioUnitRenderActionFlags* /*actionFlags*/, const AudioTimeStamp* timestamp,
                         AUAudioFrameCount frameCount, NSInteger /*outputBusNumber*/,
                         AudioBufferList* outputData, const AURenderEvent* realtimeEventListHead,
                         const AURenderPullInputBlock* pullInputBlock) -> AUAudioUnitStatus {
    const RenderScope scope;
    return renderWith(timestamp, frameCount, outputData, realtimeEventListHead, pullInputBlock, true,
                      midiOut.get());
  };
}

AUAudioUnitStatus KOV_Compressor_ExtensionDSPKernelAdapter::render2(AUAudioFrameCount frameCount,
                                                                    AudioBufferList* outputData) {
  _kernel.setBuffers(_inputBus.mutableAudioBufferList, outputData);
  _kernel.process2(frameCount, 0);
  return noErr;
}

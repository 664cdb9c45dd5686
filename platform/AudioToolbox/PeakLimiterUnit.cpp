#include "AudioToolbox/internal/PeakLimiterUnit.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "AudioToolbox/AudioComponent.h"
#include "AudioToolbox/internal/PeakLimiterDSP.h"
#include "AudioToolbox/RenderPull.h"
#include "Foundation/NSError.h"
#include "RealTime/RenderScope.h"

// What the render block shares with the unit. The unit writes the plain members while
// allocating, when hosts do not render, and publishes them with `allocated` (release); the
// render block reads them after seeing `allocated` (acquire).
struct PeakLimiterUnit::RenderState {
  struct FreeSamples {
    void operator()(float* p) const { std::free(p); }
  };
  PeakLimiterDSP limiter;
  std::atomic<bool> allocated{false};
  std::atomic<bool> bypass{false};
  // Set by `reset` on the host's thread; the render thread clears the limiter at its next call,
  // so a reset while rendering never touches the limiter's state under the render thread.
  std::atomic<bool> resetRequested{false};
  AUAudioFrameCount maximumFrames = 0;
  UInt32 channels = 2;
  // channels * maximumFrames samples, made at allocation (zeroed by the system, so memory is
  // used only as far as the pulls reach).
  std::unique_ptr<float[], FreeSamples> inputStorage;
  StackAudioBufferList<2> inputList;  // handed to the pull block on every call
  bool wasBypassed = false;           // [render]
};

namespace {

constexpr AudioUnitParameterOptions kReadWrite =
    kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;

std::shared_ptr<AUParameter> makeParameter(const char* identifier, const char* name,
                                           AUParameterAddress address, AUValue min, AUValue max,
                                           AudioUnitParameterUnit unit, AUValue value) {
  auto parameter = AUParameterTree::createParameterWithIdentifier(
      identifier, name, address, min, max, unit, std::nullopt, kReadWrite, std::nullopt, std::nullopt);
  parameter->setValue(value);
  return parameter;
}

void setLimiterParameter(PeakLimiterDSP& limiter, AUParameterAddress address, AUValue value) {
  switch (address) {
    case PeakLimiterUnit::kAttackTime:
      limiter.setAttackTime(value);
      break;
    case PeakLimiterUnit::kDecayTime:
      limiter.setDecayTime(value);
      break;
    case PeakLimiterUnit::kPreGain:
      limiter.setPreGain(value);
      break;
    default:
      break;
  }
}

AUValue limiterParameter(const PeakLimiterDSP& limiter, AUParameterAddress address) {
  switch (address) {
    case PeakLimiterUnit::kAttackTime:
      return limiter.attackTime();
    case PeakLimiterUnit::kDecayTime:
      return limiter.decayTime();
    case PeakLimiterUnit::kPreGain:
      return limiter.preGain();
    default:
      return 0.0f;
  }
}

float* samplesOf(const AudioBuffer& buffer) {
  return static_cast<float*>(buffer.mData);
}

}  // namespace

PeakLimiterUnit::PeakLimiterUnit(const AudioComponentDescription& componentDescription,
                                 AudioComponentInstantiationOptions options)
    : AUAudioUnit(componentDescription, options), state_(std::make_shared<RenderState>()) {
  auto format = AVAudioFormat::makeStandard(kDefaultSampleRate, 2);
  inputBusses_ = std::make_shared<AUAudioUnitBusArray>(AUAudioUnitBusType::input,
                                                       std::vector{std::make_shared<AUAudioUnitBus>(format)});
  outputBusses_ = std::make_shared<AUAudioUnitBusArray>(
      AUAudioUnitBusType::output, std::vector{std::make_shared<AUAudioUnitBus>(format)});
  state_->limiter.allocate(kDefaultSampleRate);

  auto tree = AUParameterTree::createTreeWithChildren({
      makeParameter("attackTime", "Attack Time", kAttackTime, PeakLimiterDSP::kMinAttackTime,
                    PeakLimiterDSP::kMaxAttackTime, kAudioUnitParameterUnit_Seconds,
                    PeakLimiterDSP::kDefaultAttackTime),
      makeParameter("decayTime", "Decay Time", kDecayTime, PeakLimiterDSP::kMinDecayTime,
                    PeakLimiterDSP::kMaxDecayTime, kAudioUnitParameterUnit_Seconds,
                    PeakLimiterDSP::kDefaultDecayTime),
      makeParameter("preGain", "Pre-Gain", kPreGain, PeakLimiterDSP::kMinPreGain, PeakLimiterDSP::kMaxPreGain,
                    kAudioUnitParameterUnit_Decibels, PeakLimiterDSP::kDefaultPreGain),
  });
  // The limiter holds the values in use (limited to their ranges); the tree passes sets on
  // and reads back from it. The callbacks hold the state, not the unit.
  std::weak_ptr<RenderState> weakState = state_;
  tree->setImplementorValueObserver([weakState](AUParameter* parameter, AUValue value) {
    if (auto state = weakState.lock())
      setLimiterParameter(state->limiter, parameter->address(), value);
  });
  tree->setImplementorValueProvider([weakState](AUParameter* parameter) -> AUValue {
    auto state = weakState.lock();
    return state ? limiterParameter(state->limiter, parameter->address()) : 0.0f;
  });
  setParameterTree(std::move(tree));
}

PeakLimiterUnit::~PeakLimiterUnit() = default;

void PeakLimiterUnit::allocateRenderResources() {
  // Unallocated until this allocation succeeds: a failed one leaves nothing to render with.
  RenderState& state = *state_;
  state.allocated.store(false, std::memory_order_relaxed);
  AUAudioUnit::allocateRenderResources();
  const auto input = (*inputBusses_)[0]->format(), output = (*outputBusses_)[0]->format();
  if (!input || !output || input->sampleRate() != output->sampleRate() ||
      input->channelCount() != output->channelCount() || output->channelCount() > 2) {
    AUAudioUnit::deallocateRenderResources();
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_FormatNotSupported,
                  "The peak limiter needs its input and output at one sample rate and channel count.");
  }
  const AUAudioFrameCount frames = maximumFramesToRender();
  // A buffer's byte size is a 32-bit count.
  if (std::uint64_t(frames) * sizeof(float) > std::numeric_limits<UInt32>::max()) {
    AUAudioUnit::deallocateRenderResources();
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_TooManyFramesToProcess,
                  "The peak limiter cannot render that many frames at once.");
  }
  state.inputStorage.reset(
      static_cast<float*>(std::calloc(std::size_t(output->channelCount()) * frames, sizeof(float))));
  if (!state.inputStorage) {
    AUAudioUnit::deallocateRenderResources();
    throw NSError(NSOSStatusErrorDomain, kAudioUnitErr_FailedInitialization,
                  "The peak limiter could not get memory for its input.");
  }
  state.maximumFrames = frames;
  state.channels = output->channelCount();
  state.limiter.allocate(output->sampleRate());
  state.resetRequested.store(false, std::memory_order_relaxed);
  state.wasBypassed = false;
  state.allocated.store(true, std::memory_order_release);
}

void PeakLimiterUnit::deallocateRenderResources() {
  state_->allocated.store(false, std::memory_order_relaxed);
  state_->inputStorage.reset();
  AUAudioUnit::deallocateRenderResources();
}

void PeakLimiterUnit::reset() {
  state_->resetRequested.store(true, std::memory_order_release);
}

void PeakLimiterUnit::setShouldBypassEffect(bool bypass) {
  AUAudioUnit::setShouldBypassEffect(bypass);
  state_->bypass.store(bypass, std::memory_order_relaxed);
}

std::optional<std::vector<NSInteger>> PeakLimiterUnit::channelCapabilities() {
  return std::vector<NSInteger>{1, 1, 2, 2};
}

double PeakLimiterUnit::latency() {
  if (state_->allocated.load(std::memory_order_relaxed))
    return state_->limiter.latencySeconds();
  const auto format = (*outputBusses_)[0]->format();
  PeakLimiterDSP probe;
  probe.allocate(format ? format->sampleRate() : kDefaultSampleRate);
  return probe.latencySeconds();
}

AUInternalRenderBlock PeakLimiterUnit::internalRenderBlock() {
  // [render] Holds the state only, so a host may keep the block beyond the unit.
  return [state = state_](AudioUnitRenderActionFlags* actionFlags, const AudioTimeStamp* timestamp,
                          AUAudioFrameCount frameCount, NSInteger outputBusNumber,
                          AudioBufferList* outputData, const AURenderEvent* realtimeEventListHead,
                          const AURenderPullInputBlock* pullInputBlock) -> AUAudioUnitStatus {
    const RenderScope scope;
    RenderState& s = *state;
    if (outputBusNumber != 0)
      return kAudioUnitErr_InvalidElement;
    if (!s.allocated.load(std::memory_order_acquire))
      return kAudioUnitErr_Uninitialized;
    if (frameCount > s.maximumFrames)
      return kAudioUnitErr_TooManyFramesToProcess;
    if (!outputData || outputData->mNumberBuffers == 0)
      return kAudio_ParamError;
    if (!pullInputBlock || !*pullInputBlock)
      return kAudioUnitErr_NoConnection;

    // Parameter events apply from the start of this call (the limiter reads its parameters
    // once per call).
    for (const AURenderEvent* event = realtimeEventListHead; event; event = event->head.next) {
      const auto type = event->head.eventType;
      if (type == AURenderEventParameter || type == AURenderEventParameterRamp)
        setLimiterParameter(s.limiter, event->parameter.parameterAddress, event->parameter.value);
    }

    const UInt32 bytes = frameCount * UInt32(sizeof(float));
    AudioBufferList* input = s.inputList.list();
    RenderPull::pointAtStorage(*input, s.inputStorage.get(), s.channels, s.maximumFrames, bytes);
    AudioUnitRenderActionFlags pullFlags = 0;
    const AUAudioUnitStatus pulled = RenderPull::pull(pullInputBlock, actionFlags ? actionFlags : &pullFlags,
                                                      timestamp, frameCount, 0, input);
    if (pulled != noErr)
      return pulled;

    // The pulled buffers (the pull block may have pointed them elsewhere) must hold the frames,
    // and so must the output buffers unless they are pointed at the input.
    const UInt32 inputs = std::min<UInt32>(input->mNumberBuffers, 2);
    if (inputs == 0 || !RenderPull::holdsFrames(*input, 2, bytes))
      return kAudio_ParamError;
    const bool inPlace = RenderPull::renderInPlaceIfAsked(*outputData, *input);
    if (!RenderPull::holdsFrames(*outputData, 2, inPlace ? 0 : bytes))
      return kAudio_ParamError;
    const UInt32 outputs = std::min<UInt32>(outputData->mNumberBuffers, 2);
    for (UInt32 c = 0; c < outputs; ++c)
      outputData->mBuffers[c].mDataByteSize = bytes;

    const float* inLeft = samplesOf(input->mBuffers[0]);
    const float* inRight = samplesOf(input->mBuffers[inputs - 1]);
    float* outLeft = samplesOf(outputData->mBuffers[0]);
    float* outRight = samplesOf(outputData->mBuffers[outputs - 1]);
    const bool stereo = inputs == 2 && outputs == 2;
    if (!stereo)
      inRight = inLeft;  // one channel in or out: limit the first, mono

    if (s.resetRequested.load(std::memory_order_relaxed) &&
        s.resetRequested.exchange(false, std::memory_order_acquire))
      s.limiter.reset();
    if (s.bypass.load(std::memory_order_relaxed)) {
      if (outLeft != inLeft)
        std::memmove(outLeft, inLeft, bytes);
      if (stereo && outRight != inRight)
        std::memmove(outRight, inRight, bytes);
      s.wasBypassed = true;
    } else {
      // Leaving bypass: the delay line holds audio from before it; start from silence.
      if (s.wasBypassed)
        s.limiter.reset();
      s.wasBypassed = false;
      s.limiter.process(inLeft, inRight, outLeft, stereo ? outRight : outLeft, frameCount);
    }
    if (!stereo && outputs == 2 && outRight != outLeft)
      std::memcpy(outRight, outLeft, bytes);
    return noErr;
  };
}

void registerSystemPeakLimiter() {
  AudioComponentRegisterSystemEffect(
      PeakLimiterUnit::kComponentDescription, PeakLimiterUnit::kComponentName,
      PeakLimiterUnit::kComponentVersion,
      [](const AudioComponentDescription& desc, AudioComponentInstantiationOptions options)
          -> std::shared_ptr<AUAudioUnit> { return std::make_shared<PeakLimiterUnit>(desc, options); });
}

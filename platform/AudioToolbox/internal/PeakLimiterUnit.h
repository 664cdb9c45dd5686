// The platform's system peak limiter effect ('aufx', 'lmtr', 'appl', "Apple: AUPeakLimiter"):
// an audio unit around PeakLimiterDSP with one input and one output bus (mono or stereo,
// 32-bit float, non-interleaved, 8 kHz to 192 kHz; both buses at one rate and channel count)
// and three parameters on the global scope, element 0:
//   0 attack time (s, 0.001..0.03, default 0.012), 1 decay time (s, 0.001..0.06, default
//   0.024), 2 pre-gain (dB, -40..40, default 0).
// Values outside a range are limited when they reach the limiter; reading a parameter gives
// the value in use.
//
// Rendering pulls the input through the host's pull block into the unit's own buffers (or
// wherever the pull block points them) and limits it into the output buffers; when the first
// output buffer has null data, the output is pointed at the input buffers (in place, the rule of
// RenderPull), and another output buffer with null data is kAudio_ParamError. Input and output
// may be the same memory. A pull that leaves an input buffer without data or shorter than the frame count,
// and an output list without buffers or with a buffer too short, give kAudio_ParamError (nothing is
// rendered). The render block refuses more frames than `maximumFramesToRender` had at allocation
// (kAudioUnitErr_TooManyFramesToProcess), renders nothing before allocation
// (kAudioUnitErr_Uninitialized) and only output bus 0 exists (kAudioUnitErr_InvalidElement).
// Bypassed, it copies the input to the output without delay.
//
// Threads as AUAudioUnit: members [main], the render block [render] (no allocation, lock or
// exception). Parameters may be set from any thread; they take effect at the next render call.
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AudioToolbox/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioToolbox/AUAudioUnit.h"

class PeakLimiterUnit final : public AUAudioUnit {
 public:
  static constexpr AudioComponentDescription kComponentDescription{FourCC("aufx"), FourCC("lmtr"),
                                                                   FourCC("appl"), 0, 0};
  static constexpr const char* kComponentName = "Apple: AUPeakLimiter";
  static constexpr UInt32 kComponentVersion = 0x00010000;
  static constexpr double kDefaultSampleRate = 44100.0;

  // Parameter addresses.
  static constexpr AUParameterAddress kAttackTime = 0;
  static constexpr AUParameterAddress kDecayTime = 1;
  static constexpr AUParameterAddress kPreGain = 2;

  PeakLimiterUnit(const AudioComponentDescription& componentDescription,
                  AudioComponentInstantiationOptions options = 0);
  ~PeakLimiterUnit() override;

  // Takes the buses' formats, sizes the input buffers for `maximumFramesToRender` and clears
  // the limiter. Throws NSError (kAudioUnitErr_FormatNotSupported) when the two buses differ
  // in rate or channel count, kAudioUnitErr_TooManyFramesToProcess when a buffer of
  // `maximumFramesToRender` samples would not fit a 32-bit byte size (2^30 frames or more),
  // kAudioUnitErr_FailedInitialization when the memory cannot be had, and what the base throws.
  void allocateRenderResources() override;
  void deallocateRenderResources() override;
  // Clears the limiter's delay line and gain state: at the start of the next render call, on
  // the render thread, so that a reset while rendering is safe.
  void reset() override;
  AUInternalRenderBlock internalRenderBlock() override;

  std::shared_ptr<AUAudioUnitBusArray> inputBusses() override { return inputBusses_; }
  std::shared_ptr<AUAudioUnitBusArray> outputBusses() override { return outputBusses_; }
  void setShouldBypassEffect(bool bypass) override;

  bool canProcessInPlace() override { return true; }
  // Mono to mono and stereo to stereo: [1, 1, 2, 2].
  std::optional<std::vector<NSInteger>> channelCapabilities() override;
  // The look-ahead at the output bus's rate (at the allocated rate once allocated).
  double latency() override;
  // The delayed input still comes out after the input stops: the latency.
  double tailTime() override { return latency(); }
  std::string className() const override { return "PeakLimiterUnit"; }

 private:
  struct RenderState;

  std::shared_ptr<AUAudioUnitBusArray> inputBusses_;
  std::shared_ptr<AUAudioUnitBusArray> outputBusses_;
  std::shared_ptr<RenderState> state_;
};

// registerSystemPeakLimiter() (declared with the registry) registers this unit as a system
// effect under kComponentDescription and kComponentName.

// The effect's signal path: stores the parameters by address, routes them to the compressors
// and the side-chain band splitter, and for every stretch of a render buffer copies input to
// output, compresses the stereo output in place in one of four modes (with or without the
// band-passed key) and runs the output peak meters.
//
// Addresses: 0 attack, 1 release, 2 threshold, 3 ratio, 4 gain, 5 mix, 6 mode (0 dual,
// 1 linked, 2 mid-side, 3 mid-side linked), 7 bypass, 8 audition, 9 and 10 the band edges of
// the key (0 and 1 exactly: no key filter), 11 final limiter (stored only); 12..14 stored only.
//
// Threads: process and the event handlers are [render]. setParameter/getParameter are [any]
// (values are relaxed atomics; process reads each once per stretch). Meter getters are [any].
// init, reset, setSamplerate run while not rendering.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "AudioToolbox/CoreAudioTypes.h"
#include "BandSplitFilter3.h"
#include "Compressor2.h"
#include "DSPKernel.h"
#include "Follower.h"
#include "MidSideSplitter.h"

class KOV_Compressor_Extension_DSPKernel : public DSPKernel {
 public:
  // Parameter addresses.
  enum : AUParameterAddress {
    kCompressorAttack = 0,
    kCompressorRelease = 1,
    kCompressorThreshold = 2,
    kCompressorRatio = 3,
    kCompressorGain = 4,
    kCompressorMix = 5,
    kCompressorMode = 6,
    kCompressorBypass = 7,
    kCompressorAudition = 8,
    kCompressorInputFilterHP = 9,
    kCompressorInputFilterLP = 10,
    kCompressorFinalLimiter = 11,
  };

  static constexpr int kParameterCount = 15;  // addresses 0..14 are stored
  static constexpr AUAudioFrameCount kScratchFrames = 4096;

  KOV_Compressor_Extension_DSPKernel() = default;

  void init(int channelCount, double sampleRate);
  // Rates that are not finite and positive are ignored.
  void setSamplerate(float sampleRate);
  float getSamplerate() const { return fSamplerate.load(std::memory_order_relaxed); }
  // Clears detectors, followers and splitters; the band edges go to 0 and 1 while parameters
  // 9 and 10 keep their stored values until they are set again.
  void reset();

  // Stores the value (addresses 0..14; others ignored), prints
  // "unit received parameter : address:%llu, value:%f" and routes it. The line is written at once,
  // or on a render thread queued for the main loop (RealTime/RenderLines.h).
  void setParameter(AUParameterAddress address, AUValue value);
  AUValue getParameter(AUParameterAddress address) const;

  // [render]; the getters are [any] (relaxed atomics: they may be read while rendering).
  void setBuffers(AudioBufferList* inBufferList, AudioBufferList* outBufferList) {
    inBufferListPtr.store(inBufferList, std::memory_order_relaxed);
    outBufferListPtr.store(outBufferList, std::memory_order_relaxed);
  }
  AudioBufferList* getInputs() const { return inBufferListPtr.load(std::memory_order_relaxed); }
  AudioBufferList* getOutputs() const { return outBufferListPtr.load(std::memory_order_relaxed); }

  void process(AUAudioFrameCount frameCount, AUAudioFrameCount bufferOffset) override;
  void process2(AUAudioFrameCount, AUAudioFrameCount) override {}
  void setParameterAutomated(AUParameterAddress address, AUValue value, AUEventSampleTime) override {
    setParameter(address, value);
  }
  void handleMIDIEvent(const AUMIDIEvent& midiEvent) override;

  std::int32_t getMaximumFramesToRender() const { return maxFrames.load(std::memory_order_relaxed); }
  void setMaximumFramesToRender(std::int32_t frames) { maxFrames.store(frames, std::memory_order_relaxed); }
  bool getBypassed() const { return bBypass.load(std::memory_order_relaxed); }
  void setBypassed(bool bypassed) { bBypass.store(bypassed, std::memory_order_relaxed); }

  // Meters 0..1 [any]: gain reduction of A and B (1 = none), output peak of left and right.
  float getDynamicsValue1() const { return compressor.c[0].getCompression(); }
  float getDynamicsValue2() const { return compressor.c[1].getCompression(); }
  float getPeakValue1() const { return follower[0].getPeakLimited(); }
  float getPeakValue2() const { return follower[1].getPeakLimited(); }

  std::int32_t numChannels = 2;
  std::atomic<AudioBufferList*> inBufferListPtr{nullptr};
  std::atomic<AudioBufferList*> outBufferListPtr{nullptr};
  std::atomic<float> fSamplerate{48000.0f};
  std::array<std::atomic<float>, kParameterCount> fParameters{};
  std::array<Follower, 2> follower;  // left, right
  BandSplitFilter3 splitB;
  MidSideSplitter splitS;  // mid and side of the key pair
  Compressor2 compressor;  // c[0] is A, c[1] is B
  std::atomic<bool> bBypass{false};
  bool midiThru = false;
  std::atomic<std::int32_t> maxFrames{4096};

 private:
  // Compresses one stretch of at most kScratchFrames frames.
  void compress(float* left, float* right, int frames, int mode, bool sidechain);
};

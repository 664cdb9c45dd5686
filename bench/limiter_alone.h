// The system peak limiter on its own, for the engine's benchmark programs: its unit at 48 kHz
// stereo, allocated for blocks of kFrames, rendered through its render block while pulling the
// given samples from memory, looped. [main]
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "AVFoundation/AVAudioFormat.h"
#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"

template <AUAudioFrameCount kFrames>
struct LimiterAlone {
  const PCMSamples& samples;
  std::shared_ptr<AVAudioUnitEffect> node =
      std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
  AURenderBlock block;
  AURenderPullInputBlock pull;
  std::int64_t at = 0;
  std::vector<float> left = std::vector<float>(kFrames), right = std::vector<float>(kFrames);
  StackAudioBufferList<2> out;

  explicit LimiterAlone(const PCMSamples& s) : samples(s) {
    auto unit = node->auAudioUnit();
    auto format = AVAudioFormat::makeStandard(48000.0, 2);
    (*unit->inputBusses())[0]->setFormat(format);
    (*unit->outputBusses())[0]->setFormat(format);
    unit->setMaximumFramesToRender(kFrames);
    unit->allocateRenderResources();
    block = unit->renderBlock();
    pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount frames, NSInteger,
                  AudioBufferList* in) -> AUAudioUnitStatus {
      if (at + frames > samples.frames)
        at = 0;
      for (UInt32 c = 0; c < 2; ++c)
        std::memcpy(in->mBuffers[c].mData, samples.channel(c) + at, frames * sizeof(float));
      at += frames;
      return noErr;
    };
    out.mNumberBuffers = 2;
  }

  // One block into left and right.
  void render() {
    out.mBuffers[0] = AudioBuffer{1, kFrames * 4, left.data()};
    out.mBuffers[1] = AudioBuffer{1, kFrames * 4, right.data()};
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp time{};
    block(&flags, &time, kFrames, 0, out.list(), &pull);
  }
};

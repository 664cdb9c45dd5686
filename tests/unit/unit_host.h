// A small host for the audio-unit tests: makes the effect, formats the buses it sees (the
// wrapped limiter's) for a sample rate, allocates, and renders stereo signals through the
// unit's internal render block with a pull block that supplies the input. Also captures printed
// lines, the main loop drained first so that lines queued by safeprint are included.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "AVFoundation/AVAudioFormat.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Bundle.h"
#include "KOV_Compressor_Extension_AudioUnit.h"
#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "StdoutCapture.h"

namespace unittest {

// Starts capturing stdout with nothing left over from earlier work.
using stdout_capture::beginCapture;

// Prints what is queued for the main loop, stops capturing and returns the lines.
inline std::vector<std::string> endCapture(bool drain = true) {
  if (drain)
    MainLoop::runUntilIdle();
  return stdout_capture::splitLines(stdout_capture::endCapture());
}

// Runs `action` with what it prints (also through the main loop) thrown away.
template <class Action>
decltype(auto) quietly(Action&& action) {
  struct Capture {
    Capture() { beginCapture(); }
    ~Capture() { endCapture(); }
  } capture;
  return action();
}

// The lines without the kernel's per-parameter print ("unit received parameter : ...").
inline std::vector<std::string> withoutKernelLines(const std::vector<std::string>& lines) {
  std::vector<std::string> kept;
  for (const std::string& line : lines) {
    if (line.rfind("unit received parameter : ", 0) != 0)
      kept.push_back(line);
  }
  return kept;
}

inline const AudioComponentDescription kEffectDescription{FourCC("aumf"), FourCC("kvc1"), FourCC("QFLD"), 2,
                                                          0};

// The effect's own resource folder, as its bundle holds it, made the program's main bundle's
// while the object lives (the unit is linked into this program, so its bundle is the program's).
class EffectResources {
 public:
  EffectResources() { Bundle::setMainResourcePath(std::string(KOV_EFFECT_RESOURCES_DIR)); }
  ~EffectResources() { Bundle::setMainResourcePath(std::nullopt); }
  EffectResources(const EffectResources&) = delete;
  EffectResources& operator=(const EffectResources&) = delete;
};

inline std::shared_ptr<KOV_Compressor_Extension_AudioUnit> makeUnit() {
  return std::make_shared<KOV_Compressor_Extension_AudioUnit>(kEffectDescription, 0);
}

inline std::shared_ptr<KOV_Compressor_Extension_AudioUnit> quietUnit() {
  return quietly(makeUnit);
}

// A stereo signal, one vector per channel.
struct Stereo {
  std::vector<float> left, right;
  explicit Stereo(std::size_t frames = 0, float value = 0.0f) : left(frames, value), right(frames, value) {}
  std::size_t size() const { return left.size(); }
};

// Uniform noise in [-amplitude, amplitude] from a fixed seed (a 32-bit LCG).
inline Stereo noise(std::size_t frames, float amplitude, std::uint32_t seed = 1) {
  Stereo s(frames);
  for (std::size_t i = 0; i < frames; ++i) {
    seed = seed * 1664525u + 1013904223u;
    s.left[i] = amplitude * (float(seed >> 8) / 8388608.0f - 1.0f);
    seed = seed * 1664525u + 1013904223u;
    s.right[i] = amplitude * (float(seed >> 8) / 8388608.0f - 1.0f);
  }
  return s;
}

// Something like music: three tones under a slow swell, and a decaying noise burst (a drum) on
// every beat of 120 bpm; peaks near `amplitude`.
inline Stereo musicLike(std::size_t frames, double rate, float amplitude) {
  Stereo s(frames);
  const Stereo hits = noise(frames, 1.0f, 7);
  const double beat = rate / 2.0;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = double(i) / rate;
    const double swell = 0.6 + 0.4 * std::sin(2.0 * M_PI * 0.5 * t);
    const double tones = 0.3 * std::sin(2.0 * M_PI * 110.0 * t) + 0.2 * std::sin(2.0 * M_PI * 277.0 * t) +
                         0.1 * std::sin(2.0 * M_PI * 1320.0 * t);
    const double sinceBeat = std::fmod(double(i), beat) / rate;
    const double drum = std::exp(-sinceBeat * 30.0);
    s.left[i] = float(amplitude * (swell * tones + 0.4 * drum * hits.left[i]));
    s.right[i] = float(amplitude * (swell * tones * 0.8 + 0.4 * drum * hits.right[i]));
  }
  return s;
}

inline float peakOf(const Stereo& s, std::size_t from = 0) {
  float peak = 0.0f;
  for (std::size_t i = from; i < s.size(); ++i)
    peak = std::max({peak, std::fabs(s.left[i]), std::fabs(s.right[i])});
  return peak;
}

// Parameter events of one render call, linked in time order.
class EventList {
 public:
  void add(AUEventSampleTime time, AUParameterAddress address, AUValue value) {
    AURenderEvent event{};
    event.parameter.eventSampleTime = time;
    event.parameter.eventType = AURenderEventParameter;
    event.parameter.parameterAddress = address;
    event.parameter.value = value;
    events_.push_back(event);
  }
  const AURenderEvent* head() {
    for (std::size_t i = 0; i < events_.size(); ++i) {
      events_[i].head.next = i + 1 < events_.size() ? &events_[i + 1] : nullptr;
    }
    return events_.empty() ? nullptr : &events_[0];
  }

 private:
  std::vector<AURenderEvent> events_;
};

// The pull side of a host: input for the next render call, copied into the unit's input list.
struct InputSource {
  const float* left = nullptr;
  const float* right = nullptr;
  AUAudioUnitStatus status = noErr;  // what the pull reports; not 0: nothing is copied
  int pulls = 0;

  AURenderPullInputBlock block() {
    return [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount frames, NSInteger,
                  AudioBufferList* input) -> AUAudioUnitStatus {
      ++pulls;
      if (status != noErr)
        return status;
      const float* sources[2] = {left, right};
      for (UInt32 b = 0; b < std::min<UInt32>(input->mNumberBuffers, 2); ++b) {
        std::copy(sources[b], sources[b] + frames, static_cast<float*>(input->mBuffers[b].mData));
      }
      return noErr;
    };
  }
};

// Two output buffers over `frames` frames of `output` from `position`.
inline StackAudioBufferList<2> outputList(Stereo& output, std::size_t position, AUAudioFrameCount frames) {
  StackAudioBufferList<2> list;
  list.mBuffers[0] = {1, UInt32(frames * sizeof(float)), output.left.data() + position};
  list.mBuffers[1] = {1, UInt32(frames * sizeof(float)), output.right.data() + position};
  return list;
}

using Settings = std::vector<std::pair<std::int32_t, float>>;  // (address, value) pairs

// The host: the unit with its buses at `rate`, allocated, and its render block.
class Host {
 public:
  explicit Host(double rate, AUAudioFrameCount maxFrames = 4096, bool allocate = true) : unit(makeUnit()) {
    auto format = AVAudioFormat::makeStandard(rate, 2);
    (*unit->inputBusses())[0]->setFormat(format);
    (*unit->outputBusses())[0]->setFormat(format);
    if (maxFrames != 4096)
      unit->setMaximumFramesToRender(maxFrames);
    if (allocate)
      this->allocate();
  }

  void allocate() {
    std::shared_ptr<NSError> error;
    EXPECT_TRUE(unit->allocateRenderResourcesAndReturnError(&error));
    renderBlock = unit->internalRenderBlock();
  }

  void set(const Settings& settings) {
    for (const auto& [address, value] : settings)
      unit->setParameter(address, value);
  }

  // One render call of `frames` frames from `position` of `input` into `output` (same position).
  AUAudioUnitStatus renderAt(const Stereo& input, Stereo& output, std::size_t position,
                             AUAudioFrameCount frames, const AURenderEvent* events = nullptr,
                             NSInteger bus = 0) {
    source.left = input.left.data() + position;
    source.right = input.right.data() + position;
    StackAudioBufferList<2> list = outputList(output, position, frames);
    AudioTimeStamp timestamp{};
    timestamp.mSampleTime = double(position);
    timestamp.mFlags = kAudioTimeStampSampleTimeValid;
    AudioUnitRenderActionFlags flags = 0;
    return renderBlock(&flags, &timestamp, frames, bus, list.list(), events, &pull);
  }

  std::shared_ptr<KOV_Compressor_Extension_AudioUnit> unit;
  AUInternalRenderBlock renderBlock;
  InputSource source;
  AURenderPullInputBlock pull = source.block();
};

}  // namespace unittest

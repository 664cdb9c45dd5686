// The audio engine's compiled render graph (internal to AVFoundation): a tree of sources that
// the render thread pulls from the output back to the players. Built on a control thread from
// the engine's connections, handed to the render thread whole (RenderHandOver) and freed on a
// control thread after it has been replaced.
//
// Every source writes exactly the frames asked for (at most its maxFrames) into the caller's
// planar channels. [render] for render(); everything else [control]. Rendering allocates
// nothing, takes no lock and throws nothing: all buffers, converters and blocks are made when
// the graph is built.
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AVFoundation/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <cstdint>
#include <memory>
#include <vector>

#include "AVFoundation/AVAudioPlayerNode.h"
#include "AVFoundation/internal/AudioConversion.h"
#include "AudioToolbox/AUAudioUnit.h"

namespace engine_render {

class Source {
 public:
  explicit Source(std::uint32_t channels) : channels_(channels) {}
  virtual ~Source() = default;
  std::uint32_t channels() const { return channels_; }
  virtual void render(std::uint32_t frames, float* const* out) noexcept = 0;

 private:
  std::uint32_t channels_;
};

// Planar scratch storage: `channels` runs of `frames` samples and a pointer to each.
class Scratch {
 public:
  Scratch(std::uint32_t channels, std::uint32_t frames);
  float* const* channels() const { return pointers_.data(); }

 private:
  std::vector<float> samples_;
  std::vector<float*> pointers_;
};

std::unique_ptr<Source> makeSilence(std::uint32_t channels);
std::unique_ptr<Source> makePlayer(std::shared_ptr<AVAudioPlayerNode::Renderer> renderer,
                                   std::uint32_t channels);
// An audio unit pulled through its render block; its input pulled from `upstream` (silence
// when null). The unit is allocated for `maxFrames` by the caller.
std::unique_ptr<Source> makeUnit(std::shared_ptr<AUAudioUnit> unit, std::unique_ptr<Source> upstream,
                                 std::uint32_t inputChannels, std::uint32_t outputChannels,
                                 std::uint32_t maxFrames);
// Sums its inputs (all of `channels` channels).
std::unique_ptr<Source> makeMixer(std::vector<std::unique_ptr<Source>> inputs, std::uint32_t channels,
                                  std::uint32_t maxFrames);

// Converts a source's channel count and rate to another's: builds the upstream for the frame
// count it will be asked for. Null when libswresample refuses.
class SourceFactory {
 public:
  virtual ~SourceFactory() = default;
  virtual std::unique_ptr<Source> make(std::uint32_t maxFrames) = 0;
};
std::unique_ptr<Source> makeConverter(SourceFactory& upstream, std::uint32_t inChannels, double inRate,
                                      std::uint32_t outChannels, double outRate, std::uint32_t maxFrames);

struct RenderGraph {
  std::unique_ptr<Source> root;
  std::uint32_t channels = 2;
  std::uint32_t maxFrames = 0;
  std::vector<std::shared_ptr<AUAudioUnit>> units;  // the units this graph renders
};

}  // namespace engine_render

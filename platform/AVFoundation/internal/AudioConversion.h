// Format conversion for the audio engine: channel-count mapping and sample-rate conversion with
// libswresample, in two forms: a whole decoded file at once (off the render thread), and a
// stream that the render thread pulls block by block.
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AVFoundation/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <cstdint>
#include <memory>
#include <vector>

struct PCMSamples;
struct SwrContext;

namespace audio_conversion {

// Copies `frames` frames from `in` (inChannels) to `out` (outChannels): equal counts copy, one
// channel feeds every output channel, several channels mixed to one are averaged, otherwise
// channel c copies input c or is silent. [any, render-safe]
void mapChannels(const float* const* in, std::uint32_t inChannels, float* const* out,
                 std::uint32_t outChannels, std::uint32_t frames) noexcept;

// The samples at another rate (same channel count); the length is the input's times the ratio,
// rounded. Null when libswresample refuses. [any, not render]
std::shared_ptr<const PCMSamples> resample(const PCMSamples& samples, double rate);

// A block-wise sample-rate converter the render thread pulls: it asks its source for input
// blocks and keeps the output it did not hand out yet. Made and prepared off the render thread;
// `render` allocates nothing and takes no lock (the converter's buffers are sized beforehand by
// converting silence of the largest block it will see).
class StreamResampler {
 public:
  // Pulls `frames` input frames into the given channel pointers. [render]
  struct Source {
    virtual ~Source() = default;
    virtual void pull(std::uint32_t frames, float* const* channels) noexcept = 0;
  };

  // [control] Null when libswresample refuses the rates.
  static std::unique_ptr<StreamResampler> make(double inRate, double outRate, std::uint32_t channels,
                                               std::uint32_t maxOutFrames);
  ~StreamResampler();
  StreamResampler(const StreamResampler&) = delete;
  StreamResampler& operator=(const StreamResampler&) = delete;

  // Input frames the source is asked for at most in one pull.
  std::uint32_t maxInFrames() const { return maxIn_; }
  // Writes `frames` (at most maxOutFrames) output frames. [render]
  void render(std::uint32_t frames, float* const* out, Source& source) noexcept;

 private:
  StreamResampler() = default;
  SwrContext* swr_ = nullptr;
  double inRate_ = 0.0, outRate_ = 0.0;
  std::uint32_t channels_ = 0, maxIn_ = 0, maxOut_ = 0;
  std::vector<std::vector<float>> in_, fifo_;  // fifo_ holds `held_` frames not yet handed out
  std::vector<float*> inPointers_;
  std::vector<std::uint8_t*> fifoPointers_;
  std::uint32_t held_ = 0;
};

}  // namespace audio_conversion

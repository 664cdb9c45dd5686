#include "AVFoundation/internal/EngineRenderGraph.h"

#include <algorithm>
#include <cstring>

#include "AVFoundation/internal/AVAudioPlayerNodeRenderer.h"

namespace engine_render {

Scratch::Scratch(std::uint32_t channels, std::uint32_t frames)
    : samples_(std::size_t(channels) * frames), pointers_(channels) {
  for (std::uint32_t c = 0; c < channels; ++c)
    pointers_[c] = samples_.data() + std::size_t(c) * frames;
}

namespace {

void zero(float* const* out, std::uint32_t channels, std::uint32_t frames) noexcept {
  for (std::uint32_t c = 0; c < channels; ++c)
    std::memset(out[c], 0, frames * sizeof(float));
}

class Silence final : public Source {
 public:
  using Source::Source;
  void render(std::uint32_t frames, float* const* out) noexcept override { zero(out, channels(), frames); }
};

class Player final : public Source {
 public:
  Player(std::shared_ptr<AVAudioPlayerNode::Renderer> renderer, std::uint32_t channels)
      : Source(channels), renderer_(std::move(renderer)) {}
  void render(std::uint32_t frames, float* const* out) noexcept override {
    renderer_->render(frames, out, channels());
  }

 private:
  std::shared_ptr<AVAudioPlayerNode::Renderer> renderer_;
};

// The unit renders into the caller's channels; its pull block renders the upstream straight into
// the input buffers the unit offers (or into our scratch when it offers none).
class Unit final : public Source {
 public:
  Unit(std::shared_ptr<AUAudioUnit> unit, std::unique_ptr<Source> upstream, std::uint32_t inputChannels,
       std::uint32_t outputChannels, std::uint32_t maxFrames)
      : Source(outputChannels),
        unit_(std::move(unit)),
        block_(unit_->renderBlock()),
        upstream_(upstream ? std::move(upstream) : makeSilence(inputChannels)),
        maxFrames_(maxFrames),
        inputScratch_(std::max(inputChannels, upstream_->channels()), maxFrames),
        outputList_(outputChannels) {
    pull_ = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount frames, NSInteger,
                   AudioBufferList* input) -> AUAudioUnitStatus { return pull(frames, input); };
  }

  void render(std::uint32_t frames, float* const* out) noexcept override {
    AudioBufferList* list = outputList_.get();
    for (std::uint32_t c = 0; c < channels(); ++c)
      list->mBuffers[c] = AudioBuffer{1, frames * UInt32(sizeof(float)), out[c]};
    AudioUnitRenderActionFlags flags = 0;
    AudioTimeStamp time{};
    time.mSampleTime = double(sampleTime_);
    time.mFlags = kAudioTimeStampSampleTimeValid;
    sampleTime_ += frames;
    if (block_(&flags, &time, frames, 0, list, &pull_) != noErr) {
      zero(out, channels(), frames);
      return;
    }
    for (std::uint32_t c = 0; c < channels(); ++c)  // a unit may point the output at its own memory
      if (list->mBuffers[c].mData && list->mBuffers[c].mData != out[c])
        std::memcpy(out[c], list->mBuffers[c].mData, frames * sizeof(float));
  }

 private:
  AUAudioUnitStatus pull(AUAudioFrameCount frames, AudioBufferList* input) noexcept {
    if (frames > maxFrames_)
      return kAudioUnitErr_TooManyFramesToProcess;
    const std::uint32_t buffers = std::min<std::uint32_t>(input->mNumberBuffers, 8);
    float* to[8];
    for (std::uint32_t c = 0; c < buffers; ++c) {
      if (!input->mBuffers[c].mData)
        input->mBuffers[c].mData = inputScratch_.channels()[c];
      input->mBuffers[c].mDataByteSize = frames * UInt32(sizeof(float));
      to[c] = static_cast<float*>(input->mBuffers[c].mData);
    }
    if (buffers == upstream_->channels()) {
      upstream_->render(frames, to);
    } else {
      upstream_->render(frames, inputScratch_.channels());
      audio_conversion::mapChannels(inputScratch_.channels(), upstream_->channels(), to, buffers, frames);
    }
    return noErr;
  }

  std::shared_ptr<AUAudioUnit> unit_;
  AURenderBlock block_;
  std::unique_ptr<Source> upstream_;
  std::uint32_t maxFrames_;
  Scratch inputScratch_;
  AudioBufferListStorage outputList_;
  AURenderPullInputBlock pull_;
  std::int64_t sampleTime_ = 0;
};

class Mixer final : public Source {
 public:
  Mixer(std::vector<std::unique_ptr<Source>> inputs, std::uint32_t channels, std::uint32_t maxFrames)
      : Source(channels), inputs_(std::move(inputs)), scratch_(channels, maxFrames) {}

  void render(std::uint32_t frames, float* const* out) noexcept override {
    if (inputs_.empty()) {
      zero(out, channels(), frames);
      return;
    }
    inputs_[0]->render(frames, out);
    for (std::size_t i = 1; i < inputs_.size(); ++i) {
      inputs_[i]->render(frames, scratch_.channels());
      for (std::uint32_t c = 0; c < channels(); ++c) {
        float* o = out[c];
        const float* in = scratch_.channels()[c];
        for (std::uint32_t n = 0; n < frames; ++n)
          o[n] += in[n];
      }
    }
  }

 private:
  std::vector<std::unique_ptr<Source>> inputs_;
  Scratch scratch_;
};

// Channel mapping, then (when the rates differ) rate conversion of the mapped channels.
class Converter final : public Source, private audio_conversion::StreamResampler::Source {
 public:
  Converter(std::unique_ptr<engine_render::Source> upstream, std::uint32_t outChannels,
            std::uint32_t maxFrames, std::unique_ptr<audio_conversion::StreamResampler> resampler)
      : engine_render::Source(outChannels),
        upstream_(std::move(upstream)),
        resampler_(std::move(resampler)),
        scratch_(upstream_->channels(), resampler_ ? resampler_->maxInFrames() : maxFrames) {}

  void render(std::uint32_t frames, float* const* out) noexcept override {
    if (resampler_)
      resampler_->render(frames, out, *this);
    else
      pull(frames, out);
  }

 private:
  void pull(std::uint32_t frames, float* const* channels) noexcept override {
    upstream_->render(frames, scratch_.channels());
    audio_conversion::mapChannels(scratch_.channels(), upstream_->channels(), channels,
                                  engine_render::Source::channels(), frames);
  }

  std::unique_ptr<engine_render::Source> upstream_;
  std::unique_ptr<audio_conversion::StreamResampler> resampler_;
  Scratch scratch_;
};

}  // namespace

std::unique_ptr<Source> makeSilence(std::uint32_t channels) {
  return std::make_unique<Silence>(channels);
}

std::unique_ptr<Source> makePlayer(std::shared_ptr<AVAudioPlayerNode::Renderer> renderer,
                                   std::uint32_t channels) {
  return std::make_unique<Player>(std::move(renderer), channels);
}

std::unique_ptr<Source> makeUnit(std::shared_ptr<AUAudioUnit> unit, std::unique_ptr<Source> upstream,
                                 std::uint32_t inputChannels, std::uint32_t outputChannels,
                                 std::uint32_t maxFrames) {
  return std::make_unique<Unit>(std::move(unit), std::move(upstream), inputChannels, outputChannels,
                                maxFrames);
}

std::unique_ptr<Source> makeMixer(std::vector<std::unique_ptr<Source>> inputs, std::uint32_t channels,
                                  std::uint32_t maxFrames) {
  return std::make_unique<Mixer>(std::move(inputs), channels, maxFrames);
}

std::unique_ptr<Source> makeConverter(SourceFactory& upstream, std::uint32_t inChannels, double inRate,
                                      std::uint32_t outChannels, double outRate, std::uint32_t maxFrames) {
  if (inRate == outRate) {
    auto source = upstream.make(maxFrames);
    if (inChannels == outChannels)
      return source;
    return std::make_unique<Converter>(std::move(source), outChannels, maxFrames, nullptr);
  }
  auto resampler = audio_conversion::StreamResampler::make(inRate, outRate, outChannels, maxFrames);
  if (!resampler)
    return nullptr;
  auto source = upstream.make(resampler->maxInFrames());
  return std::make_unique<Converter>(std::move(source), outChannels, maxFrames, std::move(resampler));
}

}  // namespace engine_render

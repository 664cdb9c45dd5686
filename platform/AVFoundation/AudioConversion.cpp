#include "AVFoundation/internal/AudioConversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "AVFoundation/internal/AudioFileDecoder.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace audio_conversion {

void mapChannels(const float* const* in, std::uint32_t inChannels, float* const* out,
                 std::uint32_t outChannels, std::uint32_t frames) noexcept {
  const std::size_t bytes = std::size_t(frames) * sizeof(float);
  if (inChannels == outChannels || inChannels == 1) {
    for (std::uint32_t c = 0; c < outChannels; ++c)
      if (out[c] != in[inChannels == 1 ? 0 : c])
        std::memmove(out[c], in[inChannels == 1 ? 0 : c], bytes);
  } else if (outChannels == 1) {
    const float scale = 1.0f / float(inChannels);
    for (std::uint32_t i = 0; i < frames; ++i) {
      float sum = 0.0f;
      for (std::uint32_t c = 0; c < inChannels; ++c)
        sum += in[c][i];
      out[0][i] = sum * scale;
    }
  } else {
    for (std::uint32_t c = 0; c < outChannels; ++c) {
      if (c < inChannels)
        std::memmove(out[c], in[c], bytes);
      else
        std::memset(out[c], 0, bytes);
    }
  }
}

namespace {

SwrContext* makeSwr(double inRate, double outRate, std::uint32_t channels) {
  AVChannelLayout layout{};
  av_channel_layout_default(&layout, int(channels));
  SwrContext* swr = nullptr;
  const int result = swr_alloc_set_opts2(&swr, &layout, AV_SAMPLE_FMT_FLTP, int(std::lround(outRate)),
                                         &layout, AV_SAMPLE_FMT_FLTP, int(std::lround(inRate)), 0, nullptr);
  av_channel_layout_uninit(&layout);
  if (result < 0 || swr_init(swr) < 0) {
    swr_free(&swr);
    return nullptr;
  }
  return swr;
}

}  // namespace

std::shared_ptr<const PCMSamples> resample(const PCMSamples& samples, double rate) {
  SwrContext* swr = makeSwr(samples.sampleRate, rate, samples.channelCount);
  if (!swr)
    return nullptr;
  auto out = std::make_shared<PCMSamples>();
  out->sampleRate = rate;
  out->channelCount = samples.channelCount;
  const std::int64_t wanted = std::llround(double(samples.frames) * rate / samples.sampleRate);
  // Room for everything the converter gives, including the flushed tail.
  const std::int64_t room = swr_get_out_samples(swr, int(samples.frames)) + 64;
  std::vector<std::vector<float>> runs(samples.channelCount, std::vector<float>(std::size_t(room)));
  std::vector<std::uint8_t*> outPlanes(samples.channelCount);
  std::vector<const std::uint8_t*> inPlanes(samples.channelCount);
  for (std::uint32_t c = 0; c < samples.channelCount; ++c) {
    outPlanes[c] = reinterpret_cast<std::uint8_t*>(runs[c].data());
    inPlanes[c] = reinterpret_cast<const std::uint8_t*>(samples.channel(c));
  }
  std::int64_t made = swr_convert(swr, outPlanes.data(), int(room), inPlanes.data(), int(samples.frames));
  if (made >= 0) {
    for (std::uint32_t c = 0; c < samples.channelCount; ++c)
      outPlanes[c] = reinterpret_cast<std::uint8_t*>(runs[c].data() + made);
    const int tail = swr_convert(swr, outPlanes.data(), int(room - made), nullptr, 0);
    made = tail < 0 ? -1 : made + tail;
  }
  swr_free(&swr);
  if (made < 0)
    return nullptr;
  out->frames = wanted;
  out->allocate();  // null for no frames: nothing is copied then
  const std::size_t kept = std::size_t(std::min(made, wanted));
  for (std::uint32_t c = 0; c < samples.channelCount && wanted > 0; ++c) {
    float* channel = out->data.get() + std::size_t(c) * std::size_t(wanted);
    std::memcpy(channel, runs[c].data(), kept * sizeof(float));
    std::fill(channel + kept, channel + wanted, 0.0f);  // a converter that gave fewer frames
  }
  return out;
}

std::unique_ptr<StreamResampler> StreamResampler::make(double inRate, double outRate, std::uint32_t channels,
                                                       std::uint32_t maxOutFrames) {
  std::unique_ptr<StreamResampler> r(new StreamResampler);
  r->swr_ = makeSwr(inRate, outRate, channels);
  if (!r->swr_)
    return nullptr;
  r->inRate_ = inRate;
  r->outRate_ = outRate;
  r->channels_ = channels;
  r->maxOut_ = maxOutFrames;
  r->maxIn_ = std::uint32_t(std::ceil(double(maxOutFrames) * inRate / outRate)) + 2;
  // The fifo takes one pull's output on top of what it holds; a pull makes at most the
  // converter's buffered frames plus maxIn x ratio.
  const std::uint32_t fifoFrames =
      maxOutFrames + std::uint32_t(std::ceil(r->maxIn_ * outRate / inRate)) + 256;
  r->in_.assign(channels, std::vector<float>(r->maxIn_ * 2));
  r->fifo_.assign(channels, std::vector<float>(fifoFrames));
  r->inPointers_.resize(channels);
  r->fifoPointers_.resize(channels);
  for (std::uint32_t c = 0; c < channels; ++c)
    r->inPointers_[c] = r->in_[c].data();
  // Renders silence in the block sizes the render thread will ask for, so that libswresample
  // sizes its internal buffers now and not on the render thread; the output is dropped.
  struct Silence final : Source {
    void pull(std::uint32_t frames, float* const* channels) noexcept override {
      (void)frames;
      (void)channels;  // the input buffers are zero already
    }
  } silence;
  std::vector<std::vector<float>> sink(channels, std::vector<float>(maxOutFrames));
  std::vector<float*> sinkPointers(channels);
  for (std::uint32_t c = 0; c < channels; ++c)
    sinkPointers[c] = sink[c].data();
  for (std::uint32_t frames : {maxOutFrames, 1U, maxOutFrames / 2 + 1, maxOutFrames, maxOutFrames})
    for (int round = 0; round < 4; ++round)
      r->render(std::max(frames, 1U), sinkPointers.data(), silence);
  r->held_ = 0;
  return r;
}

StreamResampler::~StreamResampler() {
  swr_free(&swr_);
}

void StreamResampler::render(std::uint32_t frames, float* const* out, Source& source) noexcept {
  frames = std::min(frames, maxOut_);
  const std::uint32_t capacity = std::uint32_t(fifo_[0].size());
  // A pull always yields output once the converter's delay is filled; the bound only guards
  // against a converter that stops producing.
  for (int round = 0; held_ < frames && round < 16; ++round) {
    const std::uint32_t need = frames - held_;
    const std::uint32_t pull =
        std::clamp(std::uint32_t(std::ceil(double(need) * inRate_ / outRate_)) + 1, 1U, maxIn_);
    source.pull(pull, inPointers_.data());
    for (std::uint32_t c = 0; c < channels_; ++c)
      fifoPointers_[c] = reinterpret_cast<std::uint8_t*>(fifo_[c].data() + held_);
    const int made = swr_convert(
        swr_, fifoPointers_.data(), int(capacity - held_),
        const_cast<const std::uint8_t**>(reinterpret_cast<std::uint8_t**>(inPointers_.data())), int(pull));
    if (made < 0)
      break;
    held_ += std::uint32_t(made);
  }
  const std::uint32_t given = std::min(frames, held_);
  for (std::uint32_t c = 0; c < channels_; ++c) {
    std::memcpy(out[c], fifo_[c].data(), given * sizeof(float));
    std::memset(out[c] + given, 0, (frames - given) * sizeof(float));
    std::memmove(fifo_[c].data(), fifo_[c].data() + given, (held_ - given) * sizeof(float));
  }
  held_ -= given;
}

}  // namespace audio_conversion

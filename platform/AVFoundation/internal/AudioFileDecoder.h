// Decoding a whole audio file into memory with FFmpeg (libavformat, libavcodec, libswresample):
// the samples as 32-bit float, one run per channel, at the file's own rate and channel count.
//
// The length is exact where the file states it: the decoder drops what the container marks to be
// skipped (skip-samples data: the encoder's priming from an MP4 edit list, or an MP3 gapless
// header's delay and padding), and the total is cut to the stream's declared duration, which for
// AAC in MP4 comes from the edit list and excludes the encoder's end padding. A file that ends
// before its declared duration (counting what was skipped) by more than one codec frame counts
// as truncated. A duration the container only estimates (from the bit rate, as for ADTS AAC or
// MP3 without a header) is no declared one: such a file is read to its end and has the length
// that decodes.
//
// Memory: the samples are decoded into large chunks and then copied once into a buffer of the
// exact size, each chunk released as soon as it is copied, so reading holds about the decoded
// size (not a growing buffer's doubling and copies).
//
// FFmpeg's own console messages are silenced once for the process.
//
// The decoder is a module of its own (libplatform_audio_decoder.so, beside the audio library),
// loaded with the first file read: FFmpeg's format and codec libraries, and the many libraries
// they bring, are not loaded at the start of every program that links the audio library. A
// module that does not load makes every read fail (status kAudioFileUnspecifiedError).
// Threads: [any] (no render thread: it allocates and reads the disk).
#pragma once

#ifndef KOV_AUDIO_INTERNALS
#error "AVFoundation/internal/ holds the framework's own headers: link platform_audio_testing to reach them"
#endif

#include <cstdint>
#include <memory>
#include <string>

// Decoded samples of a file. Immutable once made; the render thread reads them through a shared
// pointer that a control thread keeps alive.
struct PCMSamples {
  double sampleRate = 0.0;
  std::uint32_t channelCount = 0;
  std::int64_t frames = 0;
  // Channel after channel, `frames` samples each; null when there are no samples. Allocated
  // without clearing, so that only the pages written take memory.
  std::unique_ptr<float[]> data;

  const float* channel(std::uint32_t c) const { return data.get() + std::size_t(c) * std::size_t(frames); }
  // Allocates `data` for channelCount x frames samples (unset).
  void allocate() {
    const std::size_t count = std::size_t(channelCount) * std::size_t(frames);
    data = count ? std::make_unique_for_overwrite<float[]>(count) : nullptr;
  }
};

namespace audio_file_decoder {

// Why a file cannot be read; the texts go into the error's description.
struct Failure {
  std::int64_t code;   // an audio-file status code (see AVAudioFile.h)
  std::string reason;  // "the file does not exist", ...
};

// The samples of the file at `path`, or a failure. Never throws for bad input.
std::shared_ptr<const PCMSamples> decode(const std::string& path, Failure* failure);

// The module's entry: the same as decode, with the samples into `*samples`.
#define KOV_AUDIO_DECODER_ENTRY kov_audio_file_decode
#define KOV_AUDIO_DECODER_MODULE "libplatform_audio_decoder.so"

}  // namespace audio_file_decoder

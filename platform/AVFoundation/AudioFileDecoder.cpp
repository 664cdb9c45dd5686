#include "AVFoundation/internal/AudioFileDecoder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>

#include "AVFoundation/AVAudioFile.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/log.h>
#include <libswresample/swresample.h>
}

namespace audio_file_decoder {

namespace {

// Bounds that keep a damaged header from asking for absurd memory.
constexpr int kMaxChannels = 8;
constexpr int kMaxSampleRate = 768000;
constexpr std::int64_t kMaxSamples = std::int64_t(1) << 30;  // 4 GiB of float samples

std::string ffmpegText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

struct Input {
  AVFormatContext* format = nullptr;
  AVCodecContext* codec = nullptr;
  SwrContext* resampler = nullptr;
  AVPacket* packet = av_packet_alloc();
  AVFrame* frame = av_frame_alloc();
  ~Input() {
    av_frame_free(&frame);
    av_packet_free(&packet);
    swr_free(&resampler);
    avcodec_free_context(&codec);
    avformat_close_input(&format);
  }
};

// Appends converted frames to per-channel chunks, stopping at `limit` frames in total.
//
// A chunk holds 32 MiB of address space per channel, one block per channel, allocated unset:
// the allocator maps blocks that large directly from the system, so their pages take memory only
// once written, and releasing one returns them at once (smaller blocks may stay in the
// allocator's heap after release). A converted frame never straddles two chunks; the unused end
// of a chunk is never touched. Finishing copies channel by channel and releases each block once
// copied, so at most one block more than the result is held.
class Collector {
 public:
  Collector(int channels, std::int64_t limit) : channels_(std::size_t(channels)), limit_(limit) {}

  bool add(SwrContext* resampler, const AVFrame* frame) {
    const int room = swr_get_out_samples(resampler, frame ? frame->nb_samples : 0);
    if (room < 0)
      return false;
    if (room == 0)
      return true;
    if (chunks_.empty() || chunks_.back().used + std::size_t(room) > kChunkFrames) {
      if (std::size_t(room) > kChunkFrames)
        return false;
      chunks_.emplace_back();
      for (std::size_t c = 0; c < channels_; ++c)
        chunks_.back().planes.push_back(std::make_unique_for_overwrite<float[]>(kChunkFrames));
    }
    Chunk& chunk = chunks_.back();
    std::vector<std::uint8_t*> planes(channels_);
    for (std::size_t c = 0; c < channels_; ++c)
      planes[c] = reinterpret_cast<std::uint8_t*>(chunk.planes[c].get() + chunk.used);
    const int made = swr_convert(resampler, planes.data(), room,
                                 frame ? const_cast<const std::uint8_t**>(frame->extended_data) : nullptr,
                                 frame ? frame->nb_samples : 0);
    if (made < 0)
      return false;
    chunk.used += std::size_t(made);
    frames_ += made;
    return true;
  }
  std::int64_t frames() const { return frames_; }
  bool full() const { return limit_ >= 0 && frames() >= limit_; }

  // The first `length` frames collected, in a buffer of their own; the chunks are released.
  std::shared_ptr<PCMSamples> finish(double rate, std::int64_t length) {
    auto samples = std::make_shared<PCMSamples>();
    samples->sampleRate = rate;
    samples->channelCount = std::uint32_t(channels_);
    samples->frames = length;
    samples->allocate();
    for (std::size_t c = 0; c < channels_; ++c) {
      float* out = samples->data.get() + c * std::size_t(length);
      std::size_t at = 0;
      for (Chunk& chunk : chunks_) {
        const std::size_t count = std::min(chunk.used, std::size_t(length) - at);
        if (count > 0)
          std::memcpy(out + at, chunk.planes[c].get(), count * sizeof(float));
        at += count;
        chunk.planes[c].reset();
      }
    }
    chunks_.clear();
    return samples;
  }

 private:
  static constexpr std::size_t kChunkFrames = std::size_t(1) << 23;  // per channel: 32 MiB of floats
  struct Chunk {
    std::vector<std::unique_ptr<float[]>> planes;  // one per channel, kChunkFrames each
    std::size_t used = 0;                          // frames written, the same in every plane
  };
  std::size_t channels_;
  std::int64_t limit_;
  std::vector<Chunk> chunks_;
  std::int64_t frames_ = 0;
};

std::shared_ptr<const PCMSamples> fail(Failure* failure, std::int64_t code, std::string reason) {
  if (failure)
    *failure = Failure{code, std::move(reason)};
  return nullptr;
}

// Internal to the module, so that no other definition of the loader's `decode` is bound here.
std::shared_ptr<const PCMSamples> decodeWithFFmpeg(const std::string& path, Failure* failure) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return fail(failure, kAudioFileFileNotFoundError,
                errno == ENOENT ? "the file does not exist"
                                : std::string("it cannot be read (") + std::strerror(errno) + ")");
  if (S_ISDIR(info.st_mode))
    return fail(failure, kAudioFileInvalidFileError, "it is a folder");
  if (info.st_size == 0)
    return fail(failure, kAudioFileInvalidFileError, "the file is empty");
  // A file that may not be read fails here with the reason, not later as "not audio".
  const int probe = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (probe < 0)
    return fail(failure, kAudioFileFileNotFoundError,
                std::string("it cannot be read (") + std::strerror(errno) + ")");
  ::close(probe);

  Input in;
  if (!in.packet || !in.frame)
    return fail(failure, kAudioFileUnspecifiedError, "out of memory");
  int result = avformat_open_input(&in.format, path.c_str(), nullptr, nullptr);
  if (result < 0)
    return fail(failure, kAudioFileInvalidFileError,
                "it is not an audio file or it is truncated (" + ffmpegText(result) + ")");
  result = avformat_find_stream_info(in.format, nullptr);
  if (result < 0)
    return fail(failure, kAudioFileInvalidFileError,
                "its streams cannot be read (" + ffmpegText(result) + ")");

  const AVCodec* decoder = nullptr;
  const int index = av_find_best_stream(in.format, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
  if (index < 0 || !decoder)
    return fail(failure, kAudioFileUnsupportedFileTypeError, "it has no audio stream that can be decoded");
  AVStream* stream = in.format->streams[index];
  const AVCodecParameters* parameters = stream->codecpar;
  const int channels = parameters->ch_layout.nb_channels;
  if (channels < 1 || channels > kMaxChannels || parameters->sample_rate < 1 ||
      parameters->sample_rate > kMaxSampleRate)
    return fail(failure, kAudioFileUnsupportedFileTypeError, "its audio format is not supported");

  in.codec = avcodec_alloc_context3(decoder);
  if (!in.codec || avcodec_parameters_to_context(in.codec, parameters) < 0)
    return fail(failure, kAudioFileUnspecifiedError, "the decoder cannot be set up");
  in.codec->pkt_timebase = stream->time_base;
  if ((result = avcodec_open2(in.codec, decoder, nullptr)) < 0)
    return fail(failure, kAudioFileUnsupportedFileTypeError,
                "the decoder cannot be opened (" + ffmpegText(result) + ")");

  // The stream's duration in frames: the length the file declares (-1 when it declares none).
  // A duration FFmpeg estimated (from the bit rate, or from the time stamps of the first and last
  // packets) is no declaration: such a file is read to its end.
  std::int64_t declared = -1;
  if (stream->duration != AV_NOPTS_VALUE && stream->duration > 0 &&
      in.format->duration_estimation_method == AVFMT_DURATION_FROM_STREAM)
    declared = av_rescale_q(stream->duration, stream->time_base, AVRational{1, parameters->sample_rate});
  if (declared > kMaxSamples / channels)
    return fail(failure, kAudioFileInvalidFileError, "it is too long to load");

  Collector collector(channels, declared);
  auto receiveAll = [&]() -> int {
    for (;;) {
      const int r = avcodec_receive_frame(in.codec, in.frame);
      if (r == AVERROR(EAGAIN) || r == AVERROR_EOF)
        return 0;
      if (r < 0)
        return r;
      if (in.frame->ch_layout.nb_channels != channels || in.frame->sample_rate != parameters->sample_rate)
        return AVERROR_INVALIDDATA;
      if (!in.resampler) {
        // Converts the decoder's sample layout to planar float, same rate and channel count.
        if (swr_alloc_set_opts2(&in.resampler, &in.frame->ch_layout, AV_SAMPLE_FMT_FLTP,
                                in.frame->sample_rate, &in.frame->ch_layout, AVSampleFormat(in.frame->format),
                                in.frame->sample_rate, 0, nullptr) < 0 ||
            swr_init(in.resampler) < 0)
          return AVERROR(EINVAL);
      }
      const bool added = collector.add(in.resampler, in.frame);
      av_frame_unref(in.frame);
      if (!added)
        return AVERROR(EINVAL);
      if (collector.frames() > kMaxSamples / channels)
        return AVERROR(ENOMEM);
    }
  };

  // Frames the container marks to be dropped (priming at the start, padding at the end; the
  // decoder drops them): a declared duration may count them, as an MP3 gapless header's does.
  std::int64_t skipped = 0;
  while (!collector.full()) {
    result = av_read_frame(in.format, in.packet);
    if (result == AVERROR_EOF)
      break;
    if (result < 0)
      return fail(failure, kAudioFileInvalidFileError,
                  "it is truncated or damaged (" + ffmpegText(result) + ")");
    if (in.packet->stream_index == index) {
      std::size_t size = 0;
      if (const std::uint8_t* skip = av_packet_get_side_data(in.packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
          skip && size >= 8)
        skipped += std::int64_t(AV_RL32(skip)) + std::int64_t(AV_RL32(skip + 4));
      result = avcodec_send_packet(in.codec, in.packet);
    }
    av_packet_unref(in.packet);
    if (result < 0 || (result = receiveAll()) < 0)
      return fail(failure, kAudioFileInvalidFileError,
                  "its audio data is damaged (" + ffmpegText(result) + ")");
  }
  if (!collector.full()) {
    avcodec_send_packet(in.codec, nullptr);  // drain the decoder
    if ((result = receiveAll()) < 0)
      return fail(failure, kAudioFileInvalidFileError,
                  "its audio data is damaged (" + ffmpegText(result) + ")");
  }
  if (in.resampler && !collector.full())
    collector.add(in.resampler, nullptr);

  std::int64_t length = collector.frames();
  if (declared >= 0) {
    const std::int64_t frameSize = in.codec->frame_size > 0 ? in.codec->frame_size : 2048;
    if (length + skipped + frameSize < declared)
      return fail(failure, kAudioFileInvalidFileError, "it is truncated: it ends before its declared length");
    if (length > declared)
      length = declared;  // the encoder's end padding
  }
  if (length == 0)
    return fail(failure, kAudioFileInvalidFileError, "it holds no audio");
  return collector.finish(double(parameters->sample_rate), length);
}

}  // namespace

}  // namespace audio_file_decoder

// The module's entry, found by name when the module is loaded (see AudioFileDecoderLoader.cpp).
extern "C" __attribute__((visibility("default"))) void KOV_AUDIO_DECODER_ENTRY(
    const std::string& path, audio_file_decoder::Failure* failure,
    std::shared_ptr<const PCMSamples>* samples) {
  *samples = audio_file_decoder::decodeWithFFmpeg(path, failure);
}

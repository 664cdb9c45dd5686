#include "AacFileWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace loops {

namespace {

void check(int result, const char* step, const std::string& path) {
  if (result >= 0)
    return;
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(result, text, sizeof text);
  throw AacFileWriteError(path + ": " + step + ": " + text);
}

struct OutputContext {
  AVFormatContext* format = nullptr;
  ~OutputContext() {
    if (!format)
      return;
    if (format->pb)
      avio_closep(&format->pb);
    avformat_free_context(format);
  }
};
struct CodecContext {
  AVCodecContext* codec = nullptr;
  ~CodecContext() { avcodec_free_context(&codec); }
};
struct Frame {
  AVFrame* frame = av_frame_alloc();
  ~Frame() { av_frame_free(&frame); }
};

struct Packet {
  AVPacket* packet = av_packet_alloc();
  ~Packet() { av_packet_free(&packet); }
};

// Moves every packet the encoder has ready into the file.
void drain(AVCodecContext* codec, AVFormatContext* format, AVStream* stream, AVPacket* packet,
           const std::string& path) {
  for (;;) {
    const int result = avcodec_receive_packet(codec, packet);
    if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
      return;
    check(result, "encoding", path);
    av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
    packet->stream_index = stream->index;
    check(av_interleaved_write_frame(format, packet), "writing a packet", path);
  }
}

}  // namespace

void writeAacFile(const std::string& path, const std::vector<const std::vector<float>*>& channels,
                  int sampleRate, int bitRate) {
  if (channels.empty() || channels.size() > 2)
    throw AacFileWriteError(path + ": 1 or 2 channels expected");
  const std::size_t frames = channels[0]->size();
  for (const auto* channel : channels)
    if (channel->size() != frames)
      throw AacFileWriteError(path + ": channels of different lengths");

  const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
  if (!encoder)
    throw AacFileWriteError(path + ": FFmpeg has no AAC encoder");

  OutputContext out;
  check(avformat_alloc_output_context2(&out.format, nullptr, "ipod", path.c_str()), "choosing the muxer",
        path);
  out.format->flags |= AVFMT_FLAG_BITEXACT;
  AVStream* stream = avformat_new_stream(out.format, nullptr);
  if (!stream)
    throw AacFileWriteError(path + ": no stream");

  CodecContext enc;
  enc.codec = avcodec_alloc_context3(encoder);
  if (!enc.codec)
    throw AacFileWriteError(path + ": no encoder context");
  AVCodecContext* c = enc.codec;
  c->sample_fmt = AV_SAMPLE_FMT_FLTP;
  c->sample_rate = sampleRate;
  av_channel_layout_default(&c->ch_layout, int(channels.size()));
  c->bit_rate = bitRate;
  c->time_base = AVRational{1, sampleRate};
  c->flags |= AV_CODEC_FLAG_BITEXACT;
  if (out.format->oformat->flags & AVFMT_GLOBALHEADER)
    c->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  // One thread: the encoder's output must not depend on scheduling.
  c->thread_count = 1;
  // The fast coder: about twice as fast as the default at this rate and not audibly worse here.
  av_opt_set(c->priv_data, "aac_coder", "fast", 0);
  check(avcodec_open2(c, encoder, nullptr), "opening the encoder", path);
  check(avcodec_parameters_from_context(stream->codecpar, c), "copying the parameters", path);
  stream->time_base = AVRational{1, sampleRate};

  check(avio_open(&out.format->pb, path.c_str(), AVIO_FLAG_WRITE), "opening the file", path);
  // The edit list's length is counted in the movie's time scale, 1/1000 s by default, which would
  // round the loop's length down to a whole millisecond: count it in frames instead.
  AVDictionary* options = nullptr;
  av_dict_set_int(&options, "movie_timescale", sampleRate, 0);
  const int header = avformat_write_header(out.format, &options);
  av_dict_free(&options);
  check(header, "writing the header", path);

  Frame frame;
  Packet packet;
  if (!frame.frame || !packet.packet)
    throw AacFileWriteError(path + ": out of memory");
  const std::size_t frameSize = std::size_t(c->frame_size);
  for (std::size_t at = 0; at < frames; at += frameSize) {
    const std::size_t count = std::min(frameSize, frames - at);
    av_frame_unref(frame.frame);
    frame.frame->nb_samples = int(count);
    frame.frame->format = c->sample_fmt;
    frame.frame->sample_rate = sampleRate;
    check(av_channel_layout_copy(&frame.frame->ch_layout, &c->ch_layout), "setting the frame layout", path);
    check(av_frame_get_buffer(frame.frame, 0), "allocating a frame", path);
    for (std::size_t ch = 0; ch < channels.size(); ++ch)
      std::memcpy(frame.frame->data[ch], channels[ch]->data() + at, count * sizeof(float));
    frame.frame->pts = std::int64_t(at);
    check(avcodec_send_frame(c, frame.frame), "sending a frame", path);
    drain(c, out.format, stream, packet.packet, path);
  }
  check(avcodec_send_frame(c, nullptr), "flushing the encoder", path);
  drain(c, out.format, stream, packet.packet, path);
  check(av_write_trailer(out.format), "writing the trailer", path);
}

}  // namespace loops

// Audio files: the shipped loops decode to exactly their synthesised length and match the
// synthesiser's own signal; the loop set's properties; mono AAC through FFmpeg; MP3 with its gapless
// header and ADTS AAC without a declared length; and files that are missing, empty, not audio,
// unreadable, truncated at every point or damaged, which must fail with a clean error (or decode)
// and never crash. Reading a long file within about its decoded size; resampling an empty run of
// samples. The decoder is a module of its own: the audio library does not need FFmpeg's format
// and codec libraries, and the module is loaded by the first read.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "AVFoundation/internal/AudioConversion.h"
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "AacFileWriter.h"
#include "EngineTestSupport.h"
#include "LoadedLibraries.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

using namespace engine_test;

namespace {

std::string loopPath(int n) {
  return std::string(KOV_LOOPS_DIR) + "/" + std::to_string(n) + ".m4a";
}

std::vector<char> readBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}
void writeBytes(const std::string& path, const std::vector<char>& bytes, std::size_t count) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), std::streamsize(count));
}

// The file's samples of one channel.
std::vector<float> channelOf(AVAudioFile& file, AVAudioChannelCount c) {
  auto buffer = AVAudioPCMBuffer::make(file.processingFormat(), AVAudioFrameCount(file.length()));
  file.setFramePosition(0);
  file.read(*buffer);
  return {buffer->floatChannelData()[c], buffer->floatChannelData()[c] + buffer->frameLength()};
}

// Encodes `channels` with FFmpeg's encoder `encoderName` into the container `muxerName` at
// `path` (as the ffmpeg tool would: the encoder's packets, side data included, go to the muxer
// unchanged). Returns false when this FFmpeg has no such encoder.
bool writeEncodedFile(const std::string& path, const char* muxerName, const char* encoderName,
                      const Channels& channels, int rate, int bitRate) {
  const AVCodec* encoder = avcodec_find_encoder_by_name(encoderName);
  if (!encoder)
    return false;
  AVFormatContext* format = nullptr;
  EXPECT_GE(avformat_alloc_output_context2(&format, nullptr, muxerName, path.c_str()), 0);
  AVStream* stream = avformat_new_stream(format, nullptr);
  AVCodecContext* codec = avcodec_alloc_context3(encoder);
  codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
  codec->sample_rate = rate;
  av_channel_layout_default(&codec->ch_layout, int(channels.size()));
  codec->bit_rate = bitRate;
  codec->time_base = AVRational{1, rate};
  EXPECT_EQ(avcodec_open2(codec, encoder, nullptr), 0);
  EXPECT_GE(avcodec_parameters_from_context(stream->codecpar, codec), 0);
  stream->time_base = codec->time_base;
  EXPECT_GE(avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  EXPECT_GE(avformat_write_header(format, nullptr), 0);
  AVFrame* frame = av_frame_alloc();
  AVPacket* packet = av_packet_alloc();
  auto drain = [&] {
    while (avcodec_receive_packet(codec, packet) == 0) {
      av_packet_rescale_ts(packet, codec->time_base, stream->time_base);
      packet->stream_index = stream->index;
      EXPECT_GE(av_interleaved_write_frame(format, packet), 0);
    }
  };
  const std::size_t frames = channels[0].size(), step = std::size_t(codec->frame_size);
  for (std::size_t at = 0; at < frames; at += step) {
    const std::size_t count = std::min(step, frames - at);
    av_frame_unref(frame);
    frame->nb_samples = int(count);
    frame->format = codec->sample_fmt;
    frame->sample_rate = rate;
    av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    EXPECT_EQ(av_frame_get_buffer(frame, 0), 0);
    for (std::size_t c = 0; c < channels.size(); ++c)
      std::memcpy(frame->data[c], channels[c].data() + at, count * sizeof(float));
    frame->pts = std::int64_t(at);
    EXPECT_EQ(avcodec_send_frame(codec, frame), 0);
    drain();
  }
  avcodec_send_frame(codec, nullptr);
  drain();
  EXPECT_EQ(av_write_trailer(format), 0);
  av_packet_free(&packet);
  av_frame_free(&frame);
  avcodec_free_context(&codec);
  avio_closep(&format->pb);
  avformat_free_context(format);
  return true;
}

// Runs `body` on a thread of its own without the capabilities that let root read any file, so
// that file permissions apply to it as to any user (capabilities belong to a thread; the test's
// other threads keep theirs).
void withoutReadOverride(const std::function<void()>& body) {
  std::thread([&] {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
      data[cap / 32].effective &= ~(1u << (cap % 32));
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
    body();
  }).join();
}

}  // namespace

TEST(AudioLoops, EveryRecipeIsWholeBarsOfSixToTwelveSecondsAndTheSetIsVaried) {
  std::set<double> tempos;
  std::set<float> peaks;
  for (int n = 1; n <= loops::kLoopCount; ++n) {
    SCOPED_TRACE("loop " + std::to_string(n));
    const auto r = loops::recipeFor(n);
    EXPECT_EQ(double(r.beatFrames()), loops::kSampleRate * 60.0 / r.bpm);  // a whole number of frames
    const double seconds = double(r.frames()) / loops::kSampleRate;
    EXPECT_GE(seconds, 6.0);
    EXPECT_LE(seconds, 12.0);
    tempos.insert(r.bpm);
    peaks.insert(r.peakDbfs);
  }
  EXPECT_GE(tempos.size(), 10u);
  EXPECT_EQ(*peaks.rbegin(), -0.3f);
  EXPECT_EQ(*peaks.begin(), -20.0f);
}

// Each shipped loop, decoded: exactly the synthesised length, 48 kHz stereo, about 128 kbit/s,
// and the synthesiser's signal (correlation at lag 0, the best lag, peak level near the target).
TEST(AudioLoops, ShippedLoopsDecodeToTheSynthesisedSignalAtExactLength) {
  for (int n : {1, 27, 80}) {
    SCOPED_TRACE("loop " + std::to_string(n));
    const auto recipe = loops::recipeFor(n);
    const auto signal = loops::synthesize(recipe);
    auto file = openFile(loopPath(n));
    ASSERT_TRUE(file);
    EXPECT_EQ(file->length(), recipe.frames());
    EXPECT_EQ(file->processingFormat()->sampleRate(), 48000.0);
    EXPECT_EQ(file->processingFormat()->channelCount(), 2u);
    const double kbps =
        double(std::filesystem::file_size(loopPath(n))) * 8.0 / (double(recipe.frames()) / 48000.0) / 1000.0;
    EXPECT_NEAR(kbps, 128.0, 30.0);
    const auto left = channelOf(*file, 0), right = channelOf(*file, 1);
    EXPECT_GT(correlation(left, signal.left, 0), 0.97);
    EXPECT_GT(correlation(right, signal.right, 0), 0.97);
    EXPECT_GT(correlation(left, signal.left, 0), correlation(left, signal.left, 1));
    EXPECT_GT(correlation(left, signal.left, 0), correlation(left, signal.left, -1));
    const double peakDb = 20.0 * std::log10(std::max(peak(left), peak(right)));
    EXPECT_NEAR(peakDb, recipe.peakDbfs, 2.5);  // the encoder's low-pass rounds off the sharpest clicks
  }
}

TEST(AudioLoops, SynthesisAndEncodingAreBitExact) {
  TemporaryFolder folder;
  const auto a = loops::synthesize(loops::recipeFor(5));
  const auto b = loops::synthesize(loops::recipeFor(5));
  EXPECT_TRUE(a.left == b.left && a.right == b.right);
  const std::vector<float> left(a.left.begin(), a.left.begin() + 24000),
      right(a.right.begin(), a.right.begin() + 24000);
  loops::writeAacFile(folder.file("a.m4a"), {&left, &right}, 48000, 128000);
  loops::writeAacFile(folder.file("b.m4a"), {&left, &right}, 48000, 128000);
  EXPECT_EQ(readBytes(folder.file("a.m4a")), readBytes(folder.file("b.m4a")));
  // Lengths that are no multiple of the codec's 1024-frame packets come back exact too.
  auto file = openFile(folder.file("a.m4a"));
  EXPECT_EQ(file->length(), 24000);
}

TEST(AudioFile, MonoAacDropsPrimingAndPaddingAndKeepsTheSignalAtLagZero) {
  TemporaryFolder folder;
  const auto tone = sine(440.0, 0.5, 30000, 48000.0);
  loops::writeAacFile(folder.file("m.m4a"), {&tone}, 48000, 64000);
  auto file = openFile(folder.file("m.m4a"));
  ASSERT_TRUE(file);
  EXPECT_EQ(file->length(), 30000);
  EXPECT_EQ(file->processingFormat()->channelCount(), 1u);
  EXPECT_GT(correlation(channelOf(*file, 0), tone, 0), 0.99);
}

TEST(AudioFile, UnreadableFilesFailWithTheirPathAndReason) {
  TemporaryFolder folder;
  writeBytes(folder.file("empty.m4a"), {}, 0);
  const std::string text = "this is not audio at all, just a line of text\n";
  writeBytes(folder.file("text.m4a"), std::vector<char>(text.begin(), text.end()), text.size());
  std::filesystem::create_directory(folder.file("folder.m4a"));
  const struct {
    std::string name;
    OSStatus code;
    std::string reason;
  } cases[] = {
      {"missing.m4a", kAudioFileFileNotFoundError, "the file does not exist"},
      {"empty.m4a", kAudioFileInvalidFileError, "the file is empty"},
      {"folder.m4a", kAudioFileInvalidFileError, "it is a folder"},
      {"text.m4a", kAudioFileInvalidFileError,
       "it is not an audio file or it is truncated (Invalid data found when processing input)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      AVAudioFile file(URL::fileURLWithPath(folder.file(c.name)));
      ADD_FAILURE() << "opened";
    } catch (const NSError& error) {
      EXPECT_EQ(error.domain(), NSOSStatusErrorDomain);
      EXPECT_EQ(error.code(), c.code);
      EXPECT_EQ(error.localizedDescription(),
                "The audio file '" + folder.file(c.name) + "' could not be opened: " + c.reason + ".");
    }
  }
}

// A file whose permissions forbid reading says so, whether the file itself or its folder is
// closed (the folder: the file cannot even be looked at).
TEST(AudioFile, AFileThatMayNotBeReadSaysPermissionDenied) {
  TemporaryFolder folder;
  std::filesystem::create_directory(folder.file("closed"));
  const std::string open = folder.file("locked.wav"), inClosed = folder.file("closed/a.wav");
  writeWav(open, {sine(440.0, 0.5, 4800, 48000.0)}, 48000);
  writeWav(inClosed, {sine(440.0, 0.5, 4800, 48000.0)}, 48000);
  ASSERT_EQ(::chmod(open.c_str(), 0), 0);
  ASSERT_EQ(::chmod(folder.file("closed").c_str(), 0), 0);
  withoutReadOverride([&] {
    for (const std::string& path : {open, inClosed}) {
      SCOPED_TRACE(path);
      try {
        AVAudioFile file(URL::fileURLWithPath(path));
        ADD_FAILURE() << "opened";
      } catch (const NSError& error) {
        EXPECT_EQ(error.code(), kAudioFileFileNotFoundError);
        EXPECT_EQ(
            error.localizedDescription(),
            "The audio file '" + path + "' could not be opened: it cannot be read (Permission denied).");
      }
    }
  });
  ::chmod(folder.file("closed").c_str(), 0700);
  ::chmod(open.c_str(), 0600);
  EXPECT_EQ(openFile(open)->length(), 4800);  // the same file, readable again
}

// MP3 from LAME: the file's gapless header names the encoder's delay and padding, and the reader
// drops both, so the length is exactly the frames encoded (as FFmpeg's own tool decodes it). ADTS
// AAC declares no length (FFmpeg only estimates one from the bit rate, here too long or too short
// by up to a few thousand frames): the reader keeps every frame that decodes, which is whole
// 1024-frame packets: the encoder's 1024 frames of priming plus the signal, rounded up.
TEST(AudioFile, Mp3AndAdtsFilesHaveTheLengthThatDecodes) {
  TemporaryFolder folder;
  struct Case {
    int rate;
    std::size_t channels, frames;
    int bitRate;
  };
  auto trace = [](const Case& c) {
    return std::to_string(c.rate) + " Hz, " + std::to_string(c.channels) + " channels, " +
           std::to_string(c.frames) + " frames, " + std::to_string(c.bitRate) + " bit/s";
  };
  bool mp3 = true;
  for (const Case& c :
       {Case{44100, 2, 100000, 128000}, Case{48000, 1, 30000, 128000}, Case{32000, 2, 12345, 128000},
        Case{22050, 1, 7777, 64000}, Case{48000, 2, 48000, 192000}}) {
    SCOPED_TRACE("MP3, " + trace(c));
    const auto tone = sine(440.0, 0.5, c.frames, c.rate);
    const std::string path = folder.file("a.mp3");
    if (!writeEncodedFile(path, "mp3", "libmp3lame", Channels(c.channels, tone), c.rate, c.bitRate)) {
      mp3 = false;
      break;
    }
    if (auto file = openFile(path)) {
      EXPECT_EQ(file->length(), AVAudioFramePosition(c.frames));
      EXPECT_EQ(file->processingFormat()->channelCount(), c.channels);
      EXPECT_EQ(file->processingFormat()->sampleRate(), double(c.rate));
      EXPECT_GT(correlation(channelOf(*file, 0), tone, 0), 0.99);  // no delay left at the start
    }
  }
  for (const Case& c : {Case{48000, 1, 100000, 128000}, Case{22050, 2, 100000, 128000},
                        Case{22050, 1, 30000, 64000}, Case{48000, 2, 9000, 32000}}) {
    SCOPED_TRACE("ADTS, " + trace(c));
    const std::string path = folder.file("a.aac");
    ASSERT_TRUE(writeEncodedFile(
        path, "adts", "aac", Channels(c.channels, sine(440.0, 0.5, c.frames, c.rate)), c.rate, c.bitRate));
    if (auto file = openFile(path)) {
      const std::size_t packets = (1024 + c.frames + 1023) / 1024;
      EXPECT_EQ(file->length(), AVAudioFramePosition(packets * 1024));
      EXPECT_EQ(file->processingFormat()->channelCount(), c.channels);
    }
  }
  if (!mp3)
    GTEST_SKIP() << "this FFmpeg has no MP3 encoder (libmp3lame): the MP3 cases did not run";
}

// Resampling a run of no frames gives no frames (and hands no null pointer to a copy).
TEST(AudioFile, ResamplingNoFramesGivesNoFrames) {
  PCMSamples empty;
  empty.sampleRate = 44100.0;
  empty.channelCount = 2;
  auto resampled = audio_conversion::resample(empty, 48000.0);
  ASSERT_TRUE(resampled);
  EXPECT_EQ(resampled->frames, 0);
  EXPECT_EQ(resampled->sampleRate, 48000.0);
  EXPECT_EQ(resampled->channelCount, 2u);
}

// Reading a long file holds about its decoded size, not a growing buffer's doubling and the copy
// made at the end: the process's peak resident memory (reset before reading) grows by at most
// 1.3 times the decoded samples. (Not under the address sanitizer: it keeps freed memory.)
TEST(AudioFile, ReadingALongFileHoldsAboutItsDecodedSize) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers' allocators keep freed memory";
#else
  auto kilobytes = [](const char* field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind(field, 0) == 0)
        return std::stol(line.substr(std::strlen(field)));
    return -1L;
  };
  TemporaryFolder folder;
  const std::size_t frames = 30 * 48000, channels = 8;
  {
    Channels signal(channels, sine(440.0, 0.5, frames, 48000.0));
    writeWav(folder.file("long.wav"), signal, 48000);
  }
  std::ofstream("/proc/self/clear_refs") << "5";  // resets the peak (VmHWM) to the current size
  const long before = kilobytes("VmRSS:"), peakBefore = kilobytes("VmHWM:");
  if (before < 0 || peakBefore < 0 || peakBefore > before + 1024)
    GTEST_SKIP() << "this kernel does not report or reset the peak resident size";
  audio_file_decoder::Failure failure{};
  auto samples = audio_file_decoder::decode(folder.file("long.wav"), &failure);
  ASSERT_TRUE(samples) << failure.reason;
  EXPECT_EQ(samples->frames, std::int64_t(frames));
  const double decoded = double(frames * channels * sizeof(float)) / 1024.0;
  EXPECT_LT(double(kilobytes("VmHWM:") - before), 1.3 * decoded);
  EXPECT_GT(double(kilobytes("VmRSS:") - before), 0.9 * decoded);  // the samples themselves
#endif
}

// Every truncation of a small loop and a few thousand damaged copies: each either fails with an
// error naming the file or decodes (to at most the whole length when cut); run under the
// sanitizers, nothing reads out of bounds.
TEST(AudioFile, EveryTruncationAndDamagedCopiesFailCleanly) {
  TemporaryFolder folder;
  const auto signal = loops::synthesize(loops::recipeFor(2));
  const std::vector<float> left(signal.left.begin(), signal.left.begin() + 6000);
  loops::writeAacFile(folder.file("small.m4a"), {&left}, 48000, 32000);
  const auto bytes = readBytes(folder.file("small.m4a"));
  ASSERT_GT(bytes.size(), 500u);
  const std::string path = folder.file("cut.m4a");
  auto attempt = [&](std::size_t count, const std::vector<char>& data, AVAudioFramePosition longest) -> bool {
    writeBytes(path, data, count);
    try {
      AVAudioFile file(URL::fileURLWithPath(path));
      EXPECT_GT(file.length(), 0);
      EXPECT_LE(file.length(), longest);
      return true;
    } catch (const NSError& error) {
      EXPECT_NE(error.localizedDescription().find(path), std::string::npos);
      return false;
    }
  };
  std::size_t opened = 0;
  for (std::size_t count = 0; count < bytes.size(); ++count)
    opened += attempt(count, bytes, 6000);
  // The index (moov) is written last: nearly every cut loses what a reader needs. (FFmpeg
  // still reads some files cut inside the index's last tables.)
  EXPECT_LT(opened, bytes.size() / 10);

  std::mt19937 random(14);
  std::size_t damagedOpened = 0;
  for (int copy = 0; copy < 2000; ++copy) {
    auto damaged = bytes;
    const int flips = 1 + int(random() % 8);
    for (int f = 0; f < flips; ++f)
      damaged[random() % damaged.size()] = char(random());
    damagedOpened += attempt(damaged.size(), damaged, AVAudioFramePosition(1) << 24);
  }
  EXPECT_GT(damagedOpened, 0u);  // most damage hits audio data, which still decodes
}

TEST(AudioFile, TheDecoderIsAModuleLoadedByTheFirstRead) {
  {
    SCOPED_TRACE(
        "the engine's library needs FFmpeg's resampler (the mixer's), but neither FFmpeg's"
        " format nor its codec library, nor SDL, ALSA or PulseAudio, not even through what it"
        " needs; the unit library needs none of them");
    const auto objects = loaded_libraries::all();
    const auto* engine = loaded_libraries::find(objects, "libplatform_avfoundation.so");
    ASSERT_NE(engine, nullptr);
    EXPECT_TRUE(loaded_libraries::needsAny(*engine, "libswresample"));
    const auto needed = loaded_libraries::closure(objects, *engine);
    for (const char* library : {"libavformat", "libavcodec", "libSDL2", "libasound", "libpulse"}) {
      SCOPED_TRACE(library);
      EXPECT_FALSE(loaded_libraries::anyStartsWith(needed, library));
    }
    const auto* units = loaded_libraries::find(objects, "libplatform_audiotoolbox.so");
    ASSERT_NE(units, nullptr);
    EXPECT_FALSE(loaded_libraries::needsAny(*units, "libSDL2"));
    EXPECT_FALSE(loaded_libraries::needsAny(*units, "libav"));
    EXPECT_FALSE(loaded_libraries::needsAny(*units, "libswresample"));
  }
  {
    SCOPED_TRACE("after a read the module is loaded, and it needs them");
    audio_file_decoder::Failure failure;
    const auto samples = audio_file_decoder::decode(loopPath(1), &failure);
    ASSERT_TRUE(samples) << failure.reason;
    EXPECT_GT(samples->frames, 0);
    const auto objects = loaded_libraries::all();
    const auto* decoder = loaded_libraries::find(objects, KOV_AUDIO_DECODER_MODULE);
    ASSERT_NE(decoder, nullptr);
    EXPECT_TRUE(loaded_libraries::needsAny(*decoder, "libavformat"));
    EXPECT_TRUE(loaded_libraries::needsAny(*decoder, "libavcodec"));
  }
}

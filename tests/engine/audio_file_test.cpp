// Audio files: the shipped loops decode to exactly their synthesised length and match the
// synthesiser's own signal; the loop set's properties; mono AAC through FFmpeg; and files that are missing,
// empty, not audio, truncated at every point or damaged, which must fail with a clean error (or decode) and
// never crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

#include "AacFileWriter.h"
#include "EngineTestSupport.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"

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

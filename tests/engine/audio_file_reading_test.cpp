// Audio files read exactly: a float WAV gives back every sample, read in pieces, with the file
// position following; another rate and a single channel are kept as the file has them; the
// non-throwing open hands its error out. The loop set's variety (drumless, quiet and mono loops),
// the loops of those kinds decoded to their synthesised signal, and no loop silent for more than
// a beat.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "EngineTestSupport.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"

using namespace engine_test;

namespace {

// Every channel of the file, decoded once.
Channels channelsOf(AVAudioFile& file) {
  auto buffer = AVAudioPCMBuffer::make(file.processingFormat(), AVAudioFrameCount(file.length()));
  file.setFramePosition(0);
  file.read(*buffer);
  Channels channels;
  for (AVAudioChannelCount c = 0; c < buffer->format()->channelCount(); ++c)
    channels.emplace_back(buffer->floatChannelData()[c],
                          buffer->floatChannelData()[c] + buffer->frameLength());
  return channels;
}

std::vector<float> channelOf(AVAudioFile& file, AVAudioChannelCount c) {
  return channelsOf(file)[c];
}

// The longest run of frames in which every channel is exactly zero, with the end joined to the
// start as the player repeats a loop: the silence that ends it runs on into the one that starts it.
std::size_t longestSilence(const Channels& channels) {
  const std::size_t frames = channels[0].size();
  const auto silent = [&](std::size_t n) {
    for (std::size_t c = 0; c < channels.size(); ++c)
      if (channels[c][n] != 0.0f)
        return false;
    return true;
  };
  std::size_t head = 0, tail = 0, longest = 0;
  while (head < frames && silent(head))
    ++head;
  if (head == frames)
    return frames;
  while (silent(frames - 1 - tail))
    ++tail;
  for (std::size_t n = head, run = 0; n < frames - tail; ++n) {
    run = silent(n) ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  return std::max(longest, head + tail);
}

}  // namespace

TEST(AudioFileReading, FloatWavSamplesComeBackUnchangedReadInPieces) {
  TemporaryFolder folder;
  const Channels signal = rampSignal(10007);
  auto file = wavFile(folder.file("s.wav"), signal, 48000);
  ASSERT_TRUE(file);
  EXPECT_EQ(file->length(), 10007);
  auto buffer = AVAudioPCMBuffer::make(file->processingFormat(), 4096);
  Channels read(2);
  std::vector<AVAudioFramePosition> positions;
  for (file->read(*buffer); buffer->frameLength() > 0; file->read(*buffer)) {
    for (std::size_t c = 0; c < 2; ++c)
      read[c].insert(read[c].end(), buffer->floatChannelData()[c],
                     buffer->floatChannelData()[c] + buffer->frameLength());
    positions.push_back(file->framePosition());
  }
  EXPECT_EQ(read, signal);
  // Two full pieces and the rest; the position after each read is where the next one starts.
  EXPECT_EQ(positions, (std::vector<AVAudioFramePosition>{4096, 8192, 10007}));
  {
    SCOPED_TRACE("a read from a position in the middle starts there");
    file->setFramePosition(5000);
    file->read(*buffer);
    ASSERT_EQ(buffer->frameLength(), 4096u);
    EXPECT_EQ(buffer->floatChannelData()[1][0], signal[1][5000]);
    EXPECT_EQ(file->framePosition(), 9096);
  }
}

TEST(AudioFileReading, MonoAtAnotherRateKeepsItsRateAndChannel) {
  TemporaryFolder folder;
  const auto tone = sine(441.0, 0.5, 4410, 44100.0);
  auto file = wavFile(folder.file("m.wav"), {tone}, 44100);
  ASSERT_TRUE(file);
  EXPECT_TRUE(*file->processingFormat() == *AVAudioFormat::makeStandard(44100.0, 1));
  EXPECT_FALSE(*file->processingFormat() == *AVAudioFormat::makeStandard(48000.0, 1));
  EXPECT_EQ(file->length(), 4410);
  EXPECT_EQ(channelOf(*file, 0), tone);
}

TEST(AudioFileReading, TheNonThrowingOpenHandsOutItsError) {
  TemporaryFolder folder;
  std::shared_ptr<NSError> error;
  EXPECT_FALSE(AVAudioFile::forReading(URL::fileURLWithPath(folder.file("missing.m4a")), &error));
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
  EXPECT_EQ(error->code(), kAudioFileFileNotFoundError);
  {
    SCOPED_TRACE("a file that opens leaves the error alone");
    writeWav(folder.file("a.wav"), {std::vector<float>(100, 0.25f)}, 48000);
    std::shared_ptr<NSError> none;
    const auto file = AVAudioFile::forReading(URL::fileURLWithPath(folder.file("a.wav")), &none);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->length(), 100);
    EXPECT_FALSE(none);
  }
}

TEST(AudioLoopSet, HasDrumlessQuietAndMonoLoops) {
  int drumless = 0, quiet = 0, mono = 0;
  for (int n = 1; n <= loops::kLoopCount; ++n) {
    const auto r = loops::recipeFor(n);
    drumless += r.drums == 0.0f;
    quiet += r.peakDbfs <= -20.0f;
    mono += r.width == 0.0f;
  }
  EXPECT_GE(drumless, 5);
  EXPECT_GE(quiet, 5);
  EXPECT_GE(mono, 5);
}

// Shipped loops covering each kind (drumless, quiet, mono; as few and as short as possible)
// decoded: exact length and the synthesiser's signal at lag 0; a mono loop's channels the same.
TEST(AudioLoopSet, LoopsOfEachKindDecodeToTheirSignal) {
  const auto kindsOf = [](const loops::LoopRecipe& r) {
    return (r.drums == 0.0f ? 1 : 0) | (r.peakDbfs <= -20.0f ? 2 : 0) | (r.width == 0.0f ? 4 : 0);
  };
  std::vector<int> chosen;
  for (int covered = 0; covered != 7;) {
    int best = 0, bestNew = 0;
    for (int n = 1; n <= loops::kLoopCount; ++n) {
      const int fresh = __builtin_popcount(kindsOf(loops::recipeFor(n)) & ~covered);
      if (fresh > bestNew ||
          (fresh == bestNew && fresh > 0 && loops::recipeFor(n).frames() < loops::recipeFor(best).frames())) {
        best = n;
        bestNew = fresh;
      }
    }
    ASSERT_GT(bestNew, 0) << "a kind no loop has";
    covered |= kindsOf(loops::recipeFor(best));
    chosen.push_back(best);
  }
  for (int n : chosen) {
    SCOPED_TRACE("loop " + std::to_string(n));
    const auto recipe = loops::recipeFor(n);
    const auto signal = loops::synthesize(recipe);
    auto file = openFile(std::string(KOV_LOOPS_DIR) + "/" + std::to_string(n) + ".m4a");
    ASSERT_TRUE(file);
    EXPECT_EQ(file->length(), recipe.frames());
    const auto left = channelOf(*file, 0), right = channelOf(*file, 1);
    EXPECT_GT(correlation(left, signal.left, 0), 0.97);
    EXPECT_GT(correlation(right, signal.right, 0), 0.97);
    const double peakDb = 20.0 * std::log10(std::max(peak(left), peak(right)));
    EXPECT_NEAR(peakDb, recipe.peakDbfs, 2.5);
    if (recipe.width == 0.0f) {
      EXPECT_GT(correlation(left, right, 0), 0.999);
    }
  }
}

// Every shipped loop decoded as the player decodes it: no run of exact silence, counted across
// the seam, lasts longer than one beat of the loop's tempo. A rest is part of the groove; longer
// than a beat, the player is heard to drop out on every pass.
TEST(AudioLoopSet, NoLoopIsSilentForLongerThanABeat) {
  {
    SCOPED_TRACE("a frame is silent only when every channel is zero; the seam joins two runs");
    EXPECT_EQ(longestSilence({{0, 0, 1, 0, 0, 0, 1, 0, 0}, {0, 0, 0, 0, 0, 0, 1, 0, 0}}), 4u);
    EXPECT_EQ(longestSilence({{1, 0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 1, 0, 0}}), 3u);
    EXPECT_EQ(longestSilence({{0, 0, 0}, {0, 0, 0}}), 3u);
  }
  for (int n = 1; n <= loops::kLoopCount; ++n) {
    SCOPED_TRACE("loop " + std::to_string(n));
    const auto recipe = loops::recipeFor(n);
    auto file = openFile(std::string(KOV_LOOPS_DIR) + "/" + std::to_string(n) + ".m4a");
    ASSERT_TRUE(file);
    const std::size_t silence = longestSilence(channelsOf(*file));
    EXPECT_LE(silence, std::size_t(recipe.beatFrames()))
        << silence / 48 << " ms of silence; a beat at " << recipe.bpm << " bpm is "
        << recipe.beatFrames() / 48 << " ms";
  }
}

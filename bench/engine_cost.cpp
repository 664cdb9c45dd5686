// Fixed work for instruction counts of the engine's graph: 60 s of loop 1 rendered offline in
// 512-frame blocks through player -> system limiter -> main mixer -> output, and the same
// frames through the limiter's render block alone, in one run:
//
//   valgrind --tool=callgrind --callgrind-out-file=engine.cg ./engine_cost
//   callgrind_annotate --inclusive=yes engine.cg | grep -E 'renderGraphBlock|renderLimiterBlock'
//
// Graph overhead per stereo frame = (inclusive Ir of renderGraphBlock - of renderLimiterBlock)
// / the frame count printed at the end.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioPlayerNode.h"
#include "AVFoundation/AudioFileDecoder.h"
#include "AacFileWriter.h"
#include "AudioToolbox/PeakLimiterUnit.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"

namespace {

constexpr AVAudioFrameCount kBlock = 512;
constexpr int kBlocks = 60 * 48000 / kBlock;

struct LimiterAlone {
  const PCMSamples& samples;
  std::shared_ptr<AVAudioUnitEffect> node =
      std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
  AURenderBlock block;
  AURenderPullInputBlock pull;
  std::int64_t at = 0;
  std::vector<float> left = std::vector<float>(kBlock), right = std::vector<float>(kBlock);
  StackAudioBufferList<2> out;

  explicit LimiterAlone(const PCMSamples& s) : samples(s) {
    auto unit = node->auAudioUnit();
    auto format = AVAudioFormat::makeStandard(48000.0, 2);
    (*unit->inputBusses())[0]->setFormat(format);
    (*unit->outputBusses())[0]->setFormat(format);
    unit->setMaximumFramesToRender(kBlock);
    unit->allocateRenderResources();
    block = unit->renderBlock();
    pull = [this](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount frames, NSInteger,
                  AudioBufferList* in) -> AUAudioUnitStatus {
      if (at + frames > samples.frames)
        at = 0;
      for (UInt32 c = 0; c < 2; ++c)
        std::memcpy(in->mBuffers[c].mData, samples.channel(c) + at, frames * sizeof(float));
      at += frames;
      return noErr;
    };
    out.mNumberBuffers = 2;
  }
};

__attribute__((noinline)) void renderLimiterBlock(LimiterAlone& l) {
  l.out.mBuffers[0] = AudioBuffer{1, kBlock * 4, l.left.data()};
  l.out.mBuffers[1] = AudioBuffer{1, kBlock * 4, l.right.data()};
  AudioUnitRenderActionFlags flags = 0;
  AudioTimeStamp time{};
  l.block(&flags, &time, kBlock, 0, l.out.list(), &l.pull);
}

__attribute__((noinline)) void renderGraphBlock(AVAudioEngine& engine, AVAudioPCMBuffer& buffer) {
  engine.renderOffline(kBlock, buffer);
}

}  // namespace

int main() {
  const std::string path =
      (std::filesystem::temp_directory_path() / ("kov-cost-" + std::to_string(::getpid()) + ".m4a")).string();
  const auto signal = loops::synthesize(loops::recipeFor(1));
  loops::writeAacFile(path, {&signal.left, &signal.right}, 48000, 128000);
  auto file = std::make_shared<AVAudioFile>(URL::fileURLWithPath(path));
  std::filesystem::remove(path);

  auto engine = std::make_shared<AVAudioEngine>();
  auto format = AVAudioFormat::makeStandard(48000.0, 2);
  engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline, format, kBlock);
  auto player = std::make_shared<AVAudioPlayerNode>();
  auto limiter = std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
  engine->attach(player);
  engine->attach(limiter);
  engine->connect(player, limiter, file->processingFormat());
  engine->connect(limiter, engine->mainMixerNode(), file->processingFormat());
  // Enough passes scheduled ahead for the whole run: no completion work while measuring.
  for (int pass = 0; pass < 8; ++pass)
    player->scheduleFile(file, nullptr, nullptr);
  engine->start();
  player->play();
  auto buffer = AVAudioPCMBuffer::make(format, kBlock);
  LimiterAlone alone(*file->samples());

  double sum = 0.0;
  for (int b = 0; b < kBlocks; ++b) {
    renderGraphBlock(*engine, *buffer);
    renderLimiterBlock(alone);
    sum += buffer->floatChannelData()[0][0] + alone.left[0];
  }
  std::printf("frames %d (each path), check %g\n", kBlocks * int(kBlock), sum);
  engine->stop();
  player->stop();
  return 0;
}

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
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "AacFileWriter.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"
#include "limiter_alone.h"

namespace {

constexpr AVAudioFrameCount kBlock = 512;
constexpr int kBlocks = 60 * 48000 / kBlock;

__attribute__((noinline)) void renderLimiterBlock(LimiterAlone<kBlock>& l) {
  l.render();
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
  LimiterAlone<kBlock> alone(*file->samples());

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

// The audio engine: decoding one of the application's loops (x real time, beside a plain copy of
// the decoded samples), the graph player -> system limiter -> main mixer -> offline output per
// 512-frame stereo block beside the limiter rendered alone through its render block, and start
// latency: from start() to the first rendered block, offline and with the null output.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <thread>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioFile.h"
#include "AVFoundation/AVAudioPlayerNode.h"
#include "AVFoundation/internal/AudioFileDecoder.h"
#include "AacFileWriter.h"
#include "AudioToolbox/internal/PeakLimiterUnit.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"
#include "limiter_alone.h"

namespace {

constexpr AVAudioFrameCount kBlock = 512;

// Loop 1 of the set, written once into a temporary file.
const std::string& loopFile() {
  static const std::string path = [] {
    const std::string p =
        (std::filesystem::temp_directory_path() / ("kov-bench-" + std::to_string(::getpid()) + ".m4a"))
            .string();
    const auto signal = loops::synthesize(loops::recipeFor(1));
    loops::writeAacFile(p, {&signal.left, &signal.right}, 48000, 128000);
    std::atexit([] { std::filesystem::remove(loopFile()); });
    return p;
  }();
  return path;
}

void realTime(benchmark::State& state, double framesPerIteration) {
  const double frames = double(state.iterations()) * framesPerIteration;
  state.counters["frames/s"] = benchmark::Counter(frames, benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(frames / 48000.0, benchmark::Counter::kIsRate);
}

void BM_DecodeLoop(benchmark::State& state) {
  std::int64_t frames = 0;
  for (auto _ : state) {
    AVAudioFile file(URL::fileURLWithPath(loopFile()));
    frames = file.length();
    benchmark::DoNotOptimize(file.samples().get());
  }
  realTime(state, double(frames));
}
BENCHMARK(BM_DecodeLoop)->Unit(benchmark::kMillisecond);

// Baseline: copying the decoded loop once.
void BM_CopyDecodedLoop(benchmark::State& state) {
  AVAudioFile file(URL::fileURLWithPath(loopFile()));
  const auto& samples = *file.samples();
  std::vector<float> copy(std::size_t(samples.channelCount) * std::size_t(samples.frames));
  for (auto _ : state) {
    std::memcpy(copy.data(), samples.data.get(), copy.size() * sizeof(float));
    benchmark::ClobberMemory();
  }
  realTime(state, double(samples.frames));
}
BENCHMARK(BM_CopyDecodedLoop)->Unit(benchmark::kMicrosecond);

std::shared_ptr<AVAudioUnitEffect> makeLimiter() {
  return std::make_shared<AVAudioUnitEffect>(PeakLimiterUnit::kComponentDescription);
}

// The limiter alone: its render block pulling the loop from memory.
void BM_LimiterAlone(benchmark::State& state) {
  AVAudioFile file(URL::fileURLWithPath(loopFile()));
  const auto& samples = *file.samples();
  LimiterAlone<kBlock> limiter(samples);
  for (auto _ : state) {
    limiter.render();
    benchmark::ClobberMemory();
  }
  realTime(state, kBlock);
}
BENCHMARK(BM_LimiterAlone);

// The same limiter in the engine: player -> limiter -> main mixer -> offline output.
void BM_PlayerLimiterMixerOffline(benchmark::State& state) {
  std::atomic<bool> looping{true};
  std::function<void()> again;
  auto engine = std::make_shared<AVAudioEngine>();
  auto format = AVAudioFormat::makeStandard(48000.0, 2);
  engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline, format, kBlock);
  auto player = std::make_shared<AVAudioPlayerNode>();
  auto limiter = makeLimiter();
  engine->attach(player);
  engine->attach(limiter);
  auto file = std::make_shared<AVAudioFile>(URL::fileURLWithPath(loopFile()));
  engine->connect(player, limiter, file->processingFormat());
  engine->connect(limiter, engine->mainMixerNode(), file->processingFormat());
  again = [&] {
    if (looping)
      player->scheduleFile(file, nullptr, again);
  };
  player->scheduleFile(file, nullptr, again);
  engine->start();
  player->play();
  auto buffer = AVAudioPCMBuffer::make(format, kBlock);
  for (auto _ : state) {
    engine->renderOffline(kBlock, *buffer);
    benchmark::ClobberMemory();
  }
  realTime(state, kBlock);
  looping = false;
  engine->stop();
  player->stop();
}
BENCHMARK(BM_PlayerLimiterMixerOffline);

// start() to the first block: a one-frame file whose completion is due at the first render call.
void startLatency(benchmark::State& state, bool offline) {
  ::setenv("SDL_AUDIODRIVER", "dummy", 0);
  const std::string path = loopFile() + ".one.m4a";
  const std::vector<float> one(1, 0.5f);
  loops::writeAacFile(path, {&one, &one}, 48000, 128000);
  auto file = std::make_shared<AVAudioFile>(URL::fileURLWithPath(path));
  auto engine = std::make_shared<AVAudioEngine>();
  if (offline)
    engine->enableManualRenderingMode(AVAudioEngineManualRenderingMode::offline,
                                      AVAudioFormat::makeStandard(48000.0, 2), kBlock);
  auto player = std::make_shared<AVAudioPlayerNode>();
  engine->attach(player);
  engine->connect(player, engine->mainMixerNode(), file->processingFormat());
  auto buffer = AVAudioPCMBuffer::make(AVAudioFormat::makeStandard(48000.0, 2), kBlock);
  std::atomic<bool> rendered{false};
  for (auto _ : state) {
    state.PauseTiming();
    rendered = false;
    player->scheduleFile(file, nullptr, [&] { rendered = true; });
    player->play();
    state.ResumeTiming();
    engine->start();
    if (offline)
      engine->renderOffline(kBlock, *buffer);
    while (!rendered)
      std::this_thread::yield();
    state.PauseTiming();
    engine->stop();
    player->stop();
    state.ResumeTiming();
  }
  std::filesystem::remove(path);
}
void BM_StartLatencyOffline(benchmark::State& state) {
  startLatency(state, true);
}
void BM_StartLatencyNullOutput(benchmark::State& state) {
  startLatency(state, false);
}
BENCHMARK(BM_StartLatencyOffline)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_StartLatencyNullOutput)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

BENCHMARK_MAIN();

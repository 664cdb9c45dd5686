// The end-to-end host test: render resources (and a limiter that refuses a format or fails to
// allocate), the render block with its final limiter stage, bypass, failures, the kernel's time
// constants at the host's rate, and the render path free of allocation and locks.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "AudioUnitTestAccess.h"
#include "AllocationCounter.h"
#include "Foundation/TextForms.h"
#include "KOVCompressorParameters.h"
#include "unit_host.h"

using unittest::beginCapture;
using unittest::endCapture;
using unittest::Host;
using unittest::quietly;
using unittest::Stereo;

// ---- Lock counting -------------------------------------------------------------------------
// Counts pthread mutex locks of the current thread while armed (std::mutex and friends go
// through pthread_mutex_lock). Not under ThreadSanitizer, which intercepts the same function.
namespace lockcounting {
thread_local bool armed = false;
thread_local std::size_t count = 0;
using Lock = int (*)(pthread_mutex_t*);
// Constant-initialised, so looking it up takes no guard (a guard may lock).
std::atomic<Lock> next{nullptr};
}  // namespace lockcounting

#if !defined(__SANITIZE_THREAD__)
extern "C" int pthread_mutex_lock(pthread_mutex_t* mutex) {
  lockcounting::Lock next = lockcounting::next.load(std::memory_order_relaxed);
  if (!next) {
    next = reinterpret_cast<lockcounting::Lock>(dlsym(RTLD_NEXT, "pthread_mutex_lock"));
    lockcounting::next.store(next, std::memory_order_relaxed);
  }
  if (lockcounting::armed)
    ++lockcounting::count;
  return next(mutex);
}
#endif

namespace {

// Buffer sizes that cycle through a render: odd, small, the largest, just below it.
const std::vector<AUAudioFrameCount> kBufferSizes = {1,   2,    3,    64, 17,  512, 4096,
                                                     100, 4095, 1000, 7,  256, 2048};

// Parameter automation for one buffer: a few events at fixed places inside it, driven by the
// buffer's index so that the unit and the reference get the same ones.
void automation(unittest::EventList& events, std::size_t index, std::size_t position,
                AUAudioFrameCount frames) {
  if (index % 3 == 2)
    return;  // some buffers carry no event
  const AUEventSampleTime start = AUEventSampleTime(position);
  events.add(start, 0, float((index * 7) % 10) / 10.0f);               // attack
  events.add(start + frames / 3, 2, 0.4f + float(index % 5) / 10.0f);  // threshold
  events.add(start + frames / 2, 3, float(index % 4) / 3.0f);          // ratio
  if (index % 4 == 0)
    events.add(start + frames / 2, 6, float(index % 8) / 2.0f);  // mode 0..3.5
  if (index % 5 == 0)
    events.add(start + frames - 1, 9, 0.3f + float(index % 3) / 10.0f);
}

// The render calls of a whole signal: buffer sizes cycling, each with its automation.
struct Call {
  std::size_t position;
  AUAudioFrameCount frames;
  unittest::EventList events;
};

std::vector<Call> plan(std::size_t length, bool withEvents) {
  std::vector<Call> calls;
  std::size_t position = 0;
  for (std::size_t index = 0; position < length; ++index) {
    const AUAudioFrameCount frames = AUAudioFrameCount(
        std::min<std::size_t>(kBufferSizes[index % kBufferSizes.size()], length - position));
    calls.push_back({position, frames, {}});
    if (withEvents)
      automation(calls.back().events, index, position, frames);
    position += frames;
  }
  return calls;
}

// Renders the planned calls; returns the first status other than 0 (0 when all succeeded).
// Allocates nothing itself.
AUAudioUnitStatus renderCalls(Host& host, const Stereo& input, Stereo& output, std::vector<Call>& calls) {
  AUAudioUnitStatus first = noErr;
  for (Call& call : calls) {
    const AUAudioUnitStatus status =
        host.renderAt(input, output, call.position, call.frames, call.events.head());
    if (first == noErr)
      first = status;
  }
  return first;
}

AUAudioUnitStatus renderAll(Host& host, const Stereo& input, Stereo& output, bool withEvents) {
  std::vector<Call> calls = plan(input.size(), withEvents);
  return renderCalls(host, input, output, calls);
}

// The same through the kernel adapter alone, set up as the unit sets it up.
Stereo renderReference(double rate, const unittest::Settings& settings, const Stereo& input,
                       bool withEvents) {
  auto adapter = KOV_Compressor_ExtensionDSPKernelAdapter::make();
  for (const KOVParameterInfo& row : kKOVParameterTable)
    adapter->setParameterEx(std::int32_t(row.address), row.defaultValue);
  adapter->allocateRenderResources();
  adapter->setSamplerate(float(rate));
  adapter->reset();
  for (const auto& [address, value] : settings)
    adapter->setParameterEx(address, value);
  Stereo output(input.size());
  unittest::InputSource source;
  const AURenderPullInputBlock pull = source.block();
  for (Call& call : plan(input.size(), withEvents)) {
    source.left = input.left.data() + call.position;
    source.right = input.right.data() + call.position;
    StackAudioBufferList<2> list = unittest::outputList(output, call.position, call.frames);
    AudioTimeStamp timestamp{};
    timestamp.mSampleTime = double(call.position);
    EXPECT_EQ(adapter->render(nullptr, &timestamp, call.frames, 0, list.list(), call.events.head(), &pull),
              noErr);
  }
  return output;
}

// `input` with `settings` made after allocation, through a host at `rate` and through the kernel
// alone; automated, in buffers of cycling sizes.
std::pair<Stereo, Stereo> renderHostAndKernel(double rate, const unittest::Settings& settings,
                                              const Stereo& input) {
  beginCapture();
  Host host(rate);
  host.set(settings);
  Stereo output(input.size());
  EXPECT_EQ(renderAll(host, input, output, true), noErr);
  Stereo kernelAlone = renderReference(rate, settings, input, true);
  endCapture();
  return {output, kernelAlone};
}

// What allocation prints, kernel lines aside, when the host defined none of its blocks: the
// wrapped limiter's rates before and after, and the reason a format was refused, if one was.
std::vector<std::string> allocationLines(const std::string& priorInput, const std::string& priorOutput,
                                         const std::string& now, const std::string& refusal = "") {
  return {"AUExtension::allocateRenderResources()",
          "AUExtension::outputBusses: 1",
          "AUExtension::outputBusses: 1",
          "AUExtension: WARNING: The property 'musicalContextBlock' is NOT defined.",
          "AUExtension: WARNING: The property 'transportStateBlock' is NOT defined.",
          "AUExtension: WARNING: The property 'scheduleMIDIEventBlock' is NOT defined.",
          "AUExtension::midiOutputEventBlock (get) ",
          "AUExtension::midiOutputEventBlock (get) ",
          "AUExtension: WARNING: The property 'midiOutputEventBlock' is NOT defined.",
          "AUExtension: Native wrapped unit input samplerate (prior): " + priorInput + ".",
          "AUExtension: Native wrapped unit output samplerate (prior): " + priorOutput + ".",
          "AUExtension::outputBusses: 1",
          refusal.empty()
              ? "AUExtension::outputBusses: 1"
              : "AUExtension: WARNING: The format could not be set to the wrapped unit: " + refusal,
          "AUExtension: New wrapped unit input samplerate: " + now + ".",
          "AUExtension: New wrapped unit output samplerate: " + now + "."};
}

}  // namespace

TEST(AudioUnitRender, AllocationPreparesKernelAndLimiterAndLogsInOrder) {
  auto unit = unittest::makeUnit();
  const std::shared_ptr<AUAudioUnit> limiter = AudioUnitTestAccess::effect(*unit)->auAudioUnit();
  (*unit->outputBusses())[0]->setFormat(AVAudioFormat::makeStandard(44100.0, 2));
  const std::string priorInput = describe((*limiter->inputBusses())[0]->format()->sampleRate());
  beginCapture();
  std::shared_ptr<NSError> error;
  EXPECT_TRUE(unit->allocateRenderResourcesAndReturnError(&error));
  EXPECT_EQ(unittest::withoutKernelLines(endCapture()), allocationLines(priorInput, "44100.0", "44100.0"));

  EXPECT_TRUE((*limiter->inputBusses())[0]->isEnabled());
  EXPECT_TRUE((*limiter->outputBusses())[0]->isEnabled());
  EXPECT_TRUE((*limiter->outputBusses())[0]->shouldAllocateBuffer());
  EXPECT_TRUE(sameFormat((*limiter->inputBusses())[0]->format(), (*limiter->outputBusses())[0]->format()));
  EXPECT_TRUE(limiter->renderResourcesAllocated());
  EXPECT_EQ(AudioUnitTestAccess::kernelAdapter(*unit)->getSamplerate(), 44100.0f);
  EXPECT_EQ(std::tuple(AudioUnitTestAccess::effect(*unit)->attackTime(), AudioUnitTestAccess::effect(*unit)->decayTime(),
                       AudioUnitTestAccess::effect(*unit)->preGain()),
            std::tuple(0.03, 0.06, -0.01));

  SCOPED_TRACE("host blocks: defined ones are announced, the MIDI block reaches the adapter");
  unit->setMusicalContextBlock(
      [](double*, double*, NSInteger*, double*, NSInteger*, double*) { return true; });
  unit->setMIDIOutputEventBlock([](AUEventSampleTime, UInt8, NSInteger, const UInt8*) { return noErr; });
  unit->setTransportStateBlock([](AUHostTransportStateFlags* flags, double* position, double*, double*) {
    *flags = 2;  // moving
    *position = 4800;
    return true;
  });
  beginCapture();
  EXPECT_TRUE(unit->allocateRenderResourcesAndReturnError(&error));
  const std::vector<std::string> again = endCapture();
  EXPECT_EQ(again[3], "AUExtension: The property 'musicalContextBlock' is defined.");
  EXPECT_EQ(again[4], "AUExtension: The property 'transportStateBlock' is defined.");
  EXPECT_EQ(again[8], "AUExtension: The property 'midiOutputEventBlock' is defined.");
  {
    SCOPED_TRACE("the host's transport block is the one the adapter calls");
    const AUHostTransportStateBlock& held = AudioUnitTestAccess::kernelAdapter(*unit)->hostTransportStateBlock();
    ASSERT_TRUE(held);
    AUHostTransportStateFlags flags = 0;
    double position = 0, cycleStart = 0, cycleEnd = 0;
    EXPECT_TRUE(held(&flags, &position, &cycleStart, &cycleEnd));
    EXPECT_EQ(flags, 2u);
    EXPECT_EQ(position, 4800.0);
  }

  SCOPED_TRACE("deallocate and reset reach both stages");
  beginCapture();
  unit->reset();
  unit->deallocateRenderResources();
  EXPECT_EQ(endCapture(),
            (std::vector<std::string>{"AUExtension::reset()", "AUExtension::deallocateRenderResources()"}));
  EXPECT_FALSE(limiter->renderResourcesAllocated());
}

TEST(AudioUnitRender, LimiterAllocationFailures) {
  {
    SCOPED_TRACE("a format the limiter's input bus refuses: logged, allocation goes on with its formats");
    auto unit = unittest::makeUnit();
    const std::shared_ptr<AUAudioUnit> limiter = AudioUnitTestAccess::effect(*unit)->auAudioUnit();
    // The output bus at the input bus's rate; the limiter's input bus then cannot take two
    // channels and keeps the stereo format it had; the output bus's set is skipped.
    const std::string rate = describe((*limiter->inputBusses())[0]->format()->sampleRate());
    (*unit->outputBusses())[0]->setFormat(
        AVAudioFormat::makeStandard((*limiter->inputBusses())[0]->format()->sampleRate(), 2));
    (*unit->inputBusses())[0]->setMaximumChannelCount(1);
    beginCapture();
    std::shared_ptr<NSError> error;
    EXPECT_TRUE(unit->allocateRenderResourcesAndReturnError(&error));
    // The platform's description ends in a full stop of its own.
    EXPECT_EQ(unittest::withoutKernelLines(endCapture()),
              allocationLines(rate, rate, rate, "The format has more channels than the bus can carry.."));
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(std::tuple(AudioUnitTestAccess::effect(*unit)->attackTime(), AudioUnitTestAccess::effect(*unit)->decayTime(),
                         AudioUnitTestAccess::effect(*unit)->preGain()),
              std::tuple(0.03, 0.06, -0.01));
  }
  SCOPED_TRACE("a failing limiter allocation fails the unit's and leaves the limiter's parameters alone");
  auto unit = unittest::quietUnit();
  beginCapture();
  unit->setMaximumFramesToRender(0);  // a limit no unit can allocate for
  std::shared_ptr<NSError> error;
  EXPECT_FALSE(unit->allocateRenderResourcesAndReturnError(&error));
  endCapture();
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->domain(), NSOSStatusErrorDomain);
  EXPECT_EQ(AudioUnitTestAccess::effect(*unit)->attackTime(), 0.012);
  EXPECT_EQ(AudioUnitTestAccess::effect(*unit)->decayTime(), 0.024);
  EXPECT_EQ(AudioUnitTestAccess::effect(*unit)->preGain(), 0.0);
}

TEST(AudioUnitRender, FrameLimitAndBypassReachBothStages) {
  auto unit = unittest::makeUnit();
  const std::shared_ptr<AUAudioUnit> limiter = AudioUnitTestAccess::effect(*unit)->auAudioUnit();
  beginCapture();
  unit->setMaximumFramesToRender(512);
  unit->setShouldBypassEffect(true);
  EXPECT_EQ(endCapture(), (std::vector<std::string>{"AUExtension::maximumFramesToRender (set): 512",
                                                    "AUExtension::shouldBypassEffect (did set)"}));
  EXPECT_EQ(unit->maximumFramesToRender(), 512u);
  EXPECT_EQ(AudioUnitTestAccess::kernelAdapter(*unit)->maximumFramesToRender(), 512u);
  EXPECT_EQ(limiter->maximumFramesToRender(), 512u);
  EXPECT_TRUE(unit->shouldBypassEffect());
  EXPECT_TRUE(AudioUnitTestAccess::kernelAdapter(*unit)->shouldBypassEffect());
  EXPECT_TRUE(limiter->shouldBypassEffect());

  for (const float limiterOn : {0.0f, 1.0f}) {
    SCOPED_TRACE(limiterOn);
    const Stereo input = unittest::noise(9000, 1.5f);
    beginCapture();
    Host host(48000.0);
    host.unit->setParameter(11, limiterOn);
    host.unit->setShouldBypassEffect(true);
    Stereo output(input.size());
    renderAll(host, input, output, false);
    endCapture();
    EXPECT_EQ(output.left, input.left);
    EXPECT_EQ(output.right, input.right);
  }

  SCOPED_TRACE("a raised limit reaches the limiter: 8192 frames in one call, limited");
  Host host = unittest::quietly([] { return Host(48000.0, 8192); });
  const Stereo input = unittest::noise(8192, 3.0f);
  Stereo output(8192);
  beginCapture();
  EXPECT_EQ(host.renderAt(input, output, 0, 8192), noErr);
  EXPECT_TRUE(unittest::withoutKernelLines(endCapture()).empty());  // neither stage failed
  EXPECT_LE(unittest::peakOf(output), 1.0f);
}

TEST(AudioUnitRender, KernelThenFinalLimiterAtEveryRate) {
  for (double rate : {44100.0, 48000.0, 96000.0}) {
    for (const bool music : {false, true}) {
      SCOPED_TRACE(std::to_string(rate) + (music ? " music" : " noise"));
      {
        SCOPED_TRACE("limiter off: sample for sample the kernel alone");
        const Stereo input = music ? unittest::musicLike(30000, rate, 0.9f) : unittest::noise(30000, 0.7f);
        const auto [output, kernelAlone] = renderHostAndKernel(
            rate, {{11, 0.0f}, {2, 0.6f}, {3, 0.8f}, {4, 0.6f}, {9, 0.55f}, {10, 0.9f}, {5, 0.8f}}, input);
        EXPECT_EQ(output.left, kernelAlone.left);
        EXPECT_EQ(output.right, kernelAlone.right);
        EXPECT_NE(output.left, input.left);  // the compressor did something
      }
      SCOPED_TRACE("limiter on, +12 dB make-up: the peak stays at full scale");
      const Stereo input = music ? unittest::musicLike(40000, rate, 2.5f) : unittest::noise(40000, 1.8f);
      const auto [output, kernelAlone] = renderHostAndKernel(rate, {{4, 0.7f}, {2, 0.9f}}, input);
      EXPECT_GT(unittest::peakOf(kernelAlone), 1.5f);
      EXPECT_LE(unittest::peakOf(output), 1.0f);
      EXPECT_GT(unittest::peakOf(output), 0.5f);
    }
  }
}

TEST(AudioUnitRender, FailuresAndTheirStatuses) {
  Host host = unittest::quietly([] { return Host(48000.0); });
  const Stereo input = unittest::noise(5000, 0.5f);
  const std::string kernelProblem = "AUExtension::ERROR: We have a problem with the kernel! ";
  {
    SCOPED_TRACE("output bus 1: no connection, nothing touched, nothing logged");
    Stereo output(5000, 7.0f);
    host.renderAt(input, output, 0, 64);
    AudioBufferList* before = AudioUnitTestAccess::currentOutputData(*host.unit);
    beginCapture();
    EXPECT_EQ(host.renderAt(input, output, 0, 64, nullptr, 1), kAudioUnitErr_NoConnection);
    EXPECT_TRUE(endCapture().empty());
    EXPECT_EQ(output.left[100], 7.0f);
    EXPECT_EQ(AudioUnitTestAccess::currentOutputData(*host.unit), before);
  }
  for (const float limiterOn : {0.0f, 1.0f}) {
    SCOPED_TRACE(limiterOn == 1.0f ? "limiter on: every call reports success"
                                   : "limiter off: the kernel's status");
    unittest::quietly([&] { host.unit->setParameter(11, limiterOn); });
    Stereo large(4097);
    beginCapture();
    EXPECT_EQ(host.renderAt(large, large, 0, 4097),
              limiterOn == 1.0f ? noErr : kAudioUnitErr_TooManyFramesToProcess);
    std::vector<std::string> expected = {kernelProblem + "-10874"};
    if (limiterOn == 1.0f)
      expected.push_back("AUExtension::ERROR: We have a problem with the wrapped unit! -10874");
    EXPECT_EQ(endCapture(), expected);

    host.source.status = -12345;
    Stereo output(5000);
    beginCapture();
    EXPECT_EQ(host.renderAt(input, output, 0, 256), limiterOn == 1.0f ? noErr : -12345);
    EXPECT_EQ(endCapture(), std::vector<std::string>{kernelProblem + "-12345"});

    // An in-place request whose pull fails leaves no samples: the limiter stage is skipped.
    StackAudioBufferList<2> inPlace;
    inPlace.mBuffers[0] = {1, 256 * 4, nullptr};
    inPlace.mBuffers[1] = {1, 256 * 4, nullptr};
    AudioTimeStamp timestamp{};
    beginCapture();
    EXPECT_EQ(host.renderBlock(nullptr, &timestamp, 256, 0, inPlace.list(), nullptr, &host.pull),
              limiterOn == 1.0f ? noErr : -12345);
    EXPECT_EQ(endCapture(), std::vector<std::string>{kernelProblem + "-12345"});
    EXPECT_EQ(inPlace.mBuffers[0].mData, nullptr);
    host.source.status = noErr;
    // One that succeeds is processed in the kernel's input buffer.
    EXPECT_EQ(quietly([&] {
                return host.renderBlock(nullptr, &timestamp, 256, 0, inPlace.list(), nullptr, &host.pull);
              }),
              noErr);
    EXPECT_NE(inPlace.mBuffers[0].mData, nullptr);
    EXPECT_NE(inPlace.mBuffers[1].mData, nullptr);
    EXPECT_EQ(AudioUnitTestAccess::currentOutputData(*host.unit), inPlace.list());
  }
}

TEST(AudioUnitRender, AttackTimeInSecondsFollowsTheHostRate) {
  // A step of 0.5 on both channels through the plain path with the largest ratio: the gain is
  // sqrt(T / level) once the detector's level passes T, and the level rises as
  // 0.5 (1 - (1 - A)^n). The output crosses 0.5 sqrt(T / 0.25) when the level reaches half the
  // step, after n = ln 0.5 / ln(1 - A) samples, A = 10^(1 / (50 + sr a^2 / 2)) - 1. A host that
  // restores the settings before it allocates has them recomputed for its rate too.
  const float attack = 0.5f;
  const double threshold = std::pow(10.0, 3.0 * (0.5 - 1.0));
  const double crossing = 0.5 * std::sqrt(threshold / 0.25);
  for (const bool setBeforeAllocation : {false, true}) {
    std::vector<double> seconds;
    for (double rate : {44100.0, 48000.0, 96000.0}) {
      SCOPED_TRACE(std::to_string(rate) +
                   (setBeforeAllocation ? " set before allocation" : " set after allocation"));
      const std::size_t frames = std::size_t(rate * 0.2);
      beginCapture();
      Host host(rate, 4096, !setBeforeAllocation);
      host.set({{11, 0.0f},
                {9, 0.0f},
                {10, 1.0f},
                {6, 0.0f},
                {0, attack},
                {2, 0.5f},
                {3, 1.0f},
                {4, 0.5f},
                {5, 1.0f}});
      if (setBeforeAllocation)
        host.allocate();
      const Stereo input(frames, 0.5f);
      Stereo output(frames);
      EXPECT_EQ(renderAll(host, input, output, false), noErr);
      endCapture();
      const auto it =
          std::find_if(output.left.begin(), output.left.end(), [&](float y) { return y < crossing; });
      ASSERT_NE(it, output.left.end());
      const double measured = double(it - output.left.begin()) / rate;
      const double coefficient = std::pow(10.0, 1.0 / (50.0 + 0.5 * rate * attack * attack)) - 1.0;
      const double expected = std::log(0.5) / std::log(1.0 - coefficient) / rate;
      EXPECT_NEAR(measured, expected, 2.0 / rate);
      seconds.push_back(measured);
    }
    // About 38 ms at every rate; the constant 50 samples of the formula is all that differs.
    EXPECT_NEAR(seconds[0], seconds[1], 0.01 * seconds[1]);
    EXPECT_NEAR(seconds[2], seconds[1], 0.01 * seconds[1]);
  }
}

TEST(AudioUnitRender, RenderBlockAllocatesAndLocksNothing) {
  for (const float limiterOn : {0.0f, 1.0f}) {
    SCOPED_TRACE(limiterOn);
    beginCapture();
    Host host(48000.0);
    host.unit->setParameter(11, limiterOn);
    host.unit->setMIDIOutputEventBlock(
        [](AUEventSampleTime, UInt8, NSInteger, const UInt8*) { return noErr; });
    host.renderBlock = host.unit->internalRenderBlock();
    const Stereo input = unittest::noise(20000, 2.0f);
    Stereo output(input.size());
    std::vector<Call> plain = plan(input.size(), false);
    std::vector<Call> automated = plan(input.size(), true);
    renderCalls(host, input, output, automated);  // warm up: first use of every path
    std::size_t allocations = 0;
    std::size_t locks = 0;
    {
      AllocationCounter counter;
      lockcounting::count = 0;
      lockcounting::armed = true;
      renderCalls(host, input, output, plain);
      renderCalls(host, input, output, automated);
      lockcounting::armed = false;
      allocations = counter.count();
      locks = lockcounting::count;
    }
    endCapture();
    EXPECT_EQ(allocations, 0u);
    EXPECT_EQ(locks, 0u);
  }
}

// Hostile settings through every way into the unit (render events, the unit's own setter, the
// parameter tree, a state), each on its own, the final limiter off: white noise at +20 and
// +40 dBFS still comes out finite, in every mode, plain and side-chained.
TEST(AudioUnitRender, HostileSettingsKeepLoudInputFinite) {
  const float hostile[] = {3.4e38f, -3.4e38f, INFINITY, -INFINITY, 1e30f, -1e30f, 1e6f, -1e6f, std::nanf("")};
  enum Route { kRenderEvent, kUnitSetter, kTree, kState };
  constexpr AUAudioFrameCount kFrames = 512;
  auto stateWith = [](AUParameterAddress address, float value) {
    const PropertyList::Dictionary parameter{
        {"address", int(address)}, {"identifier", "x"}, {"value", double(value)}};
    const PropertyList::Dictionary group{
        {"identifier", "kGlobalParameters"}, {"count", 1}, {"param 0", parameter}};
    return PropertyList::Dictionary{{"version", 1}, {"count", 1}, {"group 0", group}};
  };
  int renders = 0;
  for (float amplitude : {10.0f, 100.0f}) {
    const Stereo input = unittest::noise(kFrames, amplitude);
    for (float mode : {0.0f, 1.0f, 2.0f, 3.0f}) {
      for (float hp : {0.0f, 0.6f}) {
        const unittest::Settings start = {{11, 0.0f}, {6, mode}, {9, hp}, {10, 1.0f}};
        for (Route route : {kRenderEvent, kUnitSetter, kTree, kState}) {
          SCOPED_TRACE(testing::Message() << "peak " << amplitude << ", mode " << mode << ", "
                                          << (hp != 0.0f ? "side-chain" : "plain") << ", route " << route);
          beginCapture();
          Host host(48000.0);
          for (std::int32_t address = 0; address < 12; ++address) {
            for (float v : hostile) {
              // Back to the defaults, then the mode, path and the limiter off; detectors cleared.
              for (const KOVParameterInfo& row : kKOVParameterTable)
                host.unit->setParameter(std::int32_t(row.address), row.defaultValue);
              host.set(start);
              host.unit->reset();
              unittest::EventList events;
              if (route == kRenderEvent)
                events.add(100, AUParameterAddress(address), v);
              else if (route == kUnitSetter)
                host.unit->setParameter(address, v);
              else if (route == kTree)
                host.unit->parameterTree()->parameterWithAddress(AUParameterAddress(address))->setValue(v);
              else
                host.unit->setFullState(stateWith(AUParameterAddress(address), v));
              Stereo output(kFrames);
              host.renderAt(input, output, 0, kFrames, events.head());
              ++renders;
              bool finite = true;
              for (std::size_t i = 0; i < kFrames; ++i)
                finite = finite && std::isfinite(output.left[i]) && std::isfinite(output.right[i]);
              if (!finite) {
                endCapture();
                FAIL() << "address " << address << " value " << v;
              }
            }
          }
          endCapture();
        }
      }
    }
  }
  EXPECT_EQ(renders, 2 * 4 * 2 * 4 * 12 * 9);
}

// The editor's meters read the unit: each of the four values is the kernel's own, left and right
// apart (a loud left, a silent right, strong compression).
TEST(AudioUnitRender, MeterValuesAreTheKernelsPerChannel) {
  Host host = unittest::quietly([] { return Host(48000.0); });
  host.set({{2, 0.3f}, {3, 1.0f}, {0, 0.01f}});
  Stereo input = unittest::noise(4096, 0.9f);
  input.right.assign(input.size(), 0.0f);
  Stereo output(input.size());
  EXPECT_EQ(unittest::quietly([&] { return host.renderAt(input, output, 0, 4096); }), noErr);
  const auto& adapter = *AudioUnitTestAccess::kernelAdapter(*host.unit);
  KOV_Compressor_Extension_AudioUnit& unit = *host.unit;
  EXPECT_EQ(unit.getDynamicsValue1(), adapter.getDynamicsValue1());
  EXPECT_EQ(unit.getDynamicsValue2(), adapter.getDynamicsValue2());
  EXPECT_EQ(unit.getPeakValue1(), adapter.getPeakValue1());
  EXPECT_EQ(unit.getPeakValue2(), adapter.getPeakValue2());
  EXPECT_GT(unit.getPeakValue1(), 0.0f);
  EXPECT_EQ(unit.getPeakValue2(), 0.0f);
  EXPECT_LT(unit.getDynamicsValue1(), 1.0f);
  EXPECT_EQ(unit.getDynamicsValue2(), 1.0f) << "the silent side is not compressed";
}

// Fixed work for instruction counts of the whole effect: the audio unit at its default parameters
// (dual mode, the side-chain band 0.6..1, the final limiter on), 60 s of a music-like stereo
// signal at 48 kHz rendered through its internal render block in 512-frame buffers, as a host
// drives it (pull block, output buffers of its own).
//
//   valgrind --tool=callgrind '--toggle-collect=renderUnitBuffer(*' bench/unit_cost
//
// Instructions per stereo frame = the collected Ir / the frame count printed at the end. Only the
// render calls are counted (the pull block's copy of the input included, as a host's would be).
// Prints the frame count, a checksum of the output and the meters.
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "KOVCompressorParameters.h"
#include "kernel_signal.h"
#include "quiet_unit.h"

// Out of line and outside any namespace, so that callgrind's toggle pattern finds it by name.
[[gnu::noinline]] AUAudioUnitStatus renderUnitBuffer(const AUInternalRenderBlock& block,
                                                     const AudioTimeStamp& time, AUAudioFrameCount frames,
                                                     AudioBufferList* output,
                                                     const AURenderPullInputBlock& pull) {
  AudioUnitRenderActionFlags flags = 0;
  return block(&flags, &time, frames, 0, output, nullptr, &pull);
}

int main() {
  constexpr AUAudioFrameCount kFrames = 512;
  constexpr long kTotal = 60L * 48000L;
  static_assert(KernelTestSignal::kLoopFrames % kFrames == 0);
  const KernelTestSignal signal;

  const std::shared_ptr<KOV_Compressor_Extension_AudioUnit> unit = makeQuietUnit();
  const AUInternalRenderBlock block = unit ? unit->internalRenderBlock() : nullptr;
  if (!block) {
    std::fprintf(stderr, "unit_cost: the unit could not be allocated\n");
    return 1;
  }
  if (unit->getParameter(std::int32_t(kKOVFinalLimiterAddress)) != 1.0f) {
    std::fprintf(stderr, "unit_cost: the final limiter is not on by default\n");
    return 1;
  }

  int position = 0;
  const AURenderPullInputBlock pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*,
                                          AUAudioFrameCount n, NSInteger, AudioBufferList* input) {
    std::memcpy(input->mBuffers[0].mData, signal.left.data() + position, n * sizeof(float));
    std::memcpy(input->mBuffers[1].mData, signal.right.data() + position, n * sizeof(float));
    position = (position + static_cast<int>(n)) % KernelTestSignal::kLoopFrames;
    return noErr;
  };

  std::vector<float> left(kFrames), right(kFrames);
  StackAudioBufferList<2> out;
  AudioTimeStamp time{};
  time.mFlags = kAudioTimeStampSampleTimeValid;
  double checksum = 0.0;
  for (long done = 0; done < kTotal; done += kFrames) {
    out.mBuffers[0] = {1, kFrames * 4, left.data()};
    out.mBuffers[1] = {1, kFrames * 4, right.data()};
    if (renderUnitBuffer(block, time, kFrames, out.list(), pull) != noErr)
      return 1;
    checksum += left[0] + right[kFrames - 1];
    time.mSampleTime += kFrames;
  }
  std::printf("unit at its defaults, final limiter on: %ld frames, checksum %.9g, gain reduction %.4f %.4f\n",
              kTotal, checksum, unit->getDynamicsValue1(), unit->getDynamicsValue2());
  return 0;
}

// Renders 60 s of a music-like stereo signal at 48 kHz through the kernel adapter in 512-frame
// buffers, for instruction counts per stereo frame with
//   valgrind --tool=callgrind bench/kernel_cost <mode 0..3> <plain|sidechain>
// (add --toggle-collect='KOV_Compressor_ExtensionDSPKernelAdapter::renderWith*' to count the
// render calls alone; a pattern that also matches `render` toggles twice per call and counts
// almost nothing). Prints the mode, the path and a checksum of the output.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "kernel_signal.h"

int main(int argc, char** argv) {
  if (argc != 3 || std::strlen(argv[1]) != 1 || argv[1][0] < '0' || argv[1][0] > '3' ||
      (std::string(argv[2]) != "plain" && std::string(argv[2]) != "sidechain")) {
    std::fprintf(stderr, "usage: kernel_cost <mode 0..3> <plain|sidechain>\n");
    return 2;
  }
  const int mode = argv[1][0] - '0';
  const bool sidechain = std::string(argv[2]) == "sidechain";
  constexpr AUAudioFrameCount kFrames = 512;
  constexpr long kTotal = 60L * 48000L;

  const KernelTestSignal signal;
  KOV_Compressor_ExtensionDSPKernelAdapter adapter;
  adapter.allocateRenderResources();
  std::FILE* saved = stdout;  // the kernel prints every parameter it receives
  stdout = std::fopen("/dev/null", "w");
  const float settings[][2] = {{0, 0.1f}, {1, 0.3f}, {2, 0.6f}, {3, 0.6f}, {4, 0.55f}, {5, 1.0f}};
  for (const auto& s : settings)
    adapter.setParameterEx(static_cast<std::int32_t>(s[0]), s[1]);
  adapter.setParameterEx(6, static_cast<float>(mode));
  adapter.setParameterEx(9, sidechain ? 0.6f : 0.0f);
  adapter.setParameterEx(10, 1.0f);
  std::fclose(stdout);
  stdout = saved;

  int position = 0;
  AURenderPullInputBlock pull = [&](AudioUnitRenderActionFlags*, const AudioTimeStamp*, AUAudioFrameCount n,
                                    NSInteger, AudioBufferList* input) {
    // The loop length is a multiple of the buffer length: one copy per channel.
    std::memcpy(input->mBuffers[0].mData, signal.left.data() + position, n * sizeof(float));
    std::memcpy(input->mBuffers[1].mData, signal.right.data() + position, n * sizeof(float));
    position = (position + static_cast<int>(n)) % KernelTestSignal::kLoopFrames;
    return noErr;
  };
  static_assert(KernelTestSignal::kLoopFrames % kFrames == 0);

  std::vector<float> left(kFrames), right(kFrames);
  StackAudioBufferList<2> out;
  AudioTimeStamp ts;
  AudioUnitRenderActionFlags flags = 0;
  double checksum = 0.0;
  for (long done = 0; done < kTotal; done += kFrames) {
    out.mBuffers[0] = {1, kFrames * 4, left.data()};
    out.mBuffers[1] = {1, kFrames * 4, right.data()};
    if (adapter.render(&flags, &ts, kFrames, 0, out.list(), nullptr, &pull) != noErr)
      return 1;
    checksum += left[0] + right[kFrames - 1];
    ts.mSampleTime += kFrames;
  }
  std::printf("mode %d, %s path: %ld frames, checksum %.9g, gain reduction %.4f %.4f\n", mode,
              sidechain ? "side-chain" : "plain", kTotal, checksum, adapter.getDynamicsValue1(),
              adapter.getDynamicsValue2());
  return 0;
}

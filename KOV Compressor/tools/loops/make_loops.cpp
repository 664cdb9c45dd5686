// Writes the application's audio loops "1.m4a" ... "80.m4a" into a folder: each synthesised
// from its recipe and encoded as 48 kHz stereo AAC at 128 kbit/s. The loops are made on as many
// threads as the machine has cores; each file depends only on its number, so the bytes do not
// depend on the threading.
//
//   make_loops <output folder> [first [last]]
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "AacFileWriter.h"
#include "LoopRecipe.h"
#include "LoopSynth.h"

extern "C" {
#include <libavutil/log.h>
}

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s <output folder> [first [last]]\n", argv[0]);
    return 2;
  }
  const std::string folder = argv[1];
  const int first = argc > 2 ? std::atoi(argv[2]) : 1;
  const int last = argc > 3 ? std::atoi(argv[3]) : loops::kLoopCount;
  av_log_set_level(AV_LOG_ERROR);

  std::atomic<int> next{first};
  std::atomic<bool> failed{false};
  auto work = [&] {
    for (int n; (n = next.fetch_add(1)) <= last && !failed;) {
      const loops::StereoSignal signal = loops::synthesize(loops::recipeFor(n));
      try {
        loops::writeAacFile(folder + "/" + std::to_string(n) + ".m4a", {&signal.left, &signal.right},
                            int(loops::kSampleRate), 128000);
      } catch (const loops::AacFileWriteError& error) {
        std::fprintf(stderr, "make_loops: %s\n", error.what());
        failed = true;
      }
    }
  };
  const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1U, 16U);
  std::vector<std::thread> pool;
  for (unsigned t = 0; t < threads; ++t)
    pool.emplace_back(work);
  for (auto& thread : pool)
    thread.join();
  return failed ? 1 : 0;
}

// Synthesises a loop from its recipe: a drum groove with real transients (kick, snare, hats),
// a bass line, a chord pad and a voice-like lead (a pulse source through vowel formants), at
// 48 kHz in stereo. Every note's tail that runs past the end is added at the start, so the loop
// joins without a click; then the whole is scaled to the recipe's peak.
// Deterministic: the same recipe gives the same samples (own noise generator, no std random
// distributions). Threads: [any].
#pragma once

#include <vector>

#include "LoopRecipe.h"

namespace loops {

struct StereoSignal {
  std::vector<float> left;
  std::vector<float> right;
};

StereoSignal synthesize(const LoopRecipe& recipe);

}  // namespace loops

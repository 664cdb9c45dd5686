#include "LoopRecipe.h"

#include <array>

namespace loops {

namespace {

// Tempos whose beat is a whole number of frames at 48 kHz (2,880,000 / bpm is an integer), so
// a loop of whole bars has an exact frame count and repeats without drift.
constexpr std::array<double, 12> kTempos{72, 75, 80, 90, 96, 100, 120, 125, 128, 144, 150, 160};

// Peak targets: some loops reach nearly full scale, some stay at -20 dBFS.
constexpr std::array<float, 8> kPeaks{-0.3f, -1.0f, -3.0f, -6.0f, -9.0f, -12.0f, -16.0f, -20.0f};

// A small integer hash (the "lowbias32" mixer), so neighbouring numbers get unrelated choices.
std::uint32_t mix(std::uint32_t x) {
  x ^= x >> 16;
  x *= 0x7feb352dU;
  x ^= x >> 15;
  x *= 0x846ca68bU;
  x ^= x >> 16;
  return x;
}

// The number of whole bars closest to the wished length that keeps the loop within 6 to 12 s.
int barsFor(double bpm, double wishedSeconds) {
  const double barSeconds = 4.0 * 60.0 / bpm;
  int best = 1;
  double bestDistance = 1e9;
  for (int bars = 1; bars <= 16; ++bars) {
    const double seconds = bars * barSeconds;
    if (seconds < 6.0 || seconds > 12.0)
      continue;
    const double distance = seconds > wishedSeconds ? seconds - wishedSeconds : wishedSeconds - seconds;
    if (distance < bestDistance) {
      best = bars;
      bestDistance = distance;
    }
  }
  return best;
}

}  // namespace

LoopRecipe recipeFor(int number) {
  number = ((number - 1) % kLoopCount + kLoopCount) % kLoopCount + 1;
  const std::uint32_t h = mix(std::uint32_t(number) * 0x9E3779B9U);
  LoopRecipe r;
  r.number = number;
  r.seed = h | 1U;
  // Tempo and peak walk through their tables with coprime strides so every pairing occurs.
  r.bpm = kTempos[std::size_t(number * 5) % kTempos.size()];
  r.peakDbfs = kPeaks[std::size_t(number * 3) % kPeaks.size()];
  r.bars = barsFor(r.bpm, 6.5 + double((h >> 4) % 56) / 10.0);
  r.rootNote = 36 + int((h >> 10) % 12);
  r.minor = ((h >> 14) & 3) != 0;
  r.progression = int((h >> 16) % 4);
  r.groove = int((h >> 18) % 4);
  r.swing = ((h >> 20) & 7) == 0;
  r.dynamics = Dynamics((h >> 21) % 4);
  r.width = std::array<float, 5>{0.0f, 0.5f, 1.0f, 1.0f, 1.5f}[(h >> 23) % 5];
  // Every fourth loop leaves out one element so some are drums only, some drumless, etc.
  r.drums = 1.0f;
  r.bass = 0.8f;
  r.chords = 0.55f;
  r.lead = 0.6f;
  switch (number % 8) {
    case 0:
      r.drums = 0.0f;
      break;  // pads, bass and voice
    case 4:
      r.chords = 0.0f;
      r.lead = 0.0f;
      break;  // drums and bass
    case 6:
      r.bass = 0.0f;
      r.drums = 1.3f;
      break;  // drums, chords and voice
    default:
      break;
  }
  if (number % 16 == 2) {  // drums only, loud transients
    r.bass = r.chords = r.lead = 0.0f;
  }
  // A breakdown takes the drums out of the second half; a loop of drums alone would fall silent
  // there for seconds on every pass, so it drops back to a quiet second half instead.
  if (r.dynamics == Dynamics::breakdown && r.bass == 0.0f && r.chords == 0.0f && r.lead == 0.0f)
    r.dynamics = Dynamics::fadeDown;
  return r;
}

}  // namespace loops

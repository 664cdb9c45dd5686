// What each of the application's 80 audio loops is made of: tempo, length in whole bars, key,
// which instruments play and how loud, the stereo image and the peak level the loop is scaled
// to. A recipe is a pure function of the loop's number, so every build makes the same loops.
// Threads: [any].
#pragma once

#include <cstdint>

namespace loops {

inline constexpr int kLoopCount = 80;
inline constexpr double kSampleRate = 48000.0;

// How the level moves across the loop's bars.
enum class Dynamics : std::uint8_t {
  steady,     // every bar at the same level
  crescendo,  // the first half quiet, the second loud
  fadeDown,   // the first half loud, the second quiet
  breakdown,  // drums drop out in the second half and the bar before the end; never drums alone
};

struct LoopRecipe {
  int number = 1;      // 1 ... 80
  double bpm = 120.0;  // divides 2,880,000, so a beat is a whole number of frames
  int bars = 4;        // 4/4 bars; the loop is bars x 4 beats long
  int rootNote = 45;   // MIDI note of the key's root (bass register)
  bool minor = true;
  int progression = 0;  // index into the chord progressions
  int groove = 0;       // drum pattern
  bool swing = false;   // 16ths pushed late by a third of a step
  float drums = 1.0f;   // element levels (linear, 0 = the element is silent)
  float bass = 1.0f;
  float chords = 1.0f;
  float lead = 1.0f;
  float width = 1.0f;      // 0 = mono image, 1 = normal, up to 1.5 = wide
  float peakDbfs = -1.0f;  // the loop's sample peak after scaling
  Dynamics dynamics = Dynamics::steady;
  std::uint32_t seed = 1;  // melody and noise

  std::int64_t beatFrames() const { return std::int64_t(kSampleRate * 60.0 / bpm); }
  std::int64_t frames() const { return beatFrames() * 4 * bars; }
};

// The recipe of loop `number` (1 ... 80; other numbers wrap into that range).
LoopRecipe recipeFor(int number);

}  // namespace loops

// Test-only entry points of the engine player: its engine (to switch on manual rendering), a
// seed for the file choice and a look at its MIDI queue. Built into kov_engine_player_testing, which only
// tests link.
#pragma once

#include <cstdint>
#include <memory>

#include "AUEnginePlayer.h"

struct AUEnginePlayerTesting {
  static const std::shared_ptr<AVAudioEngine>& engine(const AUEnginePlayer& player);
  // Seeds the random choice of the next loop file. [main]
  static void seed(AUEnginePlayer& player, std::uint64_t seed);
  // True while MIDI events from the output block wait to be printed. [main]
  static bool midiEventsPending(const AUEnginePlayer& player);
};

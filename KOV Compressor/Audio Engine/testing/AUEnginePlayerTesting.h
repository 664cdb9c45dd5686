// Test-only entry points of the engine player: its engine (to switch on manual rendering) and a
// seed for the file choice. Built into kov_engine_player_testing, which only tests link.
#pragma once

#include <cstdint>
#include <memory>

#include "AUEnginePlayer.h"

struct AUEnginePlayerTesting {
  static const std::shared_ptr<AVAudioEngine>& engine(const AUEnginePlayer& player);
  // Seeds the random choice of the next loop file. [main]
  static void seed(AUEnginePlayer& player, std::uint64_t seed);
};

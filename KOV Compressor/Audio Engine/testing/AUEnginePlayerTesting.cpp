#include "AUEnginePlayerTesting.h"

const std::shared_ptr<AVAudioEngine>& AUEnginePlayerTesting::engine(const AUEnginePlayer& player) {
  return player.engine_;
}

void AUEnginePlayerTesting::seed(AUEnginePlayer& player, std::uint64_t seed) {
  player.random_.seed(seed);
}

bool AUEnginePlayerTesting::midiEventsPending(const AUEnginePlayer& player) {
  return player.midiEvents_->hasPending();
}

// The manager's calls, forwarded to the application's engine player.
#include "AUEnginePlayerCalls.h"

#include "AUEnginePlayer.h"

std::shared_ptr<AUEnginePlayer> makeEnginePlayer() {
  return std::make_shared<AUEnginePlayer>();
}

void connectEnginePlayer(AUEnginePlayer& player, std::shared_ptr<AVAudioUnit> avAudioUnit,
                         std::function<void()> completion) {
  player.connect(std::move(avAudioUnit), std::move(completion));
}

bool toggleEnginePlayer(AUEnginePlayer& player) {
  return player.toggle();
}

void finalizeEnginePlayer(AUEnginePlayer& player) {
  player.finalize();
}

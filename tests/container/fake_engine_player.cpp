// The manager's calls into the engine player, answered by the stand-in.
#include "fake_engine_player.h"
#include "AUEnginePlayerCalls.h"

std::shared_ptr<AUEnginePlayer> makeEnginePlayer() {
  return std::make_shared<AUEnginePlayer>();
}

void connectEnginePlayer(AUEnginePlayer& player, std::shared_ptr<AVAudioUnit> avAudioUnit,
                         std::function<void()> completion) {
  player.connected.push_back(std::move(avAudioUnit));
  completion();
}

bool toggleEnginePlayer(AUEnginePlayer& player) {
  return player.playing = !player.playing;
}

void finalizeEnginePlayer(AUEnginePlayer& player) {
  ++player.finalizeCalls;
}

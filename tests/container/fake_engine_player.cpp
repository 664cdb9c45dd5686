// The manager's calls into the engine player, answered by the stand-in.
#include "fake_engine_player.h"

void FakeEnginePlayer::connect(std::shared_ptr<AVAudioUnit> avAudioUnit, std::function<void()> completion) {
  connected.push_back(std::move(avAudioUnit));
  completion();
}

bool FakeEnginePlayer::toggle() {
  return playing = !playing;
}

void FakeEnginePlayer::finalize() {
  ++finalizeCalls;
}

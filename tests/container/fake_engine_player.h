// A stand-in for the application's engine player: records what the effect manager asks of it and
// finishes a connection at once, on the calling thread. [main]
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "AUEnginePlayerCalls.h"
#include "AVFoundation/AVAudioNode.h"

class FakeEnginePlayer : public AUEnginePlayerCalls {
 public:
  void connect(std::shared_ptr<AVAudioUnit> avAudioUnit, std::function<void()> completion) override;
  bool toggle() override;
  void finalize() override;

  std::vector<std::shared_ptr<AVAudioUnit>> connected;
  int finalizeCalls = 0;
  bool playing = false;
};

// A stand-in for the application's engine player: records what the effect manager asks of it and
// finishes a connection at once, on the calling thread. [main]
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "AVFoundation/AVAudioNode.h"

class AUEnginePlayer {
 public:
  std::vector<std::shared_ptr<AVAudioUnit>> connected;
  int finalizeCalls = 0;
  bool playing = false;
};

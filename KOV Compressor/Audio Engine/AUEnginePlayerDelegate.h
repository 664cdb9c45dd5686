// What the engine player tells its delegate (the main screen). Held by the player strongly.
#pragma once

#include <cstdint>
#include <string>

class AUEnginePlayerDelegate {
 public:
  virtual ~AUEnginePlayerDelegate() = default;
  // After a start (true) or a stop (false) that changed the state. [main queue]
  virtual void onPlayerStateChanged(bool playing) = 0;
  // After a file was opened; the file-system path of the file. [the thread that called start()]
  virtual void onFileSelect(const std::string& file) = 0;
  // Each time the file has played to its end while playing: the passes before this one
  // (0 for the first). [main queue]
  virtual void onLoop(std::int64_t count) = 0;
};

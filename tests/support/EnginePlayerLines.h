// The lines the engine player prints when a toggle starts it with an effect attached: the loop
// file `path` is selected, player -> effect -> mixer are wired again (the "2" is the file's
// channel count), the file's path, then the session and the engine start. Shared by the player's
// own tests and the application's, which see the same lines through its main screen.
#pragma once

#include <string>
#include <vector>

namespace engine_player_lines {

inline std::vector<std::string> startedWith(const std::string& path) {
  return {
      "AUEnginePlayer: Audio file at '" + path + "' was selected for loading into the player.",
      "AUEnginePlayer: Player was (temporarily) disconnecting from the main mixer.",
      "AUEnginePlayer: Audio unit was (temporarily) disconnecting from the player.",
      "2",
      "AUEnginePlayer: Audio unit re-connecting to the player.",
      "AUEnginePlayer: Audio unit re-connectingto the main mixer.",
      path,
      "AUEnginePlayer: Audio session was set active.",
      "AUEnginePlayer: Audio engine starting.",
  };
}

}  // namespace engine_player_lines

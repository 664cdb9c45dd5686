// The four things the effect manager asks of the engine player, as free functions: the manager
// builds (and is tested) without the player itself; AUEnginePlayerCalls.cpp forwards them to
// AUEnginePlayer in the application. [main] unless the player says otherwise.
#pragma once

#include <functional>
#include <memory>

class AUEnginePlayer;
class AVAudioUnit;

// AUEnginePlayer() — a new player.
std::shared_ptr<AUEnginePlayer> makeEnginePlayer();
// connect(avAudioUnit:completion:) — attaches the effect; calls `completion` when rewired.
void connectEnginePlayer(AUEnginePlayer& player, std::shared_ptr<AVAudioUnit> avAudioUnit,
                         std::function<void()> completion);
// toggle() — starts when stopped, stops when playing; the playing state afterwards.
bool toggleEnginePlayer(AUEnginePlayer& player);
// finalize()
void finalizeEnginePlayer(AUEnginePlayer& player);

// AUPeakLimiter: owns one instance of the system peak-limiter effect ('aufx', 'lmtr', 'appl'),
// made as an effect node outside any engine, and keeps the limiter's three parameters as
// range-limited properties that are pushed into the system unit on every write. It hands out the
// system unit so that an effect can run it as a final limiter stage; the wrapper itself never
// formats, allocates or renders the unit.
//
// Threads: construction and the parameter setters run on the host's control thread [main]; the
// wrapped unit's render block, which the owner takes, runs on the render thread, where no member
// of the wrapper runs. The diagnostics printers only read properties, on the calling thread, and
// hand their lines to the main queue.
#pragma once

#include <memory>
#include <string_view>

#include "AVFoundation/AVAudioEngine.h"
#include "AVFoundation/AVAudioNode.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AudioUnitParameters.h"

class AUPeakLimiter {
 public:
  // Parameter ids of the system limiter (global scope, element 0) and their bounds.
  static constexpr AudioUnitParameterID kAttackTimeID = 0;  // seconds
  static constexpr AudioUnitParameterID kDecayTimeID = 1;   // seconds
  static constexpr AudioUnitParameterID kPreGainID = 2;     // decibels
  static constexpr double kAttackTimeMin = 0.001, kAttackTimeMax = 0.03;
  static constexpr double kDecayTimeMin = 0.001, kDecayTimeMax = 0.06;
  static constexpr double kPreGainMin = -40.0, kPreGainMax = 40.0;

  // Makes the system limiter and pushes the defaults 0.012 s, 0.024 s and 0 dB into it, then
  // prints "System Peak Limiter AudioUnit created and initialized."; when the platform cannot
  // make the limiter, prints "ERROR: Unit (peak limiter) not initialized." instead. [main]
  AUPeakLimiter();
  AUPeakLimiter(const AUPeakLimiter&) = delete;
  AUPeakLimiter& operator=(const AUPeakLimiter&) = delete;

  // The system limiter node; present after construction. Replacing it pushes nothing.
  std::shared_ptr<AVAudioUnitEffect> internalEffect;

  // The system limiter's unit: the same object on every read, null only without a node. [main]
  std::shared_ptr<AUAudioUnit> auAudioUnit() const;

  // Each write stores the value limited to its bounds (NaN counts as within them and is sent
  // as it is) and sends it to the system unit, also when it is the value already stored. [main]
  double attackTime() const { return attackTime_; }
  void setAttackTime(double seconds);
  double decayTime() const { return decayTime_; }
  void setDecayTime(double seconds);
  double preGain() const { return preGain_; }
  void setPreGain(double decibels);

  // Self-test: attaches the limiter node to a new private engine (kept afterwards), prints the
  // node's, unit's and buses' properties and detaches the node again. The bus is not used.
  // Progress lines print at once; the diagnostics lines later, on the main queue. [main]
  void run(const std::shared_ptr<AUAudioUnitBus>& bus);

  // The diagnostics printers: every line goes through `safeprint`. [main]
  void nodeDiagnostics();
  void unitDiagnostics(const std::shared_ptr<AUAudioUnit>& unit);
  void busDiagnostics(const std::shared_ptr<AUAudioUnitBus>& bus, NSInteger index);

  // Hands one line to the main queue and returns at once, as the toolkit's safeprint does. [any]
  void safeprint(std::string_view text) const;

 private:
  friend struct PeakLimiterTestAccess;  // tests read the self-test's engine
  AudioUnit internalAU() const;
  void create();
  void initialize();
  // Stores `value` limited to [lower, upper] in `stored` and sends it as parameter `id`.
  void write(double& stored, double value, double lower, double upper, AudioUnitParameterID id);

  const AudioComponentDescription cd{FourCC("aufx"), FourCC("lmtr"), FourCC("appl"), 0, 0};
  std::shared_ptr<AVAudioEngine> engine;
  double attackTime_ = 0.012;
  double decayTime_ = 0.024;
  double preGain_ = 0.0;
};

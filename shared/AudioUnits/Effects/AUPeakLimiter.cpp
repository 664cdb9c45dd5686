#include "AUPeakLimiter.h"

#include "Foundation/Print.h"
#include "Logging.h"

AUPeakLimiter::AUPeakLimiter() {
  create();
  initialize();
}

std::shared_ptr<AUAudioUnit> AUPeakLimiter::auAudioUnit() const {
  return internalEffect ? internalEffect->auAudioUnit() : nullptr;
}

AudioUnit AUPeakLimiter::internalAU() const {
  return internalEffect ? internalEffect->audioUnit() : nullptr;
}

void AUPeakLimiter::create() {
  internalEffect = std::make_shared<AVAudioUnitEffect>(cd);
}

void AUPeakLimiter::initialize() {
  AudioUnit unit = internalAU();
  if (!unit) {
    print("ERROR: Unit (peak limiter) not initialized.");
    return;
  }
  // The initial values go in as they are: they lie within their bounds.
  AudioUnitSetParameter(unit, kAttackTimeID, kAudioUnitScope_Global, 0, float(attackTime_), 0);
  AudioUnitSetParameter(unit, kDecayTimeID, kAudioUnitScope_Global, 0, float(decayTime_), 0);
  AudioUnitSetParameter(unit, kPreGainID, kAudioUnitScope_Global, 0, float(preGain_), 0);
  print("System Peak Limiter AudioUnit created and initialized.");
}

void AUPeakLimiter::write(double& stored, double value, double lower, double upper, AudioUnitParameterID id) {
  stored = value;
  if (stored < lower)
    stored = lower;
  if (upper < stored)
    stored = upper;
  if (AudioUnit unit = internalAU()) {
    AudioUnitSetParameter(unit, id, kAudioUnitScope_Global, 0, float(stored), 0);
  }
}

void AUPeakLimiter::setAttackTime(double seconds) {
  write(attackTime_, seconds, kAttackTimeMin, kAttackTimeMax, kAttackTimeID);
}

void AUPeakLimiter::setDecayTime(double seconds) {
  write(decayTime_, seconds, kDecayTimeMin, kDecayTimeMax, kDecayTimeID);
}

void AUPeakLimiter::setPreGain(double decibels) {
  write(preGain_, decibels, kPreGainMin, kPreGainMax, kPreGainID);
}

void AUPeakLimiter::safeprint(std::string_view text) const {
  ::safeprint(text);
}

void AUPeakLimiter::run(const std::shared_ptr<AUAudioUnitBus>& /*bus*/) {
  if (!internalAU()) {
    print("ERROR: Unit (peak limiter) not initialized.");
    return;
  }
  print("CREATING AVAUDIO ENGINE ..");
  engine = std::make_shared<AVAudioEngine>();
  if (!engine) {
    print("ERROR: Could not initialize internal audio engine.");
    return;
  }
  print("ATTACHING EFFECT ..");
  engine->attachNode(internalEffect);
  nodeDiagnostics();
  print("DETACHING EFFECT ..");
  engine->detachNode(internalEffect);
}

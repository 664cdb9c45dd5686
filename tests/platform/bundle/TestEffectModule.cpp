// The module of the test effect bundle. Its principal class makes a unit and keeps it, as an
// extension's view controller does; the unit's short name tells the tests which object made it
// and which resource folder Bundle.main answered inside the module:
// "<maker's address> <resource folder>".
#include <memory>
#include <string>

#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AUAudioUnitFactory.h"
#include "Foundation/Bundle.h"

namespace {

class TestEffectUnit : public AUAudioUnit {
 public:
  TestEffectUnit(const AudioComponentDescription& desc, std::string shortName)
      : AUAudioUnit(desc), shortName_(std::move(shortName)) {}
  std::optional<std::string> audioUnitShortName() const override { return shortName_; }

 private:
  std::string shortName_;
};

class TestEffectPrincipal : public AUAudioUnitFactory {
 public:
  std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& desc) override {
    // The component 'tbn3' refuses, so that the tests see an error come back through the registry.
    if (desc.componentSubType == FourCC("tbn3"))
      throw NSError(NSOSStatusErrorDomain, -4711, "test effect refused");
    const auto resources = Bundle::main().resourcePath();
    audioUnit_ = std::make_shared<TestEffectUnit>(
        desc, describeAddress(static_cast<AUAudioUnitFactory*>(this)) + " " + resources.value_or("(none)"));
    return audioUnit_;
  }

 private:
  std::shared_ptr<AUAudioUnit> audioUnit_;  // owned, as the editor owns its unit
};

}  // namespace

std::shared_ptr<AUAudioUnitFactory> kov_principal_class_create() {
  return std::make_shared<TestEffectPrincipal>();
}

// AVAudioUnit.instantiate(with:options:completionHandler:).
#include "AVFoundation/AVAudioNode.h"
#include "Dispatch/DispatchQueue.h"

namespace {

// Nodes for units made already (their constructors are not public).
struct InstantiatedUnit : AVAudioUnit {
  InstantiatedUnit(const AudioComponentDescription& d, std::shared_ptr<AUAudioUnit> u)
      : AVAudioUnit(d, std::move(u)) {}
};
struct InstantiatedEffect : AVAudioUnitEffect {
  InstantiatedEffect(const AudioComponentDescription& d, std::shared_ptr<AUAudioUnit> u)
      : AVAudioUnitEffect(d, std::move(u)) {}
};

}  // namespace

void AVAudioUnit::instantiate(const AudioComponentDescription& audioComponentDescription,
                              AudioComponentInstantiationOptions options,
                              InstantiationHandler completionHandler) {
  // The whole making runs on the main thread: a principal class is usually a view controller,
  // and the handler's caller expects the main queue.
  DispatchQueue::main().async([desc = audioComponentDescription, options,
                               handler = std::move(completionHandler)] {
    std::shared_ptr<NSError> error;
    auto unit = AUAudioUnit::instantiate(desc, options, &error);
    std::shared_ptr<AVAudioUnit> node;
    if (unit) {
      // The node describes the component found, not the search.
      const AudioComponentDescription found = unit->componentDescription();
      if (found.componentType == kAudioUnitType_Effect || found.componentType == kAudioUnitType_MusicEffect)
        node = std::make_shared<InstantiatedEffect>(found, std::move(unit));
      else
        node = std::make_shared<InstantiatedUnit>(found, std::move(unit));
    }
    if (handler)
      handler(std::move(node), std::move(error));
  });
}

#include "KOVPreset.h"

#include "AudioToolbox/AUParameters.h"
#include "Foundation/Print.h"

namespace {
// One registration per thread: a restore registers its unit and reads on the same thread.
thread_local std::weak_ptr<KOVPresetDelegate> registeredDelegate;

// Appends one preset group per group child of `node`, each followed by its own nested groups.
void appendGroups(PresetPatch& patch, const AUParameterGroup& node) {
  for (const std::shared_ptr<AUParameterNode>& child : node.children()) {
    const auto childGroup = std::dynamic_pointer_cast<AUParameterGroup>(child);
    if (!childGroup)
      continue;  // parameters directly in the tree are not recorded
    auto group = std::make_shared<PresetGroup>();
    group->identifier = childGroup->identifier();
    for (const std::shared_ptr<AUParameter>& parameter : childGroup->allParameters()) {
      auto param = std::make_shared<PresetParam>();
      param->address = parameter->address();
      param->identifier = parameter->identifier();
      param->value = parameter->value();
      group->params.push_back(std::move(param));
    }
    patch.groups.push_back(std::move(group));
    appendGroups(patch, *childGroup);
  }
}
}  // namespace

void KOVPreset::foundParameter(NSInteger group, const std::string& identifier, AUParameterAddress address,
                               AUValue value) {
  if (const std::shared_ptr<KOVPresetDelegate> target = registeredDelegate.lock()) {
    target->onFoundParameter(group, identifier, address, value);
  }
}

std::shared_ptr<KOVPresetDelegate> KOVPreset::delegate() {
  return registeredDelegate.lock();
}

void KOVPreset::setDelegate(const std::shared_ptr<KOVPresetDelegate>& delegate) {
  registeredDelegate = delegate;
}

void KOVPreset::makeFrom(const std::shared_ptr<AUParameterGroup>& tree) {
  if (!tree) {
    print("PresetPatch: The parameter group has no children.");
    return;
  }
  appendGroups(*patch, *tree);
}

void KOVPreset::makeFrom(const std::optional<PropertyList::Dictionary>& state) {
  if (state)
    patch->fromDictionary(*state);
}

std::optional<PropertyList::Dictionary> KOVPreset::getDictionary() const {
  return patch->toDictionary();
}

void KOVPreset::save(const URL& url) const {
  patch->saveToFile(url);
}

void KOVPreset::load(const URL& url) {
  patch->loadFromFile(url);
}

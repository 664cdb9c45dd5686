#include "AudioToolbox/AUParameters.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "AudioToolbox/AudioComponent.h"

// ---- AUParameterNode ------------------------------------------------------------------------

AUParameterNode::AUParameterNode(std::string identifier, std::string displayName)
    : identifier_(std::move(identifier)), displayName_(std::move(displayName)) {}

AUParameterNode::~AUParameterNode() {
  observers_.read([](const ObserverList& list) {
    for (const auto& observer : list)
      delete static_cast<char*>(observer.token);
  });
}

std::string AUParameterNode::keyPath() const {
  std::string path = identifier_;
  for (auto group = parentNode(); group && group->parentNode(); group = group->parentNode())
    path = group->identifier() + "." + path;
  return path;
}

// Tokens are the addresses of heap cells owned by the observer list entries' lifetime: a unique,
// never-null value per added observer. The cell is freed when the observer is removed.
AUParameterObserverToken AUParameterNode::tokenByAddingParameterObserver(AUParameterObserver observer) {
  AUParameterObserverToken token = new char;
  observers_.update([&](ObserverList& list) { list.push_back(Observer{token, std::move(observer)}); });
  return token;
}

void AUParameterNode::removeParameterObserver(AUParameterObserverToken token) {
  const bool known = observers_.read([token](const ObserverList& list) {
    for (const auto& observer : list)
      if (observer.token == token)
        return true;
    return false;
  });
  if (!known)
    return;
  observers_.update([token](ObserverList& list) {
    for (auto it = list.begin(); it != list.end(); ++it)
      if (it->token == token) {
        list.erase(it);
        break;
      }
  });
  // Readers only compare tokens, never follow them: the cell can go at once.
  delete static_cast<char*>(token);
}

void AUParameterNode::setImplementorValueObserver(AUImplementorValueObserver observer) {
  callbacks_.update([&](Callbacks& c) { c.valueObserver = std::move(observer); });
}
void AUParameterNode::setImplementorValueProvider(AUImplementorValueProvider provider) {
  callbacks_.update([&](Callbacks& c) { c.valueProvider = std::move(provider); });
}
void AUParameterNode::setImplementorStringFromValueCallback(AUImplementorStringFromValueCallback callback) {
  callbacks_.update([&](Callbacks& c) { c.stringFromValue = std::move(callback); });
}
void AUParameterNode::setImplementorValueFromStringCallback(AUImplementorValueFromStringCallback callback) {
  callbacks_.update([&](Callbacks& c) { c.valueFromString = std::move(callback); });
}

AUImplementorValueObserver AUParameterNode::implementorValueObserver() const {
  return callbacks_.read([](const Callbacks& c) { return c.valueObserver; });
}
AUImplementorValueProvider AUParameterNode::implementorValueProvider() const {
  return callbacks_.read([](const Callbacks& c) { return c.valueProvider; });
}
AUImplementorStringFromValueCallback AUParameterNode::implementorStringFromValueCallback() const {
  return callbacks_.read([](const Callbacks& c) { return c.stringFromValue; });
}
AUImplementorValueFromStringCallback AUParameterNode::implementorValueFromStringCallback() const {
  return callbacks_.read([](const Callbacks& c) { return c.valueFromString; });
}

// ---- AUParameter ----------------------------------------------------------------------------

namespace {
// The shortest text that reads back as the same float, with at least one decimal ("0.1", "1.0").
std::string numberText(AUValue v) {
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, double(v));
    if (std::strtof(text, nullptr) == v)
      break;
  }
  std::string result = text;
  if (std::isfinite(v) && result.find_first_of(".e") == std::string::npos)
    result += ".0";
  return result;
}
}  // namespace

AUParameter::AUParameter(std::string identifier, std::string name, AUParameterAddress address, AUValue min,
                         AUValue max, AudioUnitParameterUnit unit, std::optional<std::string> unitName,
                         AudioUnitParameterOptions flags,
                         std::optional<std::vector<std::string>> valueStrings,
                         std::optional<std::vector<NSInteger>> dependentParameters)
    : AUParameterNode(std::move(identifier), std::move(name)),
      address_(address),
      minValue_(min),
      maxValue_(max),
      unit_(unit),
      unitName_(std::move(unitName)),
      flags_(flags),
      valueStrings_(std::move(valueStrings)),
      dependentParameters_(std::move(dependentParameters)),
      value_(min) {}

template <typename Pick, typename Use>
bool AUParameter::withNearestCallback(Pick pick, Use use) const {
  auto visit = [&](const AUParameterNode& node) {
    return node.callbacks_.read([&](const Callbacks& c) {
      const auto& callback = *pick(c);
      if (!callback)
        return false;
      use(callback);
      return true;
    });
  };
  if (visit(*this))
    return true;
  for (auto group = parentNode(); group; group = group->parentNode())
    if (visit(*group))
      return true;
  return false;
}

AUValue AUParameter::value() const {
  AUValue provided = 0.0f;
  if (withNearestCallback([](const Callbacks& c) { return &c.valueProvider; },
                          [&](const AUImplementorValueProvider& provider) {
                            provided = provider(const_cast<AUParameter*>(this));
                          }))
    return provided;
  return value_.load(std::memory_order_relaxed);
}

void AUParameter::setValue(AUValue value, AUParameterObserverToken originator) {
  value_.store(value, std::memory_order_relaxed);
  withNearestCallback([](const Callbacks& c) { return &c.valueObserver; },
                      [&](const AUImplementorValueObserver& observer) { observer(this, value); });
  // This parameter's observers, then each enclosing group's, up to the tree.
  auto notify = [&](const AUParameterNode& node) {
    node.observers_.read([&](const ObserverList& list) {
      for (const auto& entry : list)
        if (entry.token != originator)
          entry.callback(address_, value);
    });
  };
  notify(*this);
  for (auto group = parentNode(); group; group = group->parentNode())
    notify(*group);
}

std::string AUParameter::stringFromValue(const AUValue* value) const {
  std::string text;
  if (withNearestCallback([](const Callbacks& c) { return &c.stringFromValue; },
                          [&](const AUImplementorStringFromValueCallback& callback) {
                            text = callback(const_cast<AUParameter*>(this), value);
                          }))
    return text;
  const AUValue v = value ? *value : this->value();
  if (valueStrings_ && unit_ == kAudioUnitParameterUnit_Indexed && std::isfinite(v)) {
    const double index = std::nearbyint(double(v) - double(minValue_));
    if (index >= 0 && index < double(valueStrings_->size()))
      return (*valueStrings_)[std::size_t(index)];
  }
  return numberText(v);
}

AUValue AUParameter::valueFromString(const std::string& string) const {
  AUValue parsed = 0.0f;
  if (withNearestCallback([](const Callbacks& c) { return &c.valueFromString; },
                          [&](const AUImplementorValueFromStringCallback& callback) {
                            parsed = callback(const_cast<AUParameter*>(this), string);
                          }))
    return parsed;
  if (valueStrings_) {
    for (std::size_t i = 0; i < valueStrings_->size(); ++i)
      if ((*valueStrings_)[i] == string)
        return minValue_ + AUValue(i);
  }
  char* end = nullptr;
  const float number = std::strtof(string.c_str(), &end);
  return end == string.c_str() ? 0.0f : number;
}

std::string AUParameter::description() const {
  return "<AUParameter: " + describeAddress(this) + "> '" + identifier() + "' \"" + displayName() + "\" @" +
         std::to_string(address_) + " = " + numberText(value());
}

// ---- AUParameterGroup -----------------------------------------------------------------------

AUParameterGroup::AUParameterGroup(std::string identifier, std::string name)
    : AUParameterNode(std::move(identifier), std::move(name)) {}

void AUParameterGroup::adoptChildren(std::vector<std::shared_ptr<AUParameterNode>> children) {
  auto self = std::static_pointer_cast<AUParameterGroup>(shared_from_this());
  for (auto& child : children) {
    if (!child || !child->parent_.expired() || child.get() == this)
      continue;
    child->parent_ = self;
    children_.push_back(std::move(child));
  }
}

std::vector<std::shared_ptr<AUParameter>> AUParameterGroup::allParameters() const {
  std::vector<std::shared_ptr<AUParameter>> result;
  for (const auto& child : children_) {
    if (auto parameter = std::dynamic_pointer_cast<AUParameter>(child)) {
      result.push_back(std::move(parameter));
    } else if (auto group = std::dynamic_pointer_cast<AUParameterGroup>(child)) {
      auto nested = group->allParameters();
      result.insert(result.end(), nested.begin(), nested.end());
    }
  }
  return result;
}

std::string AUParameterGroup::description() const {
  return "<AUParameterGroup: " + describeAddress(this) + "> '" + identifier() + "' \"" + displayName() +
         "\" " + std::to_string(children_.size()) + " children, " + std::to_string(allParameters().size()) +
         " parameters";
}

// ---- AUParameterTree ------------------------------------------------------------------------

AUParameterTree::AUParameterTree() : AUParameterGroup("", "") {}

std::shared_ptr<AUParameter> AUParameterTree::createParameterWithIdentifier(
    std::string identifier, std::string name, AUParameterAddress address, AUValue min, AUValue max,
    AudioUnitParameterUnit unit, std::optional<std::string> unitName, AudioUnitParameterOptions flags,
    std::optional<std::vector<std::string>> valueStrings,
    std::optional<std::vector<NSInteger>> dependentParameters) {
  return std::make_shared<AUParameter>(std::move(identifier), std::move(name), address, min, max, unit,
                                       std::move(unitName), flags, std::move(valueStrings),
                                       std::move(dependentParameters));
}

std::shared_ptr<AUParameterGroup> AUParameterTree::createGroupWithIdentifier(
    std::string identifier, std::string name, std::vector<std::shared_ptr<AUParameterNode>> children) {
  auto group = std::make_shared<AUParameterGroup>(std::move(identifier), std::move(name));
  group->adoptChildren(std::move(children));
  return group;
}

std::shared_ptr<AUParameterTree> AUParameterTree::createTreeWithChildren(
    std::vector<std::shared_ptr<AUParameterNode>> children) {
  auto tree = std::make_shared<AUParameterTree>();
  tree->adoptChildren(std::move(children));
  return tree;
}

namespace {
// Depth-first search without building the parameter list.
std::shared_ptr<AUParameter> findAddress(const AUParameterGroup& group, AUParameterAddress address) {
  for (const auto& child : group.children()) {
    if (auto* parameter = dynamic_cast<AUParameter*>(child.get())) {
      if (parameter->address() == address)
        return std::static_pointer_cast<AUParameter>(child);
    } else if (auto* nested = dynamic_cast<AUParameterGroup*>(child.get())) {
      if (auto found = findAddress(*nested, address))
        return found;
    }
  }
  return nullptr;
}
}  // namespace

std::shared_ptr<AUParameter> AUParameterTree::parameterWithAddress(AUParameterAddress address) const {
  return findAddress(*this, address);
}

std::shared_ptr<AUParameter> AUParameterTree::parameterWithID(AudioUnitParameterID paramID,
                                                              AudioUnitScope scope,
                                                              AudioUnitElement element) const {
  if (scope != kAudioUnitScope_Global || element != 0)
    return nullptr;
  return parameterWithAddress(paramID);
}

std::string AUParameterTree::description() const {
  std::string text = "<AUParameterTree: " + describeAddress(this) + "> " + std::to_string(children().size()) +
                     " children, " + std::to_string(allParameters().size()) + " parameters";
  return text;
}

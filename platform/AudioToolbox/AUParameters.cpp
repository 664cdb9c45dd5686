#include "AudioToolbox/AUParameters.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "AudioToolbox/AudioComponent.h"

// ---- AUParameterNode ------------------------------------------------------------------------

AUParameterNode::AUParameterNode(std::string identifier, std::string displayName)
    : identifier_(std::move(identifier)),
      displayName_(std::move(displayName)),
      observers_(std::make_shared<const ObserverList>()),
      callbacks_(std::make_shared<const Callbacks>()) {}

AUParameterNode::~AUParameterNode() {
  for (const auto& observer : *observers_.load(std::memory_order_acquire)) delete static_cast<char*>(observer.token);
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
  auto current = observers_.load(std::memory_order_acquire);
  auto next = std::make_shared<ObserverList>(*current);
  next->push_back(Observer{token, std::move(observer)});
  observers_.store(std::move(next), std::memory_order_release);
  return token;
}

void AUParameterNode::removeParameterObserver(AUParameterObserverToken token) {
  auto current = observers_.load(std::memory_order_acquire);
  auto next = std::make_shared<ObserverList>();
  bool found = false;
  for (const auto& observer : *current) {
    if (observer.token == token)
      found = true;
    else
      next->push_back(observer);
  }
  if (!found) return;
  observers_.store(std::move(next), std::memory_order_release);
  delete static_cast<char*>(token);
}

void AUParameterNode::updateCallbacks(const std::function<void(Callbacks&)>& change) {
  auto next = std::make_shared<Callbacks>(*callbacks_.load(std::memory_order_acquire));
  change(*next);
  callbacks_.store(std::move(next), std::memory_order_release);
}

void AUParameterNode::setImplementorValueObserver(AUImplementorValueObserver observer) {
  updateCallbacks([&](Callbacks& c) { c.valueObserver = std::move(observer); });
}
void AUParameterNode::setImplementorValueProvider(AUImplementorValueProvider provider) {
  updateCallbacks([&](Callbacks& c) { c.valueProvider = std::move(provider); });
}
void AUParameterNode::setImplementorStringFromValueCallback(AUImplementorStringFromValueCallback callback) {
  updateCallbacks([&](Callbacks& c) { c.stringFromValue = std::move(callback); });
}
void AUParameterNode::setImplementorValueFromStringCallback(AUImplementorValueFromStringCallback callback) {
  updateCallbacks([&](Callbacks& c) { c.valueFromString = std::move(callback); });
}

AUImplementorValueObserver AUParameterNode::implementorValueObserver() const { return callbacks()->valueObserver; }
AUImplementorValueProvider AUParameterNode::implementorValueProvider() const { return callbacks()->valueProvider; }
AUImplementorStringFromValueCallback AUParameterNode::implementorStringFromValueCallback() const {
  return callbacks()->stringFromValue;
}
AUImplementorValueFromStringCallback AUParameterNode::implementorValueFromStringCallback() const {
  return callbacks()->valueFromString;
}

// ---- AUParameter ----------------------------------------------------------------------------

AUParameter::AUParameter(std::string identifier, std::string name, AUParameterAddress address, AUValue min,
                         AUValue max, AudioUnitParameterUnit unit, std::optional<std::string> unitName,
                         AudioUnitParameterOptions flags, std::optional<std::vector<std::string>> valueStrings,
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

// The first callback that `pick` finds non-empty on this parameter or an enclosing group. The
// returned snapshot keeps the callback alive while it runs; nothing is copied or allocated.
template <typename Pick>
AUParameter::Found<Pick> AUParameter::nearestCallback(Pick pick) const {
  auto snapshot = callbacks();
  if (*pick(*snapshot)) return {std::move(snapshot), pick};
  for (auto group = parentNode(); group; group = group->parentNode()) {
    auto groupCallbacks = group->callbacks();
    if (*pick(*groupCallbacks)) return {std::move(groupCallbacks), pick};
  }
  return {nullptr, pick};
}

AUValue AUParameter::value() const {
  auto provider = nearestCallback([](const Callbacks& c) { return &c.valueProvider; });
  if (provider) return (*provider)(const_cast<AUParameter*>(this));
  return value_.load(std::memory_order_relaxed);
}

void AUParameter::setValue(AUValue value, AUParameterObserverToken originator) {
  value_.store(value, std::memory_order_relaxed);
  auto observer = nearestCallback([](const Callbacks& c) { return &c.valueObserver; });
  if (observer) (*observer)(this, value);
  // This parameter's observers, then each enclosing group's, up to the tree.
  auto notify = [&](const AUParameterNode& node) {
    auto list = node.observers_.load(std::memory_order_acquire);
    for (const auto& entry : *list)
      if (entry.token != originator) entry.callback(address_, value);
  };
  notify(*this);
  for (auto group = parentNode(); group; group = group->parentNode()) notify(*group);
}

std::string AUParameter::stringFromValue(const AUValue* value) const {
  auto callback = nearestCallback([](const Callbacks& c) { return &c.stringFromValue; });
  if (callback) return (*callback)(const_cast<AUParameter*>(this), value);
  const AUValue v = value ? *value : this->value();
  if (valueStrings_ && unit_ == kAudioUnitParameterUnit_Indexed && std::isfinite(v)) {
    const double index = std::nearbyint(double(v) - double(minValue_));
    if (index >= 0 && index < double(valueStrings_->size())) return (*valueStrings_)[std::size_t(index)];
  }
  // The shortest text that reads back as the same float, with at least one decimal.
  char text[32];
  for (int digits = 1; digits <= 9; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, double(v));
    if (std::strtof(text, nullptr) == v) break;
  }
  std::string result = text;
  if (std::isfinite(v) && result.find_first_of(".e") == std::string::npos) result += ".0";
  return result;
}

AUValue AUParameter::valueFromString(const std::string& string) const {
  auto callback = nearestCallback([](const Callbacks& c) { return &c.valueFromString; });
  if (callback) return (*callback)(const_cast<AUParameter*>(this), string);
  if (valueStrings_) {
    for (std::size_t i = 0; i < valueStrings_->size(); ++i)
      if ((*valueStrings_)[i] == string) return minValue_ + AUValue(i);
  }
  char* end = nullptr;
  const float parsed = std::strtof(string.c_str(), &end);
  return end == string.c_str() ? 0.0f : parsed;
}

std::string AUParameter::description() const {
  return "<AUParameter: " + describeAddress(this) + "> '" + identifier() + "' \"" + displayName() + "\" @" +
         std::to_string(address_) + " = " + stringFromValue(nullptr);
}

// ---- AUParameterGroup -----------------------------------------------------------------------

AUParameterGroup::AUParameterGroup(std::string identifier, std::string name)
    : AUParameterNode(std::move(identifier), std::move(name)) {}

void AUParameterGroup::adoptChildren(std::vector<std::shared_ptr<AUParameterNode>> children) {
  auto self = std::static_pointer_cast<AUParameterGroup>(shared_from_this());
  for (auto& child : children) {
    if (!child || !child->parent_.expired() || child.get() == this) continue;
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
  return "<AUParameterGroup: " + describeAddress(this) + "> '" + identifier() + "' \"" + displayName() + "\" " +
         std::to_string(children_.size()) + " children, " + std::to_string(allParameters().size()) + " parameters";
}

// ---- AUParameterTree ------------------------------------------------------------------------

AUParameterTree::AUParameterTree() : AUParameterGroup("", "") {}

std::shared_ptr<AUParameter> AUParameterTree::createParameterWithIdentifier(
    std::string identifier, std::string name, AUParameterAddress address, AUValue min, AUValue max,
    AudioUnitParameterUnit unit, std::optional<std::string> unitName, AudioUnitParameterOptions flags,
    std::optional<std::vector<std::string>> valueStrings, std::optional<std::vector<NSInteger>> dependentParameters) {
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
      if (parameter->address() == address) return std::static_pointer_cast<AUParameter>(child);
    } else if (auto* nested = dynamic_cast<AUParameterGroup*>(child.get())) {
      if (auto found = findAddress(*nested, address)) return found;
    }
  }
  return nullptr;
}
}  // namespace

std::shared_ptr<AUParameter> AUParameterTree::parameterWithAddress(AUParameterAddress address) const {
  return findAddress(*this, address);
}

std::shared_ptr<AUParameter> AUParameterTree::parameterWithID(AudioUnitParameterID paramID, AudioUnitScope scope,
                                                              AudioUnitElement element) const {
  if (scope != kAudioUnitScope_Global || element != 0) return nullptr;
  return parameterWithAddress(paramID);
}

std::string AUParameterTree::description() const {
  std::string text = "<AUParameterTree: " + describeAddress(this) + "> " + std::to_string(children().size()) +
                     " children, " + std::to_string(allParameters().size()) + " parameters";
  return text;
}

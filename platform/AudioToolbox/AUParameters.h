// The parameter tree of an audio unit: parameters (leaves), groups and the tree (the root
// group). Nodes are objects held by shared pointer; a node belongs to at most one group.
//
// Values and callbacks:
//  - `AUParameter::setValue` stores the value, then calls the implementor value observer (the
//    nearest one installed on the parameter or an enclosing group/tree) and then every
//    observer added with `tokenByAddingParameterObserver` — those of the parameter itself
//    first, then those of each enclosing group up to the tree, each list in the order the
//    observers were added. An observer whose token is the originator of the set is skipped.
//    Every set notifies, also when the value does not change.
//  - `AUParameter::value` asks the nearest implementor value provider when one is installed,
//    else returns the stored value.
//  - Callbacks run synchronously on the thread that sets or reads the value.
// Threads: values may be read and set on any thread [any], without locks: the value is an
// atomic float, and observer lists and callbacks are copies published for lock-free reading
// (PublishedValue). Adding or removing observers and installing callbacks is [main]
// (off the render thread; it allocates).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "AudioToolbox/CoreAudioTypes.h"
#include "RealTime/PublishedValue.h"

class AUParameter;
class AUParameterGroup;

// Identifies an added observer; null is never a valid token (a set with a null originator
// notifies everybody).
using AUParameterObserverToken = void*;

using AUParameterObserver = std::function<void(AUParameterAddress address, AUValue value)>;
using AUImplementorValueObserver = std::function<void(AUParameter* param, AUValue value)>;
using AUImplementorValueProvider = std::function<AUValue(AUParameter* param)>;
// `value` is null when the caller asks for the text of the current value.
using AUImplementorStringFromValueCallback =
    std::function<std::string(AUParameter* param, const AUValue* value)>;
using AUImplementorValueFromStringCallback =
    std::function<AUValue(AUParameter* param, const std::string& string)>;

class AUParameterNode : public std::enable_shared_from_this<AUParameterNode> {
 public:
  virtual ~AUParameterNode();
  AUParameterNode(const AUParameterNode&) = delete;
  AUParameterNode& operator=(const AUParameterNode&) = delete;

  const std::string& identifier() const { return identifier_; }    // [any]
  const std::string& displayName() const { return displayName_; }  // [any]
  // Identifiers of the enclosing groups (the tree excluded) and this node, joined by ".".
  std::string keyPath() const;  // [any]
  // The enclosing group or tree; null for a root. [any]
  std::shared_ptr<AUParameterGroup> parentNode() const { return parent_.lock(); }

  // Observers of every parameter at or below this node. [main]
  AUParameterObserverToken tokenByAddingParameterObserver(AUParameterObserver observer);
  // Removes the observer of that token from this node; unknown tokens are ignored. [main]
  void removeParameterObserver(AUParameterObserverToken token);

  // Implementor callbacks for the parameters at or below this node. Installing replaces the
  // previous callback; an empty function removes it. [main]
  void setImplementorValueObserver(AUImplementorValueObserver observer);
  void setImplementorValueProvider(AUImplementorValueProvider provider);
  void setImplementorStringFromValueCallback(AUImplementorStringFromValueCallback callback);
  void setImplementorValueFromStringCallback(AUImplementorValueFromStringCallback callback);
  // The callbacks installed on this node itself (empty when none). [any]
  AUImplementorValueObserver implementorValueObserver() const;
  AUImplementorValueProvider implementorValueProvider() const;
  AUImplementorStringFromValueCallback implementorStringFromValueCallback() const;
  AUImplementorValueFromStringCallback implementorValueFromStringCallback() const;

  // One-line description, e.g. "<AUParameter: 0x…> 'gain' "Gain" @3 = 0.5". [any]
  virtual std::string description() const = 0;

 protected:
  AUParameterNode(std::string identifier, std::string displayName);

 private:
  friend class AUParameter;
  friend class AUParameterGroup;
  struct Observer {
    AUParameterObserverToken token;
    AUParameterObserver callback;
  };
  using ObserverList = std::vector<Observer>;
  struct Callbacks {
    AUImplementorValueObserver valueObserver;
    AUImplementorValueProvider valueProvider;
    AUImplementorStringFromValueCallback stringFromValue;
    AUImplementorValueFromStringCallback valueFromString;
  };

  std::string identifier_;
  std::string displayName_;
  std::weak_ptr<AUParameterGroup> parent_;  // written once, before the node is shared
  PublishedValue<ObserverList> observers_;
  PublishedValue<Callbacks> callbacks_;
};

class AUParameter final : public AUParameterNode {
 public:
  // Made by AUParameterTree::createParameterWithIdentifier.
  AUParameter(std::string identifier, std::string name, AUParameterAddress address, AUValue min, AUValue max,
              AudioUnitParameterUnit unit, std::optional<std::string> unitName,
              AudioUnitParameterOptions flags, std::optional<std::vector<std::string>> valueStrings,
              std::optional<std::vector<NSInteger>> dependentParameters);

  AUParameterAddress address() const { return address_; }  // [any]
  AUValue minValue() const { return minValue_; }
  AUValue maxValue() const { return maxValue_; }
  AudioUnitParameterUnit unit() const { return unit_; }
  const std::optional<std::string>& unitName() const { return unitName_; }
  AudioUnitParameterOptions flags() const { return flags_; }
  const std::optional<std::vector<std::string>>& valueStrings() const { return valueStrings_; }
  const std::optional<std::vector<NSInteger>>& dependentParameters() const { return dependentParameters_; }

  // See the file comment. [any]
  AUValue value() const;
  void setValue(AUValue value) { setValue(value, nullptr); }
  void setValue(AUValue value, AUParameterObserverToken originator);

  // Display text of *value (or of the current value when null): the nearest implementor
  // string-from-value callback; else, for an indexed parameter with value strings, the string at
  // the rounded value (when in range); else the value in its shortest text form ("0.5"). [any]
  std::string stringFromValue(const AUValue* value) const;
  // The nearest implementor value-from-string callback; else the index of the text among the
  // value strings; else the text read as a number (0 when it is none). [any]
  AUValue valueFromString(const std::string& string) const;

  std::string description() const override;

 private:
  // Calls use(callback) with the first non-empty callback that pick(callbacks) points to on
  // this parameter or an enclosing group; false when there is none.
  template <typename Pick, typename Use>
  bool withNearestCallback(Pick pick, Use use) const;

  AUParameterAddress address_;
  AUValue minValue_;
  AUValue maxValue_;
  AudioUnitParameterUnit unit_;
  std::optional<std::string> unitName_;
  AudioUnitParameterOptions flags_;
  std::optional<std::vector<std::string>> valueStrings_;
  std::optional<std::vector<NSInteger>> dependentParameters_;
  std::atomic<AUValue> value_{0.0f};
};

class AUParameterGroup : public AUParameterNode {
 public:
  // Made by AUParameterTree::createGroupWithIdentifier.
  AUParameterGroup(std::string identifier, std::string name);

  // The direct children in order. [any]
  const std::vector<std::shared_ptr<AUParameterNode>>& children() const { return children_; }
  // Every parameter at or below this group, depth first in child order (a nested group's
  // parameters where the group stands). [any; allocates]
  std::vector<std::shared_ptr<AUParameter>> allParameters() const;

  std::string description() const override;

 protected:
  // Adopts the children (sets their parent). A child that already has a parent stays where it
  // was and is not adopted (a node belongs to one group).
  void adoptChildren(std::vector<std::shared_ptr<AUParameterNode>> children);

 private:
  friend class AUParameterTree;
  std::vector<std::shared_ptr<AUParameterNode>> children_;
};

class AUParameterTree final : public AUParameterGroup {
 public:
  // An empty tree.
  AUParameterTree();

  // createParameterWithIdentifier:name:address:min:max:unit:unitName:flags:valueStrings:
  // dependentParameters: — the value starts at min. [main]
  static std::shared_ptr<AUParameter> createParameterWithIdentifier(
      std::string identifier, std::string name, AUParameterAddress address, AUValue min, AUValue max,
      AudioUnitParameterUnit unit, std::optional<std::string> unitName, AudioUnitParameterOptions flags,
      std::optional<std::vector<std::string>> valueStrings,
      std::optional<std::vector<NSInteger>> dependentParameters);
  // createGroupWithIdentifier:name:children: [main]
  static std::shared_ptr<AUParameterGroup> createGroupWithIdentifier(
      std::string identifier, std::string name, std::vector<std::shared_ptr<AUParameterNode>> children);
  // createTreeWithChildren: [main]
  static std::shared_ptr<AUParameterTree> createTreeWithChildren(
      std::vector<std::shared_ptr<AUParameterNode>> children);

  // The first parameter (depth first) with this address; null when there is none. [any; no
  // allocation]
  std::shared_ptr<AUParameter> parameterWithAddress(AUParameterAddress address) const;
  // The v2 form: parameter `paramID` of the global scope, element 0 (other scopes and elements
  // hold no parameters here). [any]
  std::shared_ptr<AUParameter> parameterWithID(AudioUnitParameterID paramID, AudioUnitScope scope,
                                               AudioUnitElement element) const;

  std::string description() const override;
};

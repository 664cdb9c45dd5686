// The parameter tree: structure, values, observers, implementor callbacks, texts.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AudioToolbox/AUParameters.h"

namespace {

std::shared_ptr<AUParameter> makeParameter(const std::string& id, AUParameterAddress address,
                                           AUValue max = 1.0f,
                                           AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic,
                                           std::optional<std::vector<std::string>> strings = std::nullopt) {
  return AUParameterTree::createParameterWithIdentifier(
      id, id + " name", address, 0.0f, max, unit, std::nullopt,
      kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable, std::move(strings),
      std::nullopt);
}

// tree
//  ├ p0
//  ├ outer: p1, inner: (p2, p3), p4
//  └ p5
struct NestedTree {
  std::shared_ptr<AUParameter> p[6];
  std::shared_ptr<AUParameterGroup> inner, outer;
  std::shared_ptr<AUParameterTree> tree;
  NestedTree() {
    for (int i = 0; i < 6; ++i)
      p[i] = makeParameter("p" + std::to_string(i), AUParameterAddress(i) * 10);
    inner = AUParameterTree::createGroupWithIdentifier("inner", "Inner", {p[2], p[3]});
    outer = AUParameterTree::createGroupWithIdentifier("outer", "Outer", {p[1], inner, p[4]});
    tree = AUParameterTree::createTreeWithChildren({p[0], outer, p[5]});
  }
};

std::vector<AUParameterAddress> addressesOf(const AUParameterGroup& group) {
  std::vector<AUParameterAddress> addresses;
  for (const auto& parameter : group.allParameters())
    addresses.push_back(parameter->address());
  return addresses;
}

// The parameter's text for `value`.
std::string textOf(const std::shared_ptr<AUParameter>& parameter, AUValue value) {
  return parameter->stringFromValue(&value);
}

}  // namespace

TEST(AudioParameterTree, StructureAndLookup) {
  NestedTree t;
  {
    SCOPED_TRACE("children keep their order; groups are found by type test");
    ASSERT_EQ(t.tree->children().size(), 3u);
    EXPECT_EQ(t.tree->children()[1], t.outer);
    EXPECT_NE(std::dynamic_pointer_cast<AUParameterGroup>(t.tree->children()[1]), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<AUParameterGroup>(t.tree->children()[0]), nullptr);
  }
  {
    SCOPED_TRACE("allParameters lists nested groups' parameters depth first; a tree is a group");
    EXPECT_EQ(addressesOf(*t.tree), (std::vector<AUParameterAddress>{0, 10, 20, 30, 40, 50}));
    EXPECT_EQ(addressesOf(*t.outer), (std::vector<AUParameterAddress>{10, 20, 30, 40}));
  }
  {
    SCOPED_TRACE("lookup by address");
    EXPECT_EQ(t.tree->parameterWithAddress(30), t.p[3]);
    EXPECT_EQ(t.tree->parameterWithAddress(31), nullptr);
    EXPECT_EQ(t.tree->parameterWithID(20, kAudioUnitScope_Global, 0), t.p[2]);
    EXPECT_EQ(t.tree->parameterWithID(20, kAudioUnitScope_Input, 0), nullptr);
    EXPECT_EQ(t.tree->parameterWithID(20, kAudioUnitScope_Global, 1), nullptr);
  }
  {
    SCOPED_TRACE("names and key paths");
    EXPECT_EQ(t.p[3]->displayName(), "p3 name");
    EXPECT_EQ(t.p[3]->keyPath(), "outer.inner.p3");
    EXPECT_EQ(t.p[0]->keyPath(), "p0");
    EXPECT_EQ(t.p[3]->parentNode(), t.inner);
  }
  {
    SCOPED_TRACE("a node belongs to one group");
    auto again = AUParameterTree::createGroupWithIdentifier("again", "Again", {t.p[0]});
    EXPECT_TRUE(again->children().empty());
    EXPECT_EQ(t.p[0]->parentNode(), t.tree);
  }
  SCOPED_TRACE("an empty tree");
  AUParameterTree empty;
  EXPECT_TRUE(empty.children().empty());
  EXPECT_TRUE(empty.allParameters().empty());
  EXPECT_EQ(empty.parameterWithAddress(0), nullptr);
}

TEST(AudioParameterTree, ObserverOrderAndOriginator) {
  NestedTree t;
  std::vector<std::string> calls;
  auto record = [&calls](std::string who) {
    return [&calls, who](AUParameterAddress address, AUValue value) {
      calls.push_back(who + ":" + std::to_string(address) + "=" + std::to_string(int(value * 100)));
    };
  };
  // Sets `parameter` and hands back the calls it made.
  auto callsOfSetting = [&calls](AUParameter& parameter, AUValue value,
                                 AUParameterObserverToken originator = nullptr) {
    calls.clear();
    parameter.setValue(value, originator);
    return calls;
  };
  using Calls = std::vector<std::string>;
  {
    SCOPED_TRACE("a value set before any callback exists reaches nobody");
    EXPECT_EQ(callsOfSetting(*t.p[2], 0.5f), Calls{});
    EXPECT_EQ(t.p[2]->value(), 0.5f);
  }
  t.tree->setImplementorValueObserver([&calls](AUParameter* parameter, AUValue value) {
    calls.push_back("implementor:" + std::to_string(parameter->address()) + "=" +
                    std::to_string(int(value * 100)));
  });
  auto treeFirst = t.tree->tokenByAddingParameterObserver(record("tree1"));
  auto groupToken = t.outer->tokenByAddingParameterObserver(record("outer"));
  auto treeSecond = t.tree->tokenByAddingParameterObserver(record("tree2"));
  auto own = t.p[2]->tokenByAddingParameterObserver(record("own"));
  ASSERT_NE(treeFirst, nullptr);
  EXPECT_NE(treeFirst, treeSecond);

  SCOPED_TRACE("implementor first, then the parameter's, then each enclosing group's, in adding order");
  EXPECT_EQ(callsOfSetting(*t.p[2], 0.25f),
            (Calls{"implementor:20=25", "own:20=25", "outer:20=25", "tree1:20=25", "tree2:20=25"}));
  EXPECT_EQ(callsOfSetting(*t.p[2], 0.25f).size(), 5u) << "every set notifies, also an unchanged value";
  EXPECT_EQ(callsOfSetting(*t.p[2], 0.75f, treeFirst),
            (Calls{"implementor:20=75", "own:20=75", "outer:20=75", "tree2:20=75"}))
      << "the originator's observer is skipped, the implementor is not";
  EXPECT_EQ(callsOfSetting(*t.p[5], 1.0f), (Calls{"implementor:50=100", "tree1:50=100", "tree2:50=100"}))
      << "a parameter outside a group's subtree does not reach that group's observers";

  SCOPED_TRACE("removed observers stay silent; unknown tokens are ignored");
  t.tree->removeParameterObserver(treeFirst);
  t.outer->removeParameterObserver(groupToken);
  t.tree->removeParameterObserver(own);  // not the tree's: ignored
  int unknown = 0;
  t.tree->removeParameterObserver(&unknown);
  EXPECT_EQ(callsOfSetting(*t.p[2], 0.5f), (Calls{"implementor:20=50", "own:20=50", "tree2:20=50"}));

  SCOPED_TRACE("the nearest implementor observer wins");
  int innerCalls = 0;
  t.inner->setImplementorValueObserver([&innerCalls](AUParameter*, AUValue) { ++innerCalls; });
  EXPECT_EQ(callsOfSetting(*t.p[3], 0.1f), Calls{"tree2:30=10"});
  EXPECT_EQ(innerCalls, 1);
  EXPECT_EQ(callsOfSetting(*t.p[1], 0.1f), (Calls{"implementor:10=10", "tree2:10=10"})) << "outside `inner`";
  EXPECT_EQ(innerCalls, 1);
}

TEST(AudioParameterTree, ValueProviderAndTexts) {
  NestedTree t;
  t.p[1]->setValue(0.5f);
  float kernel[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  {
    SCOPED_TRACE("once a provider is installed every read asks it");
    t.tree->setImplementorValueProvider(
        [&kernel](AUParameter* parameter) { return kernel[parameter->address() / 10]; });
    EXPECT_EQ(t.p[1]->value(), 0.2f);
    kernel[1] = 0.9f;
    EXPECT_EQ(t.p[1]->value(), 0.9f);
    EXPECT_EQ(t.p[3]->value(), 0.4f);
    t.tree->setImplementorValueProvider({});
    EXPECT_EQ(t.p[1]->value(), 0.5f);  // the stored value again
  }
  {
    SCOPED_TRACE("default texts: shortest form of the float, value strings for indexed parameters");
    EXPECT_EQ(textOf(t.p[0], 0.1f), "0.1");
    EXPECT_EQ(textOf(t.p[0], 1.0f), "1.0");
    t.p[0]->setValue(0.25f);
    EXPECT_EQ(t.p[0]->stringFromValue(nullptr), "0.25");
    auto mode = makeParameter("mode", 6, 2.0f, kAudioUnitParameterUnit_Indexed,
                              std::vector<std::string>{"Dual", "Linked", "Mid-Side"});
    EXPECT_EQ(textOf(mode, 1.0f), "Linked");
    EXPECT_EQ(textOf(mode, 7.0f), "7.0");  // outside the strings: the number
    EXPECT_EQ(mode->valueFromString("Mid-Side"), 2.0f);
    EXPECT_EQ(t.p[0]->valueFromString("0.75"), 0.75f);
    EXPECT_EQ(t.p[0]->valueFromString("loud"), 0.0f);
  }
  {
    SCOPED_TRACE("the string callback gets the value pointer or null for the current value");
    std::vector<bool> gotPointer;
    t.tree->setImplementorStringFromValueCallback(
        [&gotPointer](AUParameter* parameter, const AUValue* value) {
          gotPointer.push_back(value != nullptr);
          return std::to_string(int((value ? *value : parameter->value()) * 100)) + " %";
        });
    EXPECT_EQ(textOf(t.p[2], 0.5f), "50 %");
    t.p[2]->setValue(0.3f);
    EXPECT_EQ(t.p[2]->stringFromValue(nullptr), "30 %");
    EXPECT_EQ(gotPointer, (std::vector<bool>{true, false}));
    EXPECT_TRUE(static_cast<bool>(t.tree->implementorStringFromValueCallback()));
    EXPECT_FALSE(static_cast<bool>(t.p[2]->implementorStringFromValueCallback()));
    t.tree->setImplementorValueFromStringCallback(
        [](AUParameter*, const std::string& s) { return AUValue(s.size()); });
    EXPECT_EQ(t.p[2]->valueFromString("abc"), 3.0f);
    t.tree->setImplementorStringFromValueCallback({});
  }
  SCOPED_TRACE("descriptions are single lines");
  for (const std::string& text : {t.tree->description(), t.outer->description(), t.p[2]->description()}) {
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    EXPECT_FALSE(text.empty());
  }
  EXPECT_NE(t.p[2]->description().find("'p2'"), std::string::npos);
}

// Sets and reads on several threads while observers come and go on another.
TEST(AudioParameterTreeThreads, ConcurrentSetsReadsAndObserverChanges) {
  NestedTree t;
  std::atomic<int> implementorCalls{0};
  std::atomic<int> observerCalls{0};
  t.tree->setImplementorValueObserver([&](AUParameter*, AUValue) { implementorCalls.fetch_add(1); });
  constexpr int kSetsPerThread = 2000;
  std::atomic<bool> stop{false};
  std::thread churn([&] {
    while (!stop.load()) {
      auto token = t.tree->tokenByAddingParameterObserver(
          [&](AUParameterAddress, AUValue) { observerCalls.fetch_add(1); });
      t.tree->removeParameterObserver(token);
    }
  });
  std::vector<std::thread> setters;
  for (int n = 0; n < 3; ++n) {
    setters.emplace_back([&t, n] {
      for (int i = 0; i < kSetsPerThread; ++i) {
        t.p[n * 2]->setValue(float(i) / kSetsPerThread);
        (void)t.p[(n * 2 + 1) % 6]->value();
      }
    });
  }
  for (auto& thread : setters)
    thread.join();
  stop = true;
  churn.join();
  EXPECT_EQ(implementorCalls.load(), 3 * kSetsPerThread);
  EXPECT_EQ(t.p[4]->value(), float(kSetsPerThread - 1) / kSetsPerThread);
}

// The parameter tree: structure, values, observers, implementor callbacks, texts.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "AudioToolbox/AUParameters.h"

namespace {

constexpr AudioUnitParameterOptions kReadWrite = kAudioUnitParameterFlag_IsReadable | kAudioUnitParameterFlag_IsWritable;

std::shared_ptr<AUParameter> makeParameter(const std::string& id, AUParameterAddress address, AUValue max = 1.0f,
                                           AudioUnitParameterUnit unit = kAudioUnitParameterUnit_Generic,
                                           std::optional<std::vector<std::string>> strings = std::nullopt) {
  return AUParameterTree::createParameterWithIdentifier(id, id + " name", address, 0.0f, max, unit, std::nullopt,
                                                        kReadWrite, std::move(strings), std::nullopt);
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
    for (int i = 0; i < 6; ++i) {
      std::string id = "p";
      id += std::to_string(i);
      p[i] = makeParameter(id, AUParameterAddress(i) * 10);
    }
    inner = AUParameterTree::createGroupWithIdentifier("inner", "Inner", {p[2], p[3]});
    outer = AUParameterTree::createGroupWithIdentifier("outer", "Outer", {p[1], inner, p[4]});
    tree = AUParameterTree::createTreeWithChildren({p[0], outer, p[5]});
  }
};

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
    SCOPED_TRACE("allParameters lists nested groups' parameters depth first");
    std::vector<AUParameterAddress> addresses;
    for (const auto& parameter : t.tree->allParameters()) addresses.push_back(parameter->address());
    EXPECT_EQ(addresses, (std::vector<AUParameterAddress>{0, 10, 20, 30, 40, 50}));
    addresses.clear();
    for (const auto& parameter : t.outer->allParameters()) addresses.push_back(parameter->address());
    EXPECT_EQ(addresses, (std::vector<AUParameterAddress>{10, 20, 30, 40}));
  }
  {
    SCOPED_TRACE("a tree is usable as a group");
    std::shared_ptr<AUParameterGroup> asGroup = t.tree;
    EXPECT_EQ(asGroup->allParameters().size(), 6u);
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
    EXPECT_EQ(t.p[3]->identifier(), "p3");
    EXPECT_EQ(t.p[3]->displayName(), "p3 name");
    EXPECT_EQ(t.p[3]->keyPath(), "outer.inner.p3");
    EXPECT_EQ(t.p[0]->keyPath(), "p0");
    EXPECT_EQ(t.p[3]->parentNode(), t.inner);
    EXPECT_EQ(t.inner->displayName(), "Inner");
  }
  {
    SCOPED_TRACE("a node belongs to one group");
    auto again = AUParameterTree::createGroupWithIdentifier("again", "Again", {t.p[0]});
    EXPECT_TRUE(again->children().empty());
    EXPECT_EQ(t.p[0]->parentNode(), t.tree);
  }
  {
    SCOPED_TRACE("an empty tree");
    AUParameterTree empty;
    EXPECT_TRUE(empty.children().empty());
    EXPECT_TRUE(empty.allParameters().empty());
    EXPECT_EQ(empty.parameterWithAddress(0), nullptr);
  }
}

TEST(AudioParameterTree, ObserverOrderAndOriginator) {
  NestedTree t;
  std::vector<std::string> calls;
  auto record = [&calls](std::string who) {
    return [&calls, who](AUParameterAddress address, AUValue value) {
      calls.push_back(who + ":" + std::to_string(address) + "=" + std::to_string(int(value * 100)));
    };
  };
  {
    SCOPED_TRACE("a value set before any callback exists reaches nobody");
    t.p[2]->setValue(0.5f);
    EXPECT_EQ(t.p[2]->value(), 0.5f);
    EXPECT_TRUE(calls.empty());
  }
  t.tree->setImplementorValueObserver([&calls](AUParameter* parameter, AUValue value) {
    calls.push_back("implementor:" + std::to_string(parameter->address()) + "=" + std::to_string(int(value * 100)));
  });
  auto treeFirst = t.tree->tokenByAddingParameterObserver(record("tree1"));
  auto groupToken = t.outer->tokenByAddingParameterObserver(record("outer"));
  auto treeSecond = t.tree->tokenByAddingParameterObserver(record("tree2"));
  auto own = t.p[2]->tokenByAddingParameterObserver(record("own"));
  ASSERT_NE(treeFirst, nullptr);
  EXPECT_NE(treeFirst, treeSecond);

  {
    SCOPED_TRACE("implementor first, then the parameter's, then each enclosing group's, in adding order");
    calls.clear();
    t.p[2]->setValue(0.25f);
    EXPECT_EQ(calls, (std::vector<std::string>{"implementor:20=25", "own:20=25", "outer:20=25", "tree1:20=25",
                                               "tree2:20=25"}));
  }
  {
    SCOPED_TRACE("every set notifies, also an unchanged value");
    calls.clear();
    t.p[2]->setValue(0.25f);
    EXPECT_EQ(calls.size(), 5u);
  }
  {
    SCOPED_TRACE("the originator's observer is skipped, the implementor is not");
    calls.clear();
    t.p[2]->setValue(0.75f, treeFirst);
    EXPECT_EQ(calls, (std::vector<std::string>{"implementor:20=75", "own:20=75", "outer:20=75", "tree2:20=75"}));
  }
  {
    SCOPED_TRACE("a parameter outside a group's subtree does not reach that group's observers");
    calls.clear();
    t.p[5]->setValue(1.0f);
    EXPECT_EQ(calls, (std::vector<std::string>{"implementor:50=100", "tree1:50=100", "tree2:50=100"}));
  }
  {
    SCOPED_TRACE("removed observers stay silent; unknown tokens are ignored");
    t.tree->removeParameterObserver(treeFirst);
    t.outer->removeParameterObserver(groupToken);
    t.tree->removeParameterObserver(own);  // not the tree's: ignored
    int unknown = 0;
    t.tree->removeParameterObserver(&unknown);
    calls.clear();
    t.p[2]->setValue(0.5f);
    EXPECT_EQ(calls, (std::vector<std::string>{"implementor:20=50", "own:20=50", "tree2:20=50"}));
  }
  {
    SCOPED_TRACE("the nearest implementor observer wins");
    std::vector<std::string> innerCalls;
    t.inner->setImplementorValueObserver([&innerCalls](AUParameter*, AUValue) { innerCalls.push_back("inner"); });
    calls.clear();
    t.p[3]->setValue(0.1f);
    EXPECT_EQ(innerCalls.size(), 1u);
    EXPECT_EQ(calls.size(), 1u);  // tree2 only
    t.p[1]->setValue(0.1f);      // outside `inner`: the tree's implementor
    EXPECT_EQ(innerCalls.size(), 1u);
    EXPECT_EQ(calls.front().rfind("tree2", 0), 0u);
    EXPECT_EQ(calls.back().rfind("tree2", 0), 0u);
    EXPECT_EQ(calls[1].rfind("implementor:10", 0), 0u);
  }
}

TEST(AudioParameterTree, ValueProviderAndTexts) {
  NestedTree t;
  t.p[1]->setValue(0.5f);
  float kernel[6] = {0.1f, 0.2f, 0.3f, 0.4f, 0.5f, 0.6f};
  {
    SCOPED_TRACE("once a provider is installed every read asks it");
    t.tree->setImplementorValueProvider([&kernel](AUParameter* parameter) { return kernel[parameter->address() / 10]; });
    EXPECT_EQ(t.p[1]->value(), 0.2f);
    kernel[1] = 0.9f;
    EXPECT_EQ(t.p[1]->value(), 0.9f);
    EXPECT_EQ(t.p[3]->value(), 0.4f);
    t.tree->setImplementorValueProvider({});
    EXPECT_EQ(t.p[1]->value(), 0.5f);  // the stored value again
  }
  {
    SCOPED_TRACE("default texts: shortest form of the float, value strings for indexed parameters");
    AUValue v = 0.1f;
    EXPECT_EQ(t.p[0]->stringFromValue(&v), "0.1");
    v = 1.0f;
    EXPECT_EQ(t.p[0]->stringFromValue(&v), "1.0");
    t.p[0]->setValue(0.25f);
    EXPECT_EQ(t.p[0]->stringFromValue(nullptr), "0.25");
    auto mode = makeParameter("mode", 6, 2.0f, kAudioUnitParameterUnit_Indexed,
                              std::vector<std::string>{"Dual", "Linked", "Mid-Side"});
    v = 1.0f;
    EXPECT_EQ(mode->stringFromValue(&v), "Linked");
    v = 7.0f;
    EXPECT_EQ(mode->stringFromValue(&v), "7.0");  // outside the strings: the number
    EXPECT_EQ(mode->valueFromString("Mid-Side"), 2.0f);
    EXPECT_EQ(t.p[0]->valueFromString("0.75"), 0.75f);
    EXPECT_EQ(t.p[0]->valueFromString("loud"), 0.0f);
  }
  {
    SCOPED_TRACE("the string callback gets the value pointer or null for the current value");
    std::vector<bool> gotPointer;
    t.tree->setImplementorStringFromValueCallback([&gotPointer](AUParameter* parameter, const AUValue* value) {
      gotPointer.push_back(value != nullptr);
      const AUValue v = value ? *value : parameter->value();
      return std::to_string(int(v * 100)) + " %";
    });
    AUValue v = 0.5f;
    EXPECT_EQ(t.p[2]->stringFromValue(&v), "50 %");
    t.p[2]->setValue(0.3f);
    EXPECT_EQ(t.p[2]->stringFromValue(nullptr), "30 %");
    EXPECT_EQ(gotPointer, (std::vector<bool>{true, false}));
    EXPECT_TRUE(static_cast<bool>(t.tree->implementorStringFromValueCallback()));
    EXPECT_FALSE(static_cast<bool>(t.p[2]->implementorStringFromValueCallback()));
    t.tree->setImplementorValueFromStringCallback([](AUParameter*, const std::string& s) { return AUValue(s.size()); });
    EXPECT_EQ(t.p[2]->valueFromString("abc"), 3.0f);
    t.tree->setImplementorStringFromValueCallback({});
  }
  {
    SCOPED_TRACE("descriptions are single lines");
    for (const std::string& text : {t.tree->description(), t.outer->description(), t.p[2]->description()}) {
      EXPECT_EQ(text.find('\n'), std::string::npos) << text;
      EXPECT_FALSE(text.empty());
    }
    EXPECT_NE(t.p[2]->description().find("'p2'"), std::string::npos);
  }
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
      auto token = t.tree->tokenByAddingParameterObserver([&](AUParameterAddress, AUValue) { observerCalls.fetch_add(1); });
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
  for (auto& thread : setters) thread.join();
  stop = true;
  churn.join();
  EXPECT_EQ(implementorCalls.load(), 3 * kSetsPerThread);
  EXPECT_EQ(t.p[4]->value(), float(kSetsPerThread - 1) / kSetsPerThread);
}

// The preset model: state dictionaries written from a parameter tree and read back, the group
// number, tolerant reading of hostile dictionaries, the decoders and the delegate registration.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <tuple>
#include <vector>

#include "AudioToolbox/AUParameters.h"
#include "Foundation/NSError.h"
#include "KOVCompressorParameters.h"
#include "KOVPreset.h"
#include "PresetGroup.h"
#include "PresetParam.h"
#include "PresetPatch.h"

namespace {

struct Found {
  NSInteger group;
  std::string identifier;
  AUParameterAddress address;
  AUValue value;
};

class RecordingDelegate : public KOVPresetDelegate {
 public:
  void onFoundParameter(NSInteger group, const std::string& identifier, AUParameterAddress address,
                        AUValue value) override {
    found.push_back({group, identifier, address, value});
  }
  std::vector<Found> found;
};

// Registers a recording delegate on this thread for the life of the scope.
struct Registration {
  std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
  Registration() { KOVPreset::setDelegate(delegate); }
  ~Registration() { KOVPreset::setDelegate(nullptr); }
};

std::shared_ptr<AUParameter> makeParameter(const KOVParameterInfo& row) {
  auto parameter = AUParameterTree::createParameterWithIdentifier(
      std::string(row.identifier), std::string(row.name), row.address, row.minValue, row.maxValue, row.unit,
      std::nullopt, kKOVParameterFlags, std::nullopt, std::nullopt);
  parameter->setValue(row.defaultValue);
  return parameter;
}

// The effect's tree shape (one group of twelve), with the table's defaults.
std::shared_ptr<AUParameterTree> makeEffectTree() {
  std::vector<std::shared_ptr<AUParameterNode>> children;
  for (const KOVParameterInfo& row : kKOVParameterTable)
    children.push_back(makeParameter(row));
  auto group = AUParameterTree::createGroupWithIdentifier(std::string(kKOVParameterGroupIdentifier),
                                                          std::string(kKOVParameterGroupName), children);
  return AUParameterTree::createTreeWithChildren({group});
}

PropertyList::Dictionary paramDict(PropertyList address, PropertyList identifier, PropertyList value) {
  return {
      {"address", std::move(address)}, {"identifier", std::move(identifier)}, {"value", std::move(value)}};
}

}  // namespace

TEST(PresetModel, FullStateOfTheEffectTreeRoundTrips) {
  KOVPreset source;
  source.makeFrom(makeEffectTree());
  const PropertyList::Dictionary state = *source.getDictionary();

  PropertyList::Dictionary patchLevel = state;
  patchLevel.erase("group 0");
  EXPECT_EQ(patchLevel, (PropertyList::Dictionary{{"version", 1},
                                                  {"type", 1635085670},
                                                  {"manufacturer", std::int64_t(FourCC("QFLD"))},
                                                  {"subtype", std::int64_t(FourCC("kvc1"))},
                                                  {"number", 0},
                                                  {"name", "KOV Compressor Preset"},
                                                  {"count", 1}}));
  PropertyList::Dictionary group{{"identifier", "kGlobalParameters"}, {"count", 12}};
  for (const KOVParameterInfo& row : kKOVParameterTable) {
    group["param " + std::to_string(row.address)] =
        paramDict(row.address, std::string(row.identifier), double(row.defaultValue));
  }
  EXPECT_EQ(*state.at("group 0").dictionary(), group);
  SCOPED_TRACE("read back, each parameter is reported once and numbered in reading order");
  Registration registration;
  KOVPreset target;
  target.makeFrom(std::optional(state));
  EXPECT_EQ(registration.delegate->found.size(), 12u);
  PropertyList::Dictionary again = *target.getDictionary();
  EXPECT_EQ(again.at("group 0").find("param 2")->find("address")->asUInt64(), 10u) << "after param 1";
  again.erase("group 0");
  EXPECT_EQ(again, patchLevel);
}

// Group and parameter keys: the word anywhere, case-sensitive; counts ignored.
TEST(PresetModel, GroupAndParameterKeys) {
  Registration registration;
  const PropertyList::Dictionary param = paramDict(3, "p", 0.25);
  PropertyList::Dictionary group{
      {"identifier", "a b 12"},  {"count", 99},      {"param", param}, {"parameter 7", param},
      {"the param here", param}, {"Param 1", param}, {"PARAM", param}};
  PresetPatch patch;
  patch.fromDictionary({{"group", group}, {"my group 5", group}, {"Group 2", group}, {"count", 0}});
  ASSERT_EQ(patch.groups.size(), 2u);
  for (const auto& g : patch.groups) {
    EXPECT_EQ(g->id, 12);
    EXPECT_EQ(g->params.size(), 3u);
    for (const auto& p : g->params)
      EXPECT_EQ(p->group.lock(), g);
  }
  ASSERT_EQ(registration.delegate->found.size(), 6u);
  for (const Found& found : registration.delegate->found)
    EXPECT_EQ(std::tuple(found.group, found.address, found.value), std::tuple(12, 3u, 0.25f));
}

TEST(PresetModel, GroupNumberFromTheIdentifier) {
  const std::vector<std::pair<std::string, std::int64_t>> cases = {{"three blank words 12", 12},
                                                                   {"kGlobalParameters", 0},
                                                                   {"group", 0},
                                                                   {"7", 7},
                                                                   {"group 1.5", 0},
                                                                   {"group -3", -3},
                                                                   {"group +4", 4},
                                                                   {"group 12 ", 0},
                                                                   {"group +-4", 0},
                                                                   {"group 12a", 0},
                                                                   {"", 0},
                                                                   {"group 99999999999999999999", 0}};
  for (const auto& [identifier, number] : cases) {
    SCOPED_TRACE("\"" + identifier + "\"");
    PresetGroup group;
    group.id = 42;
    group.identifier = identifier;
    group.findGroupNumber();
    EXPECT_EQ(group.id, number);
  }
}

TEST(PresetModel, HostileDictionariesNeverCrashAndSkipBadEntries) {
  Registration registration;
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  PropertyList::Dictionary group{
      {"identifier", 5},                                 // no text: ignored
      {"param 0", paramDict(1, "ok", 0.5)},              // fine
      {"param 1", paramDict(-1, "negative", 0.5)},       // skipped
      {"param 2", paramDict("2", "text address", 0.5)},  // skipped
      {"param 3", paramDict(2.5, "fraction", 0.5)},      // skipped
      {"param 4", paramDict(4, "nan", nan)},             // skipped
      {"param 5", paramDict(4, "inf", -inf)},            // skipped
      {"param 6", paramDict(4, "text value", "0.5")},    // skipped
      {"param 7", "not a dictionary"},                   // skipped
      {"param 8", paramDict(6.0, 17, 2)},                // integral real address, integer value
      {"param 9", paramDict(3, "huge", 1e300)},          // saturates to the largest float
      {"param A", paramDict(PropertyList(18446744073709551615ull), "big", 1)},  // no signed address
      {"param B", paramDict(1000000, "far", 0.5)},  // read; the unit finds no parameter
  };
  PresetPatch patch;
  patch.fromDictionary({{"version", "one"},
                        {"type", -1},
                        {"name", 3},
                        {"number", 2.0},
                        {"group 0", group},
                        {"group 1", PropertyList::Array{}},
                        {"group 2", 7}});
  EXPECT_EQ(std::tuple(patch.version, patch.type, patch.name, patch.number),
            std::tuple(1, FourCC("aumf"), "KOV Compressor Preset", 2));
  ASSERT_EQ(patch.groups.size(), 1u);
  EXPECT_EQ(patch.groups[0]->identifier, "group");

  std::vector<std::pair<AUParameterAddress, AUValue>> reported;
  for (const Found& found : registration.delegate->found)
    reported.emplace_back(found.address, found.value);
  const std::vector<std::pair<AUParameterAddress, AUValue>> expected = {
      {1, 0.5f}, {6, 2.0f}, {3, std::numeric_limits<float>::max()}, {1000000, 0.5f}};
  EXPECT_EQ(reported, expected);
  EXPECT_EQ(patch.groups[0]->params.size(), 4u);
  EXPECT_EQ(registration.delegate->found[1].identifier, "parameter");  // 17 is no text
}

// The decoders from a property list are not used by the unit: one smoke test of a good decode
// and of each kind of error.
TEST(PresetModel, DecodersRequireEveryKey) {
  const PropertyList::Dictionary param = paramDict(3, "p", 0.5);
  {
    SCOPED_TRACE("a complete parameter, with and without its group");
    PresetParam decoded{PropertyList(param)};
    EXPECT_EQ(decoded.address, 3u);
    EXPECT_EQ(decoded.identifier, "p");
    EXPECT_EQ(decoded.value, 0.5f);
    EXPECT_EQ(decoded.group.lock(), nullptr);
    PropertyList::Dictionary withGroup = param;
    withGroup["group"] = PropertyList::Dictionary{
        {"id", 4}, {"count", 1}, {"identifier", "g 4"}, {"params", PropertyList::Array{param}}};
    PresetParam grouped{PropertyList(withGroup)};
    ASSERT_NE(grouped.group.lock(), nullptr);
    EXPECT_EQ(grouped.group.lock()->id, 4);
    EXPECT_EQ(grouped.group.lock()->count, 1);
    EXPECT_EQ(grouped.group.lock()->params.size(), 1u);
  }
  const auto expectError = [](auto make, std::int64_t code) {
    try {
      make();
      ADD_FAILURE() << "no error";
    } catch (const NSError& error) {
      EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
      EXPECT_EQ(error.code(), code);
    }
  };
  for (const char* key : {"address", "identifier", "value"}) {
    SCOPED_TRACE(key);
    PropertyList::Dictionary missing = param;
    missing.erase(key);
    expectError([&] { PresetParam p{PropertyList(missing)}; }, 4865);
    PropertyList::Dictionary wrong = param;
    wrong[key] = PropertyList::Array{};
    expectError([&] { PresetParam p{PropertyList(wrong)}; }, 4864);
  }
  {
    SCOPED_TRACE("a group needs id, count, identifier and params");
    const PropertyList::Dictionary group{
        {"id", 1}, {"count", 0}, {"identifier", "g"}, {"params", PropertyList::Array{}}};
    EXPECT_NO_THROW(PresetGroup{PropertyList(group)});
    for (const char* key : {"id", "count", "identifier", "params"}) {
      PropertyList::Dictionary missing = group;
      missing.erase(key);
      expectError([&] { PresetGroup g{PropertyList(missing)}; }, 4865);
    }
    for (const char* key : {"id", "count", "identifier", "params"}) {
      SCOPED_TRACE(testing::Message() << "wrong type: " << key);
      PropertyList::Dictionary wrong = group;
      wrong[key] = std::string(key) == "identifier" ? PropertyList(5) : PropertyList("x");
      expectError([&] { PresetGroup g{PropertyList(wrong)}; }, 4864);
    }
    PropertyList::Dictionary badParam = group;
    badParam["params"] = PropertyList::Array{PropertyList("x")};
    expectError([&] { PresetGroup g{PropertyList(badParam)}; }, 4864);
    expectError([&] { PresetGroup g{PropertyList(param)}; }, 4865);  // a parameter is no group
  }
}

// Read back with a delegate: twelve reports, each once, with the table's values, in group 0
// ("kGlobalParameters" carries no number).
TEST(PresetModel, ReadBackReportsEachParameterOnce) {
  KOVPreset source;
  source.makeFrom(makeEffectTree());
  const PropertyList::Dictionary state = *source.getDictionary();
  for (const KOVParameterInfo& row : kKOVParameterTable) {
    SCOPED_TRACE(row.identifier);
    const PropertyList::Dictionary& param =
        *state.at("group 0").find("param " + std::to_string(row.address))->dictionary();
    EXPECT_TRUE(param.at("value").isReal());
  }
  Registration registration;
  KOVPreset target;
  target.makeFrom(std::optional(state));
  std::vector<int> seen(12, 0);
  for (const Found& found : registration.delegate->found) {
    ASSERT_LT(found.address, 12u);
    const KOVParameterInfo& row = kKOVParameterTable[found.address];
    ++seen[found.address];
    EXPECT_EQ(found.identifier, row.identifier);
    EXPECT_EQ(found.value, row.defaultValue);
    EXPECT_EQ(found.group, 0);  // "kGlobalParameters" carries no number
  }
  EXPECT_EQ(seen, std::vector<int>(12, 1));
  // Written out again, the parameters are numbered in the order they were read ("param 10"
  // comes right after "param 1"); everything else is as it was.
}

TEST(PresetModel, WritingAndReadingEdges) {
  {
    SCOPED_TRACE("a patch without groups and a group without parameters write count 0");
    PresetPatch patch;
    EXPECT_EQ(patch.toDictionary().at("count"), PropertyList(0));
    EXPECT_EQ(patch.toDictionary().size(), 7u);
    PresetGroup group;
    EXPECT_EQ(group.toDictionary(), (PropertyList::Dictionary{{"identifier", "group"}, {"count", 0}}));
  }
  {
    SCOPED_TRACE("an empty dictionary empties the groups, keeps the rest, reports nothing");
    Registration registration;
    PresetPatch patch;
    patch.name = "kept";
    patch.number = 7;
    patch.groups.push_back(std::make_shared<PresetGroup>());
    patch.fromDictionary({});
    EXPECT_TRUE(patch.groups.empty());
    EXPECT_EQ(patch.name, "kept");
    EXPECT_EQ(patch.number, 7);
    EXPECT_TRUE(registration.delegate->found.empty());
  }
  {
    SCOPED_TRACE("a tree whose only children are parameters gives no groups");
    KOVPreset preset;
    preset.makeFrom(AUParameterTree::createTreeWithChildren({makeParameter(kKOVParameterTable[0])}));
    EXPECT_TRUE(preset.patch->groups.empty());
  }
  {
    SCOPED_TRACE("nested groups follow their parent, whose list includes their parameters");
    auto inner = AUParameterTree::createGroupWithIdentifier("inner 2", "Inner",
                                                            {makeParameter(kKOVParameterTable[1])});
    auto outer = AUParameterTree::createGroupWithIdentifier("outer", "Outer",
                                                            {makeParameter(kKOVParameterTable[0]), inner});
    KOVPreset preset;
    preset.makeFrom(AUParameterTree::createTreeWithChildren({outer}));
    ASSERT_EQ(preset.patch->groups.size(), 2u);
    EXPECT_EQ(preset.patch->groups[0]->identifier, "outer");
    EXPECT_EQ(preset.patch->groups[0]->params.size(), 2u);
    EXPECT_EQ(preset.patch->groups[1]->identifier, "inner 2");
    EXPECT_EQ(preset.patch->groups[1]->params.size(), 1u);
    EXPECT_EQ(preset.patch->groups[1]->params[0]->address, 1u);
  }
}

TEST(PresetModelThreads, RegistrationIsPerThreadAndWeak) {
  {
    SCOPED_TRACE("a registration does not keep its delegate alive");
    auto delegate = std::make_shared<RecordingDelegate>();
    KOVPreset::setDelegate(delegate);
    EXPECT_EQ(KOVPreset::delegate(), delegate);
    delegate.reset();
    EXPECT_EQ(KOVPreset::delegate(), nullptr);
    KOVPreset::foundParameter(0, "x", 1, 0.5f);  // reaches nobody, no crash
  }
  {
    SCOPED_TRACE("each thread reports to its own delegate");
    Registration main;
    std::vector<std::shared_ptr<RecordingDelegate>> delegates;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
      delegates.push_back(std::make_shared<RecordingDelegate>());
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([t, delegate = delegates[t]] {
        EXPECT_EQ(KOVPreset::delegate(), nullptr);  // nothing inherited from other threads
        KOVPreset::setDelegate(delegate);
        for (int i = 0; i < 200; ++i) {
          PresetPatch patch;
          patch.fromDictionary(
              {{"group 0", PropertyList::Dictionary{{"param 0", paramDict(t, "p", float(i))}}}});
        }
        KOVPreset::setDelegate(nullptr);
      });
    }
    for (std::thread& thread : threads)
      thread.join();
    for (int t = 0; t < 4; ++t) {
      ASSERT_EQ(delegates[t]->found.size(), 200u);
      for (std::size_t i = 0; i < 200; ++i) {
        EXPECT_EQ(delegates[t]->found[i].address, AUParameterAddress(t));
        EXPECT_EQ(delegates[t]->found[i].value, float(i));
      }
    }
    EXPECT_TRUE(main.delegate->found.empty());
  }
}

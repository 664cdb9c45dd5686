// The preset model: state dictionaries written from a parameter tree and read back, the group
// number, tolerant reading of hostile dictionaries, the decoders and the delegate registration.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
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
  }
  ASSERT_EQ(registration.delegate->found.size(), 6u);
  for (const Found& found : registration.delegate->found)
    EXPECT_EQ(std::tuple(found.group, found.address, found.value), std::tuple(12, 3u, 0.25f));
}

TEST(PresetModel, GroupNumberFromTheIdentifier) {
  const std::vector<std::pair<std::string, std::int64_t>> cases = {{"three blank words 12", 12},
                                                                   {"kGlobalParameters", 0},
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
  PresetParam decoded{PropertyList(param)};
  EXPECT_EQ(std::tuple(decoded.address, decoded.identifier, decoded.value), std::tuple(3u, "p", 0.5f));
  const auto expectError = [](auto make, std::int64_t code) {
    try {
      make();
      ADD_FAILURE() << "no error";
    } catch (const NSError& error) {
      EXPECT_EQ(std::pair(error.domain(), error.code()), std::pair(NSCocoaErrorDomain, code));
    }
  };
  PropertyList::Dictionary missing = param, wrong = param;
  missing.erase("value");
  wrong["address"] = PropertyList::Array{};
  expectError([&] { PresetParam p{PropertyList(missing)}; }, 4865);
  expectError([&] { PresetParam p{PropertyList(wrong)}; }, 4864);
  expectError([&] { PresetGroup g{PropertyList(param)}; }, 4865);
}

// Full state and presets of the unit: state round trips, hostile states and values reaching the
// preset call-back, the factory presets (order, numbering, choice, capitals in extensions, unsafe
// names, missing files and folders, where the unit printer reports them), presetStateFor, preset
// files read by an independent reader, and restores on several threads.
#include <gtest/gtest.h>

#include "AudioUnitTestAccess.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <thread>

#include "Foundation/Bundle.h"
#include "Foundation/Data.h"
#include "KOVCompressorParameters.h"
#include "KOVPreset.h"
#include "unit_host.h"

using unittest::beginCapture;
using unittest::EffectResources;
using unittest::endCapture;
using unittest::quietly;
using unittest::quietUnit;
namespace fs = std::filesystem;

namespace {

std::vector<float> valuesOf(KOV_Compressor_Extension_AudioUnit& unit) {
  std::vector<float> values;
  for (const KOVParameterInfo& row : kKOVParameterTable) {
    const float tree = unit.parameterTree()->parameterWithAddress(row.address)->value();
    EXPECT_EQ(tree, unit.getParameter(std::int32_t(row.address)));
    values.push_back(tree);
  }
  return values;
}

std::vector<float> defaults() {
  std::vector<float> values;
  for (const KOVParameterInfo& row : kKOVParameterTable)
    values.push_back(row.defaultValue);
  return values;
}

// A state dictionary with one group holding the given (address, value) parameters.
PropertyList::Dictionary stateWith(const std::vector<std::pair<PropertyList, PropertyList>>& params) {
  PropertyList::Dictionary group{{"identifier", "kGlobalParameters"}, {"count", int(params.size())}};
  for (std::size_t i = 0; i < params.size(); ++i) {
    group["param " + std::to_string(i)] = PropertyList::Dictionary{
        {"address", params[i].first}, {"identifier", "x"}, {"value", params[i].second}};
  }
  return PropertyList::Dictionary{{"version", 1}, {"count", 1}, {"group 0", group}};
}

void writeFile(const fs::path& path, const PropertyList::Dictionary& state, PropertyListFormat format) {
  const Data bytes = PropertyListSerialization::data(PropertyList(state), format);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// A resource folder of the test's own, used as the main bundle's while the object lives.
class ResourceFolder {
 public:
  ResourceFolder() {
    root_ = fs::temp_directory_path() /
            ("kov_unit_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fs::remove_all(root_);
    presets_ = root_ / "KOV Compressor Folder" / "Library" / "Factory Presets";
    fs::create_directories(presets_);
    Bundle::setMainResourcePath(root_.string());
  }
  ~ResourceFolder() {
    Bundle::setMainResourcePath(std::nullopt);
    fs::remove_all(root_);
  }
  const fs::path& presets() const { return presets_; }
  const fs::path& root() const { return root_; }

 private:
  static inline int counter_ = 0;
  fs::path root_;
  fs::path presets_;
};

std::vector<std::string> namesOf(
    const std::optional<std::vector<std::shared_ptr<AUAudioUnitPreset>>>& presets) {
  std::vector<std::string> names;
  if (!presets)
    return names;
  for (std::size_t i = 0; i < presets->size(); ++i) {
    EXPECT_EQ((*presets)[i]->number(), NSInteger(i));
    names.push_back((*presets)[i]->name());
  }
  return names;
}

// The parameters of a patch by address (reading order aside).
std::map<AUParameterAddress, std::pair<std::string, float>> parametersOf(const PresetPatch& patch) {
  std::map<AUParameterAddress, std::pair<std::string, float>> parameters;
  for (const auto& group : patch.groups) {
    for (const auto& param : group->params)
      parameters[param->address] = {param->identifier, param->value};
  }
  return parameters;
}

}  // namespace

TEST(AudioUnitState, FullStateRoundTrip) {
  auto unit = quietUnit();
  const PropertyList::Dictionary saved = *unit->fullState();
  EXPECT_EQ(*unit->fullState(), saved);
  EXPECT_EQ(saved.at("group 0").dictionary()->at("count"), PropertyList(12));

  quietly([&] {
    unit->setParameter(0, 0.9f);
    unit->setParameter(6, 3.0f);
    unit->parameterTree()->parameterWithAddress(11)->setValue(0.0f);
  });
  EXPECT_NE(valuesOf(*unit), defaults());
  EXPECT_NE(*unit->fullState(), saved);

  quietly([&] { unit->setFullState(saved); });
  EXPECT_EQ(valuesOf(*unit), defaults());
  EXPECT_EQ(*unit->fullState(), saved);

  SCOPED_TRACE("an absent state and one without parameters change nothing");
  beginCapture();
  unit->setParameter(1, 0.25f);
  const std::vector<float> before = valuesOf(*unit);
  unit->setFullState(std::nullopt);
  unit->setFullState(PropertyList::Dictionary{{"version", 1}, {"group 0", PropertyList::Dictionary{}}});
  endCapture();
  EXPECT_EQ(valuesOf(*unit), before);
}

TEST(AudioUnitState, HostileStatesStayWithinTheRanges) {
  const double inf = std::numeric_limits<double>::infinity();
  auto unit = quietUnit();
  std::vector<float> expected = defaults();
  SCOPED_TRACE("the preset call-back itself: NaN sets nothing, infinities are clamped");
  quietly([&] {
    unit->onFoundParameter(0, "kCompressorAttack", 0, std::numeric_limits<float>::quiet_NaN());
    unit->onFoundParameter(0, "kCompressorRelease", 1, float(inf));
    unit->onFoundParameter(0, "kCompressorThreshold", 2, -float(inf));
    unit->onFoundParameter(0, "kCompressorRatio", 3, 0.25f);
    unit->onFoundParameter(0, "none", 12, 0.25f);
  });
  expected[1] = 1.0f;  // the maximum
  expected[2] = 0.0f;  // the minimum
  expected[3] = 0.25f;
  EXPECT_EQ(valuesOf(*unit), expected);

  SCOPED_TRACE("hostile states: entries skipped or clamped");
  beginCapture();
  unit->setFullState(stateWith({{0, 7.5},                   // clamped to 1
                                {6, -3.0},                  // clamped to 0
                                {2, std::nan("")},          // skipped: stays 0
                                {3, inf},                   // skipped: stays 0.25
                                {-4, 0.9},                  // skipped: no such address
                                {PropertyList(1e30), 0.9},  // skipped: no integer address
                                {12, 0.9},                  // not in the tree
                                {4, "0.9"},                 // skipped: text
                                {5, 1e300}}));              // saturated, then clamped to 1
  unit->setFullState(PropertyList::Dictionary{{"group 0", "text"}, {"version", PropertyList::Array{}}});
  endCapture();
  expected[0] = 1.0f;
  expected[6] = 0.0f;
  expected[5] = 1.0f;
  EXPECT_EQ(valuesOf(*unit), expected);
}

TEST(AudioUnitState, FactoryPresetsOfTheEffect) {
  EffectResources resources;
  auto unit = quietUnit();
  {
    SCOPED_TRACE("choosing before the list was read: the number is invalid");
    beginCapture();
    unit->setCurrentPreset(std::make_shared<AUAudioUnitPreset>(0, "Brickwall"));
    EXPECT_EQ(endCapture(), std::vector<std::string>{"AUExtension::ERROR: The preset number 0 is invalid."});
    EXPECT_EQ(unit->currentPreset(), nullptr);
    EXPECT_EQ(valuesOf(*unit), defaults());
  }
  const auto presets = unit->factoryPresets();
  const std::vector<std::string> names = {"Brickwall",     "Drum Punch",     "Gentle Glue",
                                          "Mid-Side Wide", "Parallel Crush", "Vocal Leveler"};
  EXPECT_EQ(namesOf(presets), names);
  EXPECT_EQ(namesOf(unit->factoryPresets()), names);

  for (const auto& preset : *presets) {
    SCOPED_TRACE(preset->name());
    const URL file = unit->factoryPresetsFolder()->appendingPathComponent(preset->name() + ".plist");
    const PropertyList root = PropertyListSerialization::propertyList(dataWithContentsOf(file));
    const PropertyList::Dictionary& group = *root.find("group 0")->dictionary();
    quietly([&] { unit->setCurrentPreset(preset); });
    EXPECT_EQ(unit->currentPreset(), preset);
    for (int i = 0; i < 12; ++i) {
      const PropertyList& param = group.at("param " + std::to_string(i));
      const float value = *param.find("value")->asFloat();
      const KOVParameterInfo& row = kKOVParameterTable[std::size_t(*param.find("address")->asUInt64())];
      EXPECT_EQ(*param.find("identifier")->string(), row.identifier);
      EXPECT_GE(value, row.minValue);
      EXPECT_LE(value, row.maxValue);
      EXPECT_EQ(unit->getParameter(std::int32_t(row.address)), value);
    }
  }
  {
    SCOPED_TRACE("an absent preset is no preset");
    unit->setCurrentPreset(nullptr);
    EXPECT_EQ(unit->currentPreset(), nullptr);
  }
  SCOPED_TRACE("a state read back is numbered in reading order");
  const PropertyList::Dictionary state =
      quietly([&] { return unit->presetStateFor(AUAudioUnitPreset(0, "Gentle Glue")); });
  // The file's "param 10" is visited right after "param 1" (keys in text order), so it is the
  // third parameter read.
  const PropertyList::Dictionary& group = *state.at("group 0").dictionary();
  EXPECT_EQ(group.at("count"), PropertyList(12));
  EXPECT_EQ(group.at("param 2").find("address")->asUInt64(), 10u);
  EXPECT_EQ(group.at("param 11").find("address")->asUInt64(), 9u);
  EXPECT_EQ(state.at("name"), PropertyList("Gentle Glue"));
}

TEST(AudioUnitState, PresetsInAFolderOfOurOwn) {
  ResourceFolder folder;
  writeFile(folder.presets() / "Alpha.plist", stateWith({{0, 0.9}, {1, 0.11}}), PropertyListFormat::xml);
  writeFile(folder.presets() / "Beta.PLIST", stateWith({{0, 0.2}}), PropertyListFormat::binary);
  std::ofstream(folder.presets() / "Corrupt.plist") << "this is no property list";
  std::ofstream(folder.presets() / "notes.txt") << "not a preset";
  writeFile(folder.presets() / "Gamma.Plist", stateWith({{0, 0.3}}), PropertyListFormat::xml);
  writeFile(folder.root() / "Outside.plist", stateWith({{0, 0.99}}), PropertyListFormat::xml);
  fs::create_directories(folder.presets() / "Sub");

  auto unit = quietUnit();
  const auto presets = unit->factoryPresets();
  EXPECT_EQ(namesOf(presets), (std::vector<std::string>{"Alpha", "Beta", "Corrupt", "Gamma"}));

  const auto choose = [&](NSInteger number, const std::string& name) {
    auto preset = std::make_shared<AUAudioUnitPreset>(number, name);
    beginCapture();
    unit->setCurrentPreset(preset);
    return std::make_pair(preset, endCapture());
  };
  {
    SCOPED_TRACE("capital extensions are found; the name chooses the file, not the number");
    auto [beta, lines] = choose(1, "Beta");
    EXPECT_TRUE(unittest::withoutKernelLines(lines).empty());
    EXPECT_EQ(unit->currentPreset(), beta);
    EXPECT_EQ(unit->getParameter(0), 0.2f);
    choose(3, "Alpha");
    EXPECT_EQ(unit->getParameter(0), 0.9f);
    EXPECT_EQ(unit->getParameter(1), 0.11f);
    choose(0, "Gamma");
    EXPECT_EQ(unit->getParameter(0), 0.3f);
  }
  {
    SCOPED_TRACE("a corrupt file: reported, parameters unchanged, the preset still current");
    const std::vector<float> before = valuesOf(*unit);
    auto [corrupt, lines] = choose(2, "Corrupt");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("AUPresetFile::FEHLER: Die Datei konnte nicht eingelesen werden: ", 0), 0u);
    EXPECT_NE(lines[0].find(", Format: 100"), std::string::npos);
    EXPECT_EQ(unit->currentPreset(), corrupt);
    EXPECT_EQ(valuesOf(*unit), before);
  }
  const std::shared_ptr<AUAudioUnitPreset> current = unit->currentPreset();
  const std::vector<float> before = valuesOf(*unit);
  for (const std::string name : {"../Outside", "Sub/../../Outside", "..", "Missing", "notes", "Sub"}) {
    SCOPED_TRACE("refused: " + name);
    auto [preset, lines] = choose(0, name);
    EXPECT_EQ(lines, std::vector<std::string>{"AUExtension::ERROR: The preset file '" + name +
                                              ".plist' does not exist."});
    EXPECT_EQ(unit->currentPreset(), current);
    EXPECT_EQ(valuesOf(*unit), before);
    try {
      beginCapture();
      unit->presetStateFor(*preset);
      ADD_FAILURE() << "no error";
    } catch (const NSError& error) {
      EXPECT_EQ(error.domain(), NSOSStatusErrorDomain);
      EXPECT_EQ(error.code(), -66742);
    }
    EXPECT_EQ(endCapture().size(), 1u);
  }
  {
    SCOPED_TRACE("user presets restore the factory file of their name");
    auto [user, lines] = choose(-1, "Alpha");
    EXPECT_EQ(unit->currentPreset(), user);
    EXPECT_EQ(unit->getParameter(0), 0.9f);
    auto [nope, failure] = choose(-3, "Nope");
    EXPECT_EQ(failure,
              (std::vector<std::string>{"AUExtension::ERROR: The preset file 'Nope.plist' does not exist.",
                                        "AUExtension::ERROR: Unable to restore set for preset Nope"}));
    EXPECT_EQ(unit->currentPreset(), user);
  }
  SCOPED_TRACE("presetStateFor reads the file as it is, changing no parameter");
  quietly([&] { unit->setParameter(0, 0.5f); });
  const std::vector<float> now = valuesOf(*unit);
  std::shared_ptr<NSError> error;
  const auto state =
      quietly([&] { return unit->presetStateForError(AUAudioUnitPreset(-7, "Alpha"), &error); });
  ASSERT_TRUE(state.has_value());
  EXPECT_EQ(error, nullptr);
  EXPECT_EQ(valuesOf(*unit), now);
  EXPECT_EQ(state->at("group 0").dictionary()->at("param 1").find("address")->asUInt64(), 1u);
}

TEST(AudioUnitState, MissingResourceFolder) {
  ResourceFolder folder;
  fs::remove_all(folder.root());
  auto unit = quietUnit();
  {
    SCOPED_TRACE("the limiter's unit printer reads the list at its own line: the failure comes between");
    beginCapture();
    AudioUnitTestAccess::effect(*unit)->unitDiagnostics(unit);
    const std::vector<std::string> lines = endCapture();
    const auto current = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
      return line.rfind(" -- unit current preset: ", 0) == 0;
    });
    ASSERT_GE(std::distance(current, lines.end()), 3);
    EXPECT_EQ(current[1].rfind("Creating factory presets failed: ", 0), 0u) << current[1];
    EXPECT_EQ(current[2], " -- unit .factory presets: Optional([])");
  }
  beginCapture();
  const auto presets = unit->factoryPresets();
  unit->setCurrentPreset(std::make_shared<AUAudioUnitPreset>(0, "Brickwall"));
  std::shared_ptr<NSError> error;
  EXPECT_FALSE(unit->presetStateForError(AUAudioUnitPreset(0, "Brickwall"), &error).has_value());
  const std::vector<std::string> lines = endCapture();
  EXPECT_TRUE(presets.has_value() && presets->empty());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("Creating factory presets failed: ", 0), 0u);
  EXPECT_EQ(lines[1], "AUExtension::ERROR: The preset number 0 is invalid.");
  EXPECT_EQ(lines[2], "AUExtension::ERROR: The preset file 'Brickwall.plist' does not exist.");
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), -66742);
}

TEST(AudioUnitState, WithoutAResourceFolderThereAreNoFactoryPresets) {
  // The program's bundle has no resource folder: the unit knows no other place to look, however
  // it was built.
  Bundle::setMainResourcePath(std::string());
  auto unit = quietUnit();
  EXPECT_FALSE(unit->factoryPresetsFolder().has_value());
  beginCapture();
  const auto presets = unit->factoryPresets();
  const std::vector<std::string> lines = endCapture();
  Bundle::setMainResourcePath(std::nullopt);
  EXPECT_TRUE(presets.has_value() && presets->empty());
  EXPECT_EQ(lines,
            std::vector<std::string>{"Creating factory presets failed: The effect has no resource folder."});
}

namespace {

// A resource folder and a preset made from a unit's tree, its name with markup characters and
// letters beyond ASCII.
struct SavedPreset {
  ResourceFolder folder;
  std::shared_ptr<KOV_Compressor_Extension_AudioUnit> unit = quietUnit();
  KOVPreset preset;
  SavedPreset() {
    preset.makeFrom(std::shared_ptr<AUParameterGroup>(unit->parameterTree()));
    preset.patch->name = "Saved <&> Ünïcode";
  }
};

}  // namespace

// Saving is not used by the unit: one smoke test of a save and load, and the printed failures.
TEST(PresetFiles, SaveLoadAndTheirFailures) {
  SavedPreset saved;
  ResourceFolder& folder = saved.folder;
  KOVPreset& preset = saved.preset;
  const URL url = URL::fileURLWithPath((folder.root() / "saved.plist").string());
  KOVPreset::setDelegate(nullptr);
  KOVPreset loaded;
  quietly([&] {
    preset.save(url);
    loaded.load(url);
  });
  EXPECT_EQ(loaded.patch->name, "Saved <&> Ünïcode");
  EXPECT_EQ(parametersOf(*loaded.patch), parametersOf(*preset.patch));

  const std::string missingFolder = (folder.root() / "no such folder" / "x.plist").string();
  std::ofstream(folder.root() / "array.plist")
      << "<?xml version=\"1.0\"?><plist version=\"1.0\"><array/></plist>";
  KOVPreset target;
  target.patch->name = "unchanged";
  beginCapture();
  preset.save(URL::fileURLWithPath(missingFolder));
  target.load(URL::fileURLWithPath(missingFolder));
  target.load(URL::fileURLWithPath((folder.root() / "array.plist").string()));
  const std::vector<std::string> lines = endCapture();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].rfind("PresetPatch::FEHLER: Die Daten konnten nicht gespeichert werden. (", 0), 0u);
  EXPECT_EQ(lines[1], "AUPresetFile::ERROR: The path " + missingFolder + " does not exist.");
  EXPECT_EQ(lines[2].rfind("AUPresetFile::ERROR: The file ", 0), 0u);
  EXPECT_EQ(lines[0].back(), ')');
  EXPECT_FALSE(fs::exists(folder.root() / "no such folder"));
  EXPECT_EQ(target.patch->name, "unchanged");
}

// A saved file is an XML property list that an independent reader accepts; it loads with every
// field of the patch, and a binary property list loads too.
TEST(PresetFiles, SavedFilesAreXmlPropertyListsAndBinaryOnesLoad) {
  SavedPreset saved;
  ResourceFolder& folder = saved.folder;
  KOVPreset& preset = saved.preset;
  const fs::path path = folder.root() / "saved.plist";
  const URL url = URL::fileURLWithPath(path.string());
  beginCapture();
  preset.save(url);
  EXPECT_TRUE(endCapture().empty());
  {
    std::ifstream file(path);
    std::string head(38, '\0');
    file.read(head.data(), 38);
    EXPECT_EQ(head, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>");
  }
  if (std::system("python3 -c 'import plistlib' >/dev/null 2>&1") == 0) {
    SCOPED_TRACE("an independent reader accepts the file");
    const std::string command =
        "python3 -c \"import plistlib,sys; d=plistlib.load(open(sys.argv[1],'rb')); g=d['group 0']; "
        "assert d['name']=='Saved <&> Ünïcode' and d['type']==1635085670 and d['count']==1 and "
        "g['count']==12; "
        "assert [g['param %d' % i]['address'] for i in range(12)] == list(range(12)); "
        "assert abs(g['param 0']['value'] - 0.1) < 1e-7\" '" +
        path.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
  }
  KOVPreset::setDelegate(nullptr);
  KOVPreset loaded;
  quietly([&] { loaded.load(url); });
  EXPECT_EQ(loaded.patch->type, FourCC("aumf"));
  EXPECT_EQ(loaded.patch->manufacturer, FourCC("QFLD"));
  EXPECT_EQ(loaded.patch->subtype, FourCC("kvc1"));
  EXPECT_EQ(loaded.patch->version, 1);

  writeFile(folder.root() / "binary.plist", *preset.getDictionary(), PropertyListFormat::binary);
  KOVPreset binary;
  quietly([&] { binary.load(URL::fileURLWithPath((folder.root() / "binary.plist").string())); });
  EXPECT_EQ(binary.patch->name, "Saved <&> Ünïcode");
  EXPECT_EQ(parametersOf(*binary.patch), parametersOf(*preset.patch));
}

TEST(AudioUnitStateThreads, ConcurrentRestoresReachOnlyTheirOwnUnit) {
  constexpr int kUnits = 4;
  std::vector<std::shared_ptr<KOV_Compressor_Extension_AudioUnit>> units;
  for (int i = 0; i < kUnits; ++i)
    units.push_back(quietUnit());
  beginCapture();  // the kernel prints every parameter it receives
  std::vector<std::thread> threads;
  for (int i = 0; i < kUnits; ++i) {
    threads.emplace_back([&, i] {
      for (int round = 0; round < 50; ++round) {
        const double value = (i * 50 + round) / 1000.0;
        units[std::size_t(i)]->setFullState(stateWith({{0, value}, {1, value}, {2, value}}));
      }
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  endCapture();
  for (int i = 0; i < kUnits; ++i) {
    SCOPED_TRACE(i);
    const float last = float((i * 50 + 49) / 1000.0);
    for (std::int32_t address : {0, 1, 2})
      EXPECT_EQ(units[std::size_t(i)]->getParameter(address), last);
  }

  SCOPED_TRACE("a released unit is not kept by its registration");
  std::weak_ptr<KOV_Compressor_Extension_AudioUnit> released = units[0];
  quietly([&] { units[0]->setFullState(stateWith({{0, 0.5}})); });
  units.clear();
  EXPECT_TRUE(released.expired());
  EXPECT_EQ(KOVPreset::delegate(), nullptr);
}

TEST(AudioUnitStateThreads, StateAndPresetsFromTwoThreadsWhileRendering) {
  EffectResources resources;
  unittest::Host host(48000.0);
  KOV_Compressor_Extension_AudioUnit& unit = *host.unit;
  // Two whole states (every parameter set) and the factory presets: whatever the order of the
  // operations, every state read must be one of these.
  auto whole = [](double base) {
    std::vector<std::pair<PropertyList, PropertyList>> params;
    params.reserve(12);
    for (int address = 0; address < 12; ++address)
      params.emplace_back(address, base + address / 100.0);
    return stateWith(params);
  };
  const PropertyList::Dictionary stateA = whole(0.1), stateB = whole(0.5);
  const auto presets = *quietly([&] { return unit.factoryPresets(); });
  ASSERT_FALSE(presets.empty());
  std::vector<PropertyList::Dictionary> wholeStates;
  quietly([&] {
    for (const auto& state : {stateA, stateB}) {
      unit.setFullState(state);
      wholeStates.push_back(*unit.fullState());
    }
    for (const auto& preset : presets) {
      unit.setCurrentPreset(preset);
      wholeStates.push_back(*unit.fullState());
    }
  });
  auto isWhole = [&](const std::optional<PropertyList::Dictionary>& state) {
    return state && std::find(wholeStates.begin(), wholeStates.end(), *state) != wholeStates.end();
  };

  std::atomic<bool> controlling{true};
  std::atomic<int> mixedStates{0}, wrongPresets{0}, renders{0};
  beginCapture();  // the kernel prints every parameter it receives
  std::thread renderer([&] {
    const unittest::Stereo input = unittest::noise(256, 0.5f);
    unittest::Stereo output(256);
    while (controlling.load() || renders.load() == 0) {
      host.renderAt(input, output, 0, 256);
      renders.fetch_add(1);
    }
  });
  std::thread states([&] {
    for (int round = 0; round < 150; ++round) {
      if (round % 3 == 2) {
        // A user preset named like a factory one: restored through the state.
        unit.setCurrentPreset(std::make_shared<AUAudioUnitPreset>(-1, presets[0]->name()));
      } else {
        unit.setFullState(round % 3 == 0 ? stateA : stateB);
      }
      if (!isWhole(unit.fullState()))
        mixedStates.fetch_add(1);
    }
  });
  std::thread choices([&] {
    for (int round = 0; round < 150; ++round) {
      const auto list = unit.factoryPresets();
      const auto& chosen = presets[std::size_t(round) % presets.size()];
      unit.setCurrentPreset(std::make_shared<AUAudioUnitPreset>(chosen->number(), chosen->name()));
      const auto current = unit.currentPreset();
      if (!list || list->size() != presets.size() || !current)
        wrongPresets.fetch_add(1);
      if (!isWhole(unit.fullState()))
        mixedStates.fetch_add(1);
    }
  });
  states.join();
  choices.join();
  controlling.store(false);
  renderer.join();
  endCapture();
  EXPECT_EQ(mixedStates.load(), 0);
  EXPECT_EQ(wrongPresets.load(), 0);
  EXPECT_GT(renders.load(), 0);
}

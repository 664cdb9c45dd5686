// Effect bundles: found in the plug-in folders, broken ones skipped, units made through the
// module's principal class and delivered on the main queue, and the principal class handed back
// by requestViewController. The bundles are built beside this test and loaded, never linked.
#include <elf.h>
#include <glib.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>

#include "AVFoundation/AVAudioNode.h"
#include "AVFoundation/AVAudioUnitComponent.h"
#include "AudioToolbox/AUAudioUnit.h"
#include "AudioToolbox/AUAudioUnitFactory.h"
#include "Dispatch/DispatchQueue.h"
#include "Foundation/Bundle.h"
#include "StdoutCapture.h"

namespace {

namespace fs = std::filesystem;

const std::string kPlugIns = KOV_TEST_PLUGINS_DIR;
const std::string kTestBundle = kPlugIns + "/KOV Test Effect.aubundle";

constexpr AudioComponentDescription kTestEffect{FourCC("aumf"), FourCC("tbn1"), FourCC("Tst4"), 0, 0};
constexpr AudioComponentDescription kRefusingEffect{FourCC("aumf"), FourCC("tbn3"), FourCC("Tst4"), 0, 0};

// A registration naming `module` with one component of subtype `subtype`.
std::string registration(const std::string& module, const std::string& subtype,
                         const std::string& type = "aumf") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist "
         "version=\"1.0\"><dict><key>CFBundleExecutable</key>"
         "<string>" +
         module + "</string><key>AudioComponents</key><array><dict><key>type</key><string>" + type +
         "</string><key>subtype</key><string>" + subtype +
         "</string><key>manufacturer</key><string>Tst4</string>"
         "<key>name</key><string>Tst4: Broken</string><key>version</key><integer>1</integer></dict></array>"
         "</dict></plist>\n";
}

void write(const fs::path& file, const std::string& text) {
  std::ofstream(file, std::ios::binary) << text;
}

std::string readAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The working test module with `value` written over its bytes at `offset`.
template <class Value>
std::string patchedModule(std::size_t offset, Value value) {
  std::string bytes = readAll(kTestBundle + "/kov_test_effect.so");
  std::memcpy(bytes.data() + offset, &value, sizeof value);
  return bytes;
}

// A plug-in folder of broken bundles in the temporary folder, removed at the end.
struct BrokenPlugIns {
  fs::path folder = fs::temp_directory_path() / ("kov-plugins-" + std::to_string(::getpid()));
  BrokenPlugIns() {
    fs::remove_all(folder);
    auto bundle = [&](const std::string& name) {
      fs::create_directories(folder / name);
      return folder / name;
    };
    write(bundle("A Missing.aubundle") / "Info.plist", registration("missing.so", "tbk1"));
    const fs::path garbage = bundle("B Garbage.aubundle");
    write(garbage / "Info.plist", registration("garbage.so", "tbk2"));
    write(garbage / "garbage.so", "no shared object");
    const fs::path noEntry = bundle("C No Entry.aubundle");
    write(noEntry / "Info.plist", registration("module.so", "tbk3"));
    fs::copy_file(KOV_TEST_MODULE_WITHOUT_ENTRY, noEntry / "module.so");
    write(bundle("D Bad Plist.aubundle") / "Info.plist", "<plist><dict><key>CFBundleExecutable");
    bundle("E No Plist.aubundle");
    write(bundle("F Bad Code.aubundle") / "Info.plist", registration("kov_test_effect.so", "tbk6", "aumfx"));
    write(bundle("G Escape.aubundle") / "Info.plist", registration("../kov_test_effect.so", "tbk7"));
    // The working module registered a second time under the test effect's own key.
    const fs::path twin = bundle("H Twin.aubundle");
    write(twin / "Info.plist", registration("kov_test_effect.so", "tbn1"));
    fs::copy_file(kTestBundle + "/kov_test_effect.so", twin / "kov_test_effect.so");
    write(bundle("I Huge.aubundle") / "Info.plist", std::string((1 << 20) + 1, ' '));
    // Neither is a bundle: passed over without a word.
    write(folder / "J File.aubundle", "");
    fs::create_directories(folder / "K Folder.plugin");
    // Module files the loader must never map: their segments would reach past the end of the
    // file (touching those pages kills the process), or they are no shared object of this machine.
    const std::string module = readAll(kTestBundle + "/kov_test_effect.so");
    auto moduleBundle = [&](const std::string& name, const std::string& subtype, const std::string& bytes) {
      const fs::path path = bundle(name);
      write(path / "Info.plist", registration("kov_test_effect.so", subtype));
      write(path / "kov_test_effect.so", bytes);
    };
    moduleBundle("L Truncated.aubundle", "tbk8", module.substr(0, 4096));
    fs::create_directory_symlink(folder / "nowhere", folder / "M Dangling.aubundle");
    fs::create_directory_symlink(folder / "N Loop.aubundle", folder / "N Loop.aubundle");
    moduleBundle("O Executable.aubundle", "tbk9",
                 patchedModule(offsetof(Elf64_Ehdr, e_type), Elf64_Half(ET_EXEC)));
    moduleBundle("P 32 Bit.aubundle", "tbka", patchedModule(EI_CLASS, char(ELFCLASS32)));
    moduleBundle("Q Other Machine.aubundle", "tbkb",
                 patchedModule(offsetof(Elf64_Ehdr, e_machine), Elf64_Half(EM_S390)));
    // The first segment's size so large that its end overflows 64 bits.
    Elf64_Ehdr header;
    std::memcpy(&header, module.data(), sizeof header);
    moduleBundle("R Huge Segment.aubundle", "tbkc",
                 patchedModule(header.e_phoff + offsetof(Elf64_Phdr, p_filesz), ~Elf64_Xword(0) - 15));
    // After all of them, a working bundle is still found.
    moduleBundle("S Good.aubundle", "tbkd", module);
  }
  ~BrokenPlugIns() { fs::remove_all(folder); }
};

std::size_t countOf(const AudioComponentDescription& desc) {
  return AVAudioUnitComponentManager::sharedAudioUnitComponentManager()
      .componentsMatchingDescription(desc)
      .size();
}

// What AVAudioUnit.instantiate delivered, and whether it came on the main thread.
struct Delivery {
  int calls = 0;
  bool onMain = false;
  std::shared_ptr<AVAudioUnit> node;
  std::shared_ptr<NSError> error;
};

Delivery instantiateAndWait(const AudioComponentDescription& desc) {
  auto delivery = std::make_shared<Delivery>();
  AVAudioUnit::instantiate(desc, 0,
                           [delivery](std::shared_ptr<AVAudioUnit> node, std::shared_ptr<NSError> error) {
                             ++delivery->calls;
                             delivery->onMain = DispatchQueue::main().isCurrent();
                             delivery->node = std::move(node);
                             delivery->error = std::move(error);
                           });
  EXPECT_EQ(delivery->calls, 0) << "delivered before the main queue ran";
  MainLoop::runUntil([&] { return delivery->calls > 0; });
  MainLoop::runUntilIdle();
  return *delivery;
}

std::shared_ptr<AUAudioUnitFactory> requestPrincipal(AUAudioUnit& unit) {
  bool answered = false, onMain = false;
  std::shared_ptr<AUAudioUnitFactory> principal;
  unit.requestViewController([&](std::shared_ptr<AUAudioUnitFactory> answer) {
    answered = true;
    onMain = DispatchQueue::main().isCurrent();
    principal = std::move(answer);
  });
  EXPECT_FALSE(answered) << "answered before the main queue ran";
  MainLoop::runUntil([&] { return answered; });
  EXPECT_TRUE(onMain);
  return principal;
}

}  // namespace

TEST(EffectBundles, FoundInThePlugInFolders) {
  MainLoop::adoptCurrentThread();
  const auto folders = AudioComponentPlugInFolders();
  ASSERT_GE(folders.size(), 3u);
  EXPECT_EQ(folders[0], Bundle::main().bundlePath() + "/PlugIns");
  EXPECT_EQ(folders[1], std::string(g_get_user_data_dir()) + "/kov-compressor/PlugIns");
  EXPECT_EQ(folders[2], std::string(g_get_system_data_dirs()[0]) + "/kov-compressor/PlugIns");
  EXPECT_EQ(countOf(kTestEffect), 0u);

  AudioComponentAddPlugInFolder(kPlugIns);
  AudioComponentAddPlugInFolder(kPlugIns);  // searched already: nothing is added twice
  EXPECT_EQ(AudioComponentPlugInFolders().back(), kPlugIns);
  EXPECT_EQ(AudioComponentPlugInFolders().size(), folders.size() + 1);

  const auto found =
      AVAudioUnitComponentManager::sharedAudioUnitComponentManager().componentsMatchingDescription(
          {0, 0, FourCC("Tst4"), 0, 0});
  ASSERT_EQ(found.size(), 3u);
  EXPECT_EQ(describe(found[0]->audioComponentDescription()),
            describe({FourCC("aumf"), FourCC("tbn1"), FourCC("Tst4"), 2, 0}));
  EXPECT_EQ(found[0]->name(), "Tst4: Bundle Test Effect");
  EXPECT_EQ(found[0]->versionString(), "1.1.2");
}

TEST(EffectBundles, BrokenBundlesAreSkippedWithOneLineEach) {
  MainLoop::adoptCurrentThread();
  AudioComponentAddPlugInFolder(kPlugIns);
  BrokenPlugIns broken;
  testing::internal::CaptureStderr();
  AudioComponentAddPlugInFolder(broken.folder.string());
  const auto lines = stdout_capture::splitLines(testing::internal::GetCapturedStderr());

  const std::string prefix = "AudioComponent: skipped plug-in " + broken.folder.string() + "/";
  const std::vector<std::string> expected{
      prefix + "A Missing.aubundle: the module missing.so is missing",
      prefix + "B Garbage.aubundle: the module will not load (it is no ELF file)",
      prefix + "C No Entry.aubundle: the module has no entry kov_principal_class_create",
      prefix + "D Bad Plist.aubundle: Info.plist is no property list",
      prefix + "E No Plist.aubundle: no Info.plist",
      prefix +
          "F Bad Code.aubundle: AudioComponents item 0 needs four-character type, subtype and manufacturer",
      prefix + "G Escape.aubundle: the module name \"../kov_test_effect.so\" is no plain file name",
      prefix + "H Twin.aubundle: 'aumf' 'tbn1' 'Tst4' is registered already",
      prefix + "I Huge.aubundle: Info.plist is too large",
      prefix + "L Truncated.aubundle: the module will not load (it is truncated at 4096 bytes: segment ",
      prefix + "M Dangling.aubundle: the link leads nowhere",
      prefix + "N Loop.aubundle: the link loops back on itself",
      prefix + "O Executable.aubundle: the module will not load (it is no shared object (ELF type 2))",
      prefix + "P 32 Bit.aubundle: the module will not load (it is no 64-bit ELF file)",
      prefix +
          "Q Other Machine.aubundle: the module will not load (it is built for another machine (ELF "
          "machine 22))",
      prefix + "R Huge Segment.aubundle: the module will not load (it is truncated at " +
          std::to_string(fs::file_size(kTestBundle + "/kov_test_effect.so")) +
          " bytes: segment 0 ends at byte ",
  };
  // Lines whose end names the module's own layout: only their beginning is fixed.
  const std::set<std::size_t> openEnded{9, 15};
  ASSERT_EQ(lines.size(), expected.size()) << testing::PrintToString(lines);
  for (std::size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE(expected[i]);
    EXPECT_EQ(lines[i].substr(0, expected[i].size()), expected[i]);
    if (!openEnded.count(i)) {
      EXPECT_EQ(lines[i].size(), expected[i].size());
    }
  }
  EXPECT_EQ(lines[9].back(), ')');
  EXPECT_EQ(lines[15].back(), ')');
  EXPECT_EQ(countOf({0, FourCC("tbkd"), FourCC("Tst4"), 0, 0}), 1u);
  for (OSType subtype : {FourCC("tbk1"), FourCC("tbk2"), FourCC("tbk3"), FourCC("tbk6"), FourCC("tbk7"),
                         FourCC("tbk8"), FourCC("tbk9"), FourCC("tbka"), FourCC("tbkb"), FourCC("tbkc")}) {
    SCOPED_TRACE(subtype);
    EXPECT_EQ(countOf({0, subtype, FourCC("Tst4"), 0, 0}), 0u);
  }
  EXPECT_EQ(countOf(kTestEffect), 1u);
}

TEST(EffectBundles, InstantiatedInProcessAndDeliveredOnTheMainQueue) {
  MainLoop::adoptCurrentThread();
  AudioComponentAddPlugInFolder(kPlugIns);

  const Delivery made = instantiateAndWait(kTestEffect);
  EXPECT_EQ(made.calls, 1);
  EXPECT_TRUE(made.onMain);
  ASSERT_NE(std::dynamic_pointer_cast<AVAudioUnitEffect>(made.node), nullptr);
  EXPECT_EQ(made.node->name(), "Bundle Test Effect");
  EXPECT_EQ(made.node->audioComponentDescription().componentFlags, 2u);
  const auto unit = made.node->auAudioUnit();

  // The principal class handed back is the object that made the unit, and inside the module
  // Bundle.main was the bundle; the program's own main bundle is untouched.
  const auto principal = requestPrincipal(*unit);
  ASSERT_NE(principal, nullptr);
  EXPECT_EQ(unit->audioUnitShortName(), describeAddress(principal.get()) + " " + kTestBundle + "/Resources");
  EXPECT_NE(Bundle::main().bundlePath(), kTestBundle);

  // Every instantiation has a principal class of its own.
  const Delivery second = instantiateAndWait(kTestEffect);
  ASSERT_NE(second.node, nullptr);
  const auto secondPrincipal = requestPrincipal(*second.node->auAudioUnit());
  EXPECT_NE(secondPrincipal, principal);

  {
    SCOPED_TRACE("the factory refuses");
    const Delivery refused = instantiateAndWait(kRefusingEffect);
    EXPECT_TRUE(refused.onMain && !refused.node);
    ASSERT_NE(refused.error, nullptr);
    EXPECT_EQ(refused.error->code(), -4711);
    EXPECT_EQ(refused.error->localizedDescription(), "test effect refused");
  }
}

TEST(EffectBundles, PrincipalClassLivesAsLongAsTheHostHoldsTheUnit) {
  MainLoop::adoptCurrentThread();
  AudioComponentAddPlugInFolder(kPlugIns);
  auto unit = AUAudioUnit::instantiate(kTestEffect, 0, nullptr);
  ASSERT_NE(unit, nullptr);
  std::weak_ptr<AUAudioUnitFactory> principal = requestPrincipal(*unit);
  std::weak_ptr<AUAudioUnit> weakUnit = unit;
  EXPECT_FALSE(principal.expired());
  // The principal class owns the unit; letting go of the host's reference frees both.
  unit.reset();
  EXPECT_TRUE(principal.expired());
  EXPECT_TRUE(weakUnit.expired());
}

TEST(EffectBundles, FactoryEntryHandsErrorsOut) {
  struct Factory : AUAudioUnitFactory {
    int mode = 0;
    std::shared_ptr<AUAudioUnit> createAudioUnit(const AudioComponentDescription& desc) override {
      if (mode == 1)
        throw NSError(NSOSStatusErrorDomain, -50, "bad description");
      if (mode == 2)
        throw std::runtime_error("out of luck");
      return std::make_shared<AUAudioUnit>(desc);
    }
  } factory;
  std::shared_ptr<NSError> error;
  EXPECT_NE(factory.createAudioUnitWithComponentDescription(kTestEffect, &error), nullptr);
  EXPECT_EQ(error, nullptr);

  factory.mode = 1;
  EXPECT_EQ(factory.createAudioUnitWithComponentDescription(kTestEffect, &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->description(),
            "Error Domain=NSOSStatusErrorDomain Code=-50 \"bad description\" "
            "UserInfo={NSLocalizedDescription=bad description}");

  factory.mode = 2;
  error.reset();
  EXPECT_EQ(factory.createAudioUnitWithComponentDescription(kTestEffect, &error), nullptr);
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code(), kAudioUnitErr_FailedInitialization);
  EXPECT_EQ(error->localizedDescription(), "out of luck");
}

TEST(EffectBundles, OneKeyRegisteredInProcessAndByABundle) {
  MainLoop::adoptCurrentThread();
  AudioComponentAddPlugInFolder(kPlugIns);
  constexpr AudioComponentDescription kFirstInProcess{FourCC("aumf"), FourCC("tbp1"), FourCC("Tst4"), 0, 0};
  constexpr AudioComponentDescription kFirstInBundle{FourCC("aumf"), FourCC("tbp2"), FourCC("Tst4"), 0, 0};
  auto plainUnit = [](const AudioComponentDescription& desc, AudioComponentInstantiationOptions) {
    return std::make_shared<AUAudioUnit>(desc);
  };
  AudioComponentRegister(kFirstInProcess, "Tst4: In Process", 1, plainUnit);

  const fs::path folder = fs::temp_directory_path() / ("kov-same-key-" + std::to_string(::getpid()));
  fs::remove_all(folder);
  for (const std::string subtype : {"tbp1", "tbp2"}) {
    const fs::path bundle = folder / (subtype + ".aubundle");
    fs::create_directories(bundle);
    write(bundle / "Info.plist", registration("kov_test_effect.so", subtype));
    fs::copy_file(kTestBundle + "/kov_test_effect.so", bundle / "kov_test_effect.so");
  }
  const std::string taken = "AudioComponent: skipped plug-in " + folder.string() +
                            "/tbp1.aubundle: 'aumf' 'tbp1' 'Tst4' is registered already";
  {
    SCOPED_TRACE("registered in process first: the bundle is skipped, the registration stays");
    testing::internal::CaptureStderr();
    AudioComponentAddPlugInFolder(folder.string());
    EXPECT_EQ(stdout_capture::splitLines(testing::internal::GetCapturedStderr()),
              std::vector<std::string>{taken});
    const auto found =
        AVAudioUnitComponentManager::sharedAudioUnitComponentManager().componentsMatchingDescription(
            kFirstInProcess);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0]->name(), "Tst4: In Process");
    const auto unit = AUAudioUnit::instantiate(kFirstInProcess, 0, nullptr);
    ASSERT_NE(unit, nullptr);
    EXPECT_EQ(requestPrincipal(*unit), nullptr);
  }
  {
    SCOPED_TRACE("the same folder searched again under another spelling: one line per taken key");
    testing::internal::CaptureStderr();
    AudioComponentAddPlugInFolder(folder.string() + "/.");
    const auto lines = stdout_capture::splitLines(testing::internal::GetCapturedStderr());
    ASSERT_EQ(lines.size(), 2u) << testing::PrintToString(lines);
    EXPECT_NE(lines[0].find("tbp1.aubundle: 'aumf' 'tbp1' 'Tst4' is registered already"), std::string::npos);
    EXPECT_NE(lines[1].find("tbp2.aubundle: 'aumf' 'tbp2' 'Tst4' is registered already"), std::string::npos);
    EXPECT_EQ(countOf(kFirstInProcess), 1u);
    EXPECT_EQ(countOf(kFirstInBundle), 1u);
  }
  {
    SCOPED_TRACE("registered in process after the bundle: the registration replaces it, units made stay");
    auto fromBundle = AUAudioUnit::instantiate(kFirstInBundle, 0, nullptr);
    ASSERT_NE(fromBundle, nullptr);
    std::weak_ptr<AUAudioUnitFactory> principal = requestPrincipal(*fromBundle);
    EXPECT_FALSE(principal.expired());
    AudioComponentRegister(kFirstInBundle, "Tst4: Replacement", 1, plainUnit);
    EXPECT_EQ(countOf(kFirstInBundle), 1u);
    const auto replacement = AUAudioUnit::instantiate(kFirstInBundle, 0, nullptr);
    ASSERT_NE(replacement, nullptr);
    EXPECT_EQ(requestPrincipal(*replacement), nullptr);
    EXPECT_EQ(requestPrincipal(*fromBundle), principal.lock());
    EXPECT_EQ(fromBundle->audioUnitShortName().value_or("").rfind(describeAddress(principal.lock().get()), 0),
              0u);
    fromBundle.reset();
    EXPECT_TRUE(principal.expired());
  }
  fs::remove_all(folder);
}

// View pinning, unique names, colour components, capitals, path globals and folder creation.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <tuple>

#include "Dispatch/DispatchQueue.h"
#include "Extensions.h"
#include "Foundation/Bundle.h"
#include "Foundation/FileManager.h"
#include "Foundation/NSError.h"
#include "Foundation/testing/FoundationTesting.h"
#include "StdoutCapture.h"

namespace {

std::string runMainLoopAndCapture(const std::function<void()>& body) {
  stdout_capture::beginCapture();
  body();
  MainLoop::runUntilIdle();
  return stdout_capture::endCapture();
}

}  // namespace

TEST(ViewExtensions, PinToSuperviewEdgesFollowsTheSuperview) {
  auto container = UIView::make(CGRect(0, 0, 320, 240));
  auto editor = UIView::make(CGRect(12, 34, 56, 78));
  {
    SCOPED_TRACE("without a superview nothing changes");
    pinToSuperviewEdges(*editor);
    EXPECT_TRUE(editor->translatesAutoresizingMaskIntoConstraints());
    EXPECT_EQ(editor->frame(), CGRect(12, 34, 56, 78));
  }
  container->addSubview(editor);
  pinToSuperviewEdges(*editor);
  EXPECT_FALSE(editor->translatesAutoresizingMaskIntoConstraints());
  ASSERT_EQ(container->constraints().size(), 4u);
  const NSLayoutAttribute order[] = {NSLayoutAttribute::top, NSLayoutAttribute::leading,
                                     NSLayoutAttribute::bottom, NSLayoutAttribute::trailing};
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const auto& c = container->constraints()[i];
    EXPECT_EQ(c->firstItem(), editor);
    EXPECT_EQ(c->secondItem(), container);
    EXPECT_EQ(c->firstAttribute(), order[i]);
    EXPECT_EQ(c->secondAttribute(), order[i]);
    EXPECT_EQ(c->constant(), 0);
    EXPECT_EQ(c->multiplier(), 1);
  }
  for (const CGRect& frame : {CGRect(0, 0, 1024, 768), CGRect(5, 5, 200, 100), CGRect(0, 0, 512, 340)}) {
    container->setFrame(frame);
    EXPECT_EQ(editor->frame(), CGRect(0, 0, frame.size.width, frame.size.height));
  }
  container->setSemanticContentAttribute(UISemanticContentAttribute::forceRightToLeft);
  EXPECT_EQ(editor->frame(), CGRect(0, 0, 512, 340));
}

TEST(ViewExtensions, UniqueNamesAndColourComponents) {
  {
    SCOPED_TRACE("prefix, hyphen, unique text");
    const std::string named = uniqueName("preset");
    EXPECT_EQ(named.rfind("preset-", 0), 0u);
    EXPECT_GT(named.size(), std::string("preset-").size());
    EXPECT_EQ(uniqueName("").front(), '-');
    const std::string bare = uniqueName(std::nullopt);
    EXPECT_FALSE(bare.empty());
    EXPECT_NE(bare.front(), '-');
    std::set<std::string> seen;
    for (int i = 0; i < 1000; ++i)
      seen.insert(uniqueName("x"));
    EXPECT_EQ(seen.size(), 1000u);
  }
  SCOPED_TRACE("colour components");
  const auto components = [](const UIColor& c) {
    return std::tuple(redValue(c), greenValue(c), blueValue(c), alphaValue(c));
  };
  EXPECT_EQ(components(UIColor::red()), std::tuple(1.0, 0.0, 0.0, 1.0));
  EXPECT_EQ(components(UIColor(0.2, 0.4, 0.6, 0.8)), std::tuple(0.2, 0.4, 0.6, 0.8));
}

TEST(Capitals, FixedListOf197Names) {
  const auto& names = capitals();
  ASSERT_EQ(names.size(), 197u);
  EXPECT_EQ(names.front(), "Kabul");
  EXPECT_EQ(names[44], "Copenagen");
  EXPECT_EQ(names[29], "Yaoundé");
  EXPECT_EQ(names.back(), "Harare");
  EXPECT_EQ(std::set<std::string>(names.begin(), names.end()).size(), 197u);
  const auto accented = std::count_if(names.begin(), names.end(), [](const std::string& name) {
    return std::any_of(name.begin(), name.end(), [](unsigned char c) { return c >= 0x80; });
  });
  EXPECT_EQ(accented, 7);
}

TEST(Paths, GetPathsSetsAndLogsBothFolders) {
  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory,
                                     std::vector<std::string>{"/tmp/kov docs"});
  Bundle::setMainResourcePath("/tmp/kov resources");
  std::string out = runMainLoopAndCapture([] { getPaths(); });
  EXPECT_EQ(out,
            "AudioUnitViewController::getPaths() : Audio Unit's documents path is: /tmp/kov docs\n"
            "AudioUnitViewController::getPaths() : Audio Unit's resources path is: /tmp/kov resources\n");
  ASSERT_TRUE(documentsURL);
  EXPECT_EQ(documentsURL->path(), "/tmp/kov docs");
  ASSERT_TRUE(resourcesURL);
  EXPECT_EQ(resourcesURL->path(), "/tmp/kov resources");

  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::vector<std::string>{});
  Bundle::setMainResourcePath("");
  out = runMainLoopAndCapture([] { getPaths(); });
  EXPECT_EQ(out,
            "AudioUnitViewController::getPaths() : ERROR: Audio Unit's documents path is nil.\n"
            "AudioUnitViewController::getPaths() : ERROR: Audio Unit's resources path is nil.\n");
  EXPECT_FALSE(documentsURL);
  EXPECT_FALSE(resourcesURL);
  EXPECT_FALSE(sharedURLAudio);
  EXPECT_FALSE(sharedURLMIDI);

  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::nullopt);
  Bundle::setMainResourcePath(std::nullopt);
}

TEST(Paths, EnsureDirectoryExists) {
  const auto root = std::filesystem::temp_directory_path() / ("kov-ensure-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  {
    SCOPED_TRACE("a plain file counts as existing and stays a file");
    const auto file = root / "plain";
    std::ofstream{file};
    EXPECT_TRUE(ensureDirectoryExists(URL::fileURLWithPath(file.string())));
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
  }
  {
    SCOPED_TRACE("missing parents are created, silently");
    const auto nested = root / "a" / "b" / "c";
    bool ok = false;
    EXPECT_EQ(
        runMainLoopAndCapture([&] { ok = ensureDirectoryExists(URL::fileURLWithPath(nested.string())); }),
        "");
    EXPECT_TRUE(ok);
    EXPECT_TRUE(std::filesystem::is_directory(nested));
  }
  {
    SCOPED_TRACE("a folder below a file cannot be made: false and one line");
    const URL blocked = URL::fileURLWithPath((root / "plain" / "sub").string());
    std::string expected;
    try {
      FileManager::defaultManager().createDirectory(blocked, true);
    } catch (const NSError& error) {
      expected = "ensureDirectoryExists() : ERROR: Creating required directory '" + blocked.path() +
                 "' failed: " + error.localizedDescription() + "\n";
    }
    ASSERT_FALSE(expected.empty());
    bool ok = true;
    const std::string out = runMainLoopAndCapture([&] { ok = ensureDirectoryExists(blocked); });
    EXPECT_FALSE(ok);
    EXPECT_EQ(out, expected);
  }
  std::filesystem::remove_all(root);
}

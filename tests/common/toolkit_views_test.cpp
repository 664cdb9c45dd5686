// View pinning, capitals, path globals and folder creation.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
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

// What `body` prints, the lines it queued for the main loop included.
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
    EXPECT_EQ(std::tuple(c->firstItem(), c->secondItem(), c->firstAttribute(), c->secondAttribute()),
              std::tuple(editor, container, order[i], order[i]));
    EXPECT_EQ(std::pair(c->constant(), c->multiplier()), std::pair(0.0, 1.0));
  }
  container->setFrame(CGRect(5, 5, 200, 100));
  EXPECT_EQ(editor->frame(), CGRect(0, 0, 200, 100));
}

TEST(Capitals, FixedListOf197Names) {
  const auto& names = capitals();
  ASSERT_EQ(names.size(), 197u);
  EXPECT_EQ(std::tuple(names.front(), names[29], names[44], names.back()),
            std::tuple("Kabul", "Yaoundé", "Copenagen", "Harare"));
}

TEST(Paths, GetPathsSetsAndLogsBothFolders) {
  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory,
                                     std::vector<std::string>{"/tmp/kov docs"});
  Bundle::setMainResourcePath("/tmp/kov resources");
  std::string out = runMainLoopAndCapture([] { getPaths(); });
  EXPECT_EQ(out,
            "AudioUnitViewController::getPaths() : Audio Unit's documents path is: /tmp/kov docs\n"
            "AudioUnitViewController::getPaths() : Audio Unit's resources path is: /tmp/kov resources\n");
  EXPECT_EQ(resourcesURL->path(), "/tmp/kov resources");

  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::vector<std::string>{});
  Bundle::setMainResourcePath("");
  out = runMainLoopAndCapture([] { getPaths(); });
  EXPECT_EQ(out,
            "AudioUnitViewController::getPaths() : ERROR: Audio Unit's documents path is nil.\n"
            "AudioUnitViewController::getPaths() : ERROR: Audio Unit's resources path is nil.\n");
  EXPECT_FALSE(documentsURL || resourcesURL || sharedURLAudio || sharedURLMIDI);

  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::nullopt);
  Bundle::setMainResourcePath(std::nullopt);
}

TEST(Paths, EnsureDirectoryExists) {
  const auto root = std::filesystem::temp_directory_path() / ("kov-ensure-" + std::to_string(::getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
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
    std::ofstream{root / "plain"};
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

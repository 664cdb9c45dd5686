// URLs, the file manager, file bytes with atomic writes, and bundles.
#include <gtest/gtest.h>
#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "Foundation/Bundle.h"
#include "Foundation/Data.h"
#include "Foundation/FileManager.h"
#include "Foundation/ModuleLoading.h"
#include "Foundation/NSError.h"
#include "Foundation/URL.h"
#include "Foundation/testing/FoundationTesting.h"

namespace {

// A fresh folder for one test, removed afterwards.
struct TempFolder {
  std::string path;
  TempFolder() {
    char* made = g_dir_make_tmp("core_files_XXXXXX", nullptr);
    path = made;
    g_free(made);
  }
  ~TempFolder() { FileManager::defaultManager().removeItem(path); }
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

void writeText(const std::string& path, const std::string& text) {
  std::ofstream(path) << text;
}

std::string readText(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

template <typename F>
NSError errorOf(F&& f) {
  try {
    f();
  } catch (const NSError& e) {
    return e;
  }
  ADD_FAILURE() << "no error thrown";
  return NSError("none", 0);
}

std::vector<std::string> asideFiles(const std::string& folder) {
  std::vector<std::string> hidden;
  for (const auto& name : FileManager::defaultManager().contentsOfDirectory(folder))
    if (name.front() == '.')
      hidden.push_back(name);
  return hidden;
}

}  // namespace

TEST(URL, FileURLsAndPathOperations) {
  const URL file = URL::fileURLWithPath("/tmp/KOV Compressor Folder/Gentle Glue.PLIST");
  EXPECT_TRUE(file.isFileURL());
  EXPECT_EQ(file.scheme(), "file");
  EXPECT_EQ(file.absoluteString(), "file:///tmp/KOV%20Compressor%20Folder/Gentle%20Glue.PLIST");
  EXPECT_EQ(file.description(), file.absoluteString());
  EXPECT_EQ(file.path(), "/tmp/KOV Compressor Folder/Gentle Glue.PLIST");
  EXPECT_EQ(file.lastPathComponent(), "Gentle Glue.PLIST");
  EXPECT_EQ(file.pathExtension(), "PLIST");
  EXPECT_EQ(file.deletingPathExtension().lastPathComponent(), "Gentle Glue");
  EXPECT_EQ(file.deletingLastPathComponent().path(), "/tmp/KOV Compressor Folder");
  EXPECT_FALSE(file.hasDirectoryPath());

  const URL folder = URL::fileURLWithPath("/opt/effect/Resources", true);
  EXPECT_EQ(folder.absoluteString(), "file:///opt/effect/Resources/");
  EXPECT_EQ(folder.path(), "/opt/effect/Resources");
  EXPECT_TRUE(folder.hasDirectoryPath());
  const URL presets = folder.appendingPathComponent("KOV Compressor Folder/Library/Factory Presets/");
  EXPECT_TRUE(presets.hasDirectoryPath());
  EXPECT_EQ(presets.path(), "/opt/effect/Resources/KOV Compressor Folder/Library/Factory Presets");
  const URL preset = presets.appendingPathComponent("Drum Punch", false).appendingPathExtension("plist");
  EXPECT_EQ(
      preset.absoluteString(),
      "file:///opt/effect/Resources/KOV%20Compressor%20Folder/Library/Factory%20Presets/Drum%20Punch.plist");
  EXPECT_EQ(preset.pathExtension(), "plist");

  struct Case {
    const char* path;
    const char* extension;
    const char* last;
  };
  for (const Case& c : {Case{"/a/.plist", "", ".plist"}, Case{"/a/archive.tar.gz", "gz", "archive.tar.gz"},
                        Case{"/a/noext", "", "noext"}, Case{"/", "", "/"}, Case{"/a//b///", "", "b"}}) {
    SCOPED_TRACE(c.path);
    const URL u = URL::fileURLWithPath(c.path);
    EXPECT_EQ(u.pathExtension(), c.extension);
    EXPECT_EQ(u.lastPathComponent(), c.last);
  }

  SCOPED_TRACE("relative paths start in the current folder; existing folders get their slash");
  const std::string cwd = FileManager::defaultManager().currentDirectoryPath();
  EXPECT_EQ(URL::fileURLWithPath("x.plist").path(), (cwd == "/" ? "" : cwd) + "/x.plist");
  EXPECT_TRUE(URL::fileURLWithPath("/tmp").hasDirectoryPath());
  EXPECT_EQ(URL::fileURLWithPath("/tmp"), URL::fileURLWithPath("/tmp/", true));
}

TEST(URL, TextValidityAndOtherSchemes) {
  for (const char* valid : {"https://www.example.com/DYNAMICS/", "abc", "/a/b?c=d#e", "mailto:a@b.c",
                            "http://[::1]:8080/x", "file:///tmp/a%20b", "https://h.com/%C3%BC"}) {
    SCOPED_TRACE(valid);
    EXPECT_TRUE(URL::string(valid).has_value());
  }
  for (const char* invalid : {"", "not a url", "http://exa mple.com", "%zz", "100%", "http://host:99999/",
                              "://x", "1http://x", "a#b#c",
                              "Gr\xC3\xBC\xC3\x9F"
                              "e",
                              "http://h.com/<tag>"}) {
    SCOPED_TRACE(invalid);
    EXPECT_FALSE(URL::string(invalid).has_value());
  }
  const URL file = *URL::string("file:///tmp/a%20b/c.plist");
  EXPECT_TRUE(file.isFileURL());
  EXPECT_EQ(file.path(), "/tmp/a b/c.plist");

  const URL web = *URL::string("https://h.com/a/b.png?x=1");
  EXPECT_FALSE(web.isFileURL());
  EXPECT_EQ(web.scheme(), "https");
  EXPECT_EQ(web.host(), "h.com");
  EXPECT_EQ(web.path(), "/a/b.png");
  EXPECT_EQ(web.pathExtension(), "png");
  EXPECT_EQ(web.lastPathComponent(), "b.png");
  EXPECT_EQ(web.appendingPathComponent("c d").absoluteString(), "https://h.com/a/b.png/c%20d?x=1");
  EXPECT_EQ(web.deletingPathExtension().absoluteString(), "https://h.com/a/b?x=1");
}

TEST(FileManager, ExistenceListingsAndFolders) {
  TempFolder tmp;
  FileManager& fm = FileManager::defaultManager();
  for (const char* name : {"b.plist", "A.PLIST", "c.txt", "a.plist"})
    writeText(tmp / name, name);
  fm.createDirectory(tmp / "sub", false);

  bool isDirectory = true;
  EXPECT_TRUE(fm.fileExists(tmp / "c.txt", &isDirectory));
  EXPECT_FALSE(isDirectory);
  EXPECT_TRUE(fm.fileExists(tmp / "sub", &isDirectory));
  EXPECT_TRUE(isDirectory);
  EXPECT_FALSE(fm.fileExists(tmp / "missing"));
  EXPECT_FALSE(fm.fileExists(""));

  SCOPED_TRACE("listings are sorted by name whatever the creation order");
  EXPECT_EQ(fm.contentsOfDirectory(tmp.path),
            (std::vector<std::string>{"A.PLIST", "a.plist", "b.plist", "c.txt", "sub"}));
  const auto urls = fm.contentsOfDirectory(URL::fileURLWithPath(tmp.path, true));
  ASSERT_EQ(urls.size(), 5u);
  EXPECT_EQ(urls[0].path(), tmp / "A.PLIST");
  EXPECT_TRUE(urls[4].hasDirectoryPath());

  const NSError missing = errorOf([&] { fm.contentsOfDirectory(tmp / "Factory Presets"); });
  EXPECT_EQ(missing.domain(), NSCocoaErrorDomain);
  EXPECT_EQ(missing.code(), 260);
  EXPECT_EQ(missing.localizedDescription(), "The folder \u201CFactory Presets\u201D doesn\u2019t exist.");
  EXPECT_EQ(errorOf([&] { fm.contentsOfDirectory(tmp / "c.txt"); }).code(), 256);

  SCOPED_TRACE("creating folders");
  const URL nested = URL::fileURLWithPath(tmp / "x/y/z", true);
  fm.createDirectory(nested, true);
  EXPECT_TRUE(fm.fileExists(nested.path(), &isDirectory) && isDirectory);
  fm.createDirectory(nested, true);  // exists already: fine
  EXPECT_EQ(errorOf([&] { fm.createDirectory(tmp / "p/q", false); }).code(), 4);
  EXPECT_EQ(errorOf([&] { fm.createDirectory(tmp / "sub", false); }).code(), 516);
  const NSError inTheWay = errorOf([&] { fm.createDirectory(tmp / "c.txt", true); });
  EXPECT_EQ(inTheWay.code(), 516);
  EXPECT_EQ(errorOf([&] { fm.createDirectory(tmp / "c.txt/d", true); }).code(), 516);

  SCOPED_TRACE("removing");
  fm.removeItem(URL::fileURLWithPath(tmp / "x"));
  EXPECT_FALSE(fm.fileExists(tmp / "x"));
  EXPECT_EQ(errorOf([&] { fm.removeItem(tmp / "x"); }).code(), 4);
}

TEST(FileManager, UserFolders) {
  FileManager& fm = FileManager::defaultManager();
  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory,
                                     std::vector<std::string>{"/data/docs"});
  auto urls = fm.urls(SearchPathDirectory::documentDirectory, SearchPathDomainMask::userDomainMask);
  ASSERT_EQ(urls.size(), 1u);
  EXPECT_EQ(urls[0].absoluteString(), "file:///data/docs/");
  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::vector<std::string>{});
  EXPECT_TRUE(fm.urls(SearchPathDirectory::documentDirectory, SearchPathDomainMask::userDomainMask).empty());
  FileManagerTesting::setSearchPaths(SearchPathDirectory::documentDirectory, std::nullopt);

  // Without an XDG documents folder, the documents folder is $HOME/Documents.
  if (const char* xdg = g_get_user_special_dir(G_USER_DIRECTORY_DOCUMENTS);
      !xdg || std::string(xdg) == g_get_home_dir()) {
    const std::string oldHome = g_getenv("HOME") ? g_getenv("HOME") : "";
    g_setenv("HOME", "/home/tester", TRUE);
    urls = fm.urls(SearchPathDirectory::documentDirectory, SearchPathDomainMask::userDomainMask);
    g_setenv("HOME", oldHome.c_str(), TRUE);
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0].path(), "/home/tester/Documents");
    EXPECT_TRUE(urls[0].hasDirectoryPath());
  }
  EXPECT_TRUE(fm.temporaryDirectory().hasDirectoryPath());
}

TEST(Data, ReadingAndWritingFiles) {
  TempFolder tmp;
  Data bytes(256 * 1024 + 3);
  for (std::size_t i = 0; i < bytes.size(); ++i)
    bytes[i] = static_cast<std::uint8_t>(i * 7);
  for (auto options : {DataWritingOptions::none, DataWritingOptions::atomic}) {
    SCOPED_TRACE(static_cast<int>(options));
    const URL url = URL::fileURLWithPath(tmp / "blob.bin");
    writeData(bytes, url, options);
    EXPECT_EQ(dataWithContentsOf(url), bytes);
    writeData(Data{1, 2}, url, options);
    EXPECT_EQ(dataWithContentsOf(url), (Data{1, 2}));
  }
  writeData({}, URL::fileURLWithPath(tmp / "empty"), DataWritingOptions::atomic);
  EXPECT_TRUE(dataWithContentsOf(URL::fileURLWithPath(tmp / "empty")).empty());

  const NSError missing = errorOf([&] { dataWithContentsOf(URL::fileURLWithPath(tmp / "nope.plist")); });
  EXPECT_EQ(missing.code(), 260);
  EXPECT_EQ(missing.localizedDescription(),
            "The file \u201Cnope.plist\u201D couldn\u2019t be opened because there is no such file.");
  EXPECT_EQ(errorOf([&] { dataWithContentsOf(URL::fileURLWithPath(tmp.path)); }).code(), 256);
  EXPECT_EQ(errorOf([&] { dataWithContentsOf(*URL::string("https://example.com/a")); }).code(), 262);
  EXPECT_EQ(errorOf([&] { writeData({1}, *URL::string("https://example.com/a")); }).code(), 518);
  EXPECT_EQ(errorOf([&] {
              writeData({1}, URL::fileURLWithPath(tmp / "blob.bin"), DataWritingOptions::withoutOverwriting);
            }).code(),
            516);
}

TEST(Data, AtomicWritesNeverLeaveAPartialFile) {
  TempFolder tmp;
  {
    SCOPED_TRACE("into a folder that does not exist");
    const NSError e = errorOf([&] {
      writeData({1, 2, 3}, URL::fileURLWithPath(tmp / "none/x.plist"), DataWritingOptions::atomic);
    });
    EXPECT_EQ(e.code(), 4);
    EXPECT_EQ(e.localizedDescription(), "The folder \u201Cnone\u201D doesn\u2019t exist.");
    EXPECT_FALSE(FileManager::defaultManager().fileExists(tmp / "none"));
  }
  {
    SCOPED_TRACE("the final move fails (a folder holds the name): the folder stays, no aside file");
    FileManager::defaultManager().createDirectory(tmp / "taken", false);
    writeText(tmp / "taken/keep", "keep");
    const NSError e =
        errorOf([&] { writeData({1}, URL::fileURLWithPath(tmp / "taken"), DataWritingOptions::atomic); });
    EXPECT_NE(e.code(), 0);
    EXPECT_EQ(readText(tmp / "taken/keep"), "keep");
    EXPECT_TRUE(asideFiles(tmp.path).empty());
  }
  {
    SCOPED_TRACE("replacing keeps the old file's permissions and leaves nothing aside");
    const std::string path = tmp / "preset.plist";
    writeText(path, "old");
    ::chmod(path.c_str(), 0640);
    writeData({'n', 'e', 'w'}, URL::fileURLWithPath(path), DataWritingOptions::atomic);
    EXPECT_EQ(readText(path), "new");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(asideFiles(tmp.path).empty());
  }
}

TEST(FilesThreads, ReadersSeeTheOldOrTheNewFileNeverAMix) {
  TempFolder tmp;
  const URL url = URL::fileURLWithPath(tmp / "state.plist");
  const Data small(100, 'a');
  const Data large(300000, 'b');
  writeData(small, url, DataWritingOptions::atomic);
  std::atomic<bool> stop{false};
  std::atomic<int> torn{0}, reads{0};
  std::thread reader([&] {
    while (!stop.load()) {
      const Data seen = dataWithContentsOf(url);
      if (seen != small && seen != large)
        torn.fetch_add(1);
      reads.fetch_add(1);
    }
  });
  for (int i = 0; i < 200; ++i)
    writeData(i % 2 ? small : large, url, DataWritingOptions::atomic);
  while (reads.load() < 10)
    std::this_thread::yield();
  stop = true;
  reader.join();
  EXPECT_EQ(torn.load(), 0);
}

TEST(Bundle, MainResourceFolderAndItsOverride) {
  TempFolder tmp;
  writeText(tmp / "help.html", "<html/>");
  char* exe = g_file_read_link("/proc/self/exe", nullptr);
  char* exeFolder = g_path_get_dirname(exe);
  EXPECT_EQ(Bundle::main().bundlePath(), exeFolder);
  const auto own = Bundle::forBinaryContaining(reinterpret_cast<const void*>(&errorOf<void (*)()>));
  ASSERT_TRUE(own.has_value());
  EXPECT_EQ(own->bundlePath(), exeFolder);
  g_free(exeFolder);
  g_free(exe);

  Bundle::setMainResourcePath(tmp.path);
  ASSERT_TRUE(Bundle::main().resourceURL().has_value());
  EXPECT_EQ(Bundle::main().resourceURL()->path(), tmp.path);
  EXPECT_TRUE(Bundle::main().resourceURL()->hasDirectoryPath());
  ASSERT_TRUE(Bundle::main().url("help", "html").has_value());
  EXPECT_EQ(Bundle::main().url("help", "html")->lastPathComponent(), "help.html");
  EXPECT_FALSE(Bundle::main().url("1", "m4a").has_value());
  Bundle::setMainResourcePath("");
  EXPECT_FALSE(Bundle::main().resourceURL().has_value());
  EXPECT_FALSE(Bundle::main().url("help", "html").has_value());
  Bundle::setMainResourcePath(std::nullopt);

  FileManager::defaultManager().createDirectory(tmp / "Plug.bundle/Resources", true);
  const Bundle plugin(tmp / "Plug.bundle");
  ASSERT_TRUE(plugin.resourcePath().has_value());
  EXPECT_EQ(*plugin.resourcePath(), tmp / "Plug.bundle/Resources");
  EXPECT_FALSE(Bundle(tmp.path).resourcePath().has_value());
}

TEST(ModuleLoading, OpensTheModuleBesideTheLibraryThatHoldsTheAnchor) {
  // Foundation's own library is the anchor: the platform libraries lie in one folder.
  const void* anchor = reinterpret_cast<const void*>(&loadModuleBeside);
  {
    SCOPED_TRACE("a module beside it, its entry found through what it links (GLib)");
    const ModuleEntry found = loadModuleBeside(anchor, "libplatform_dispatch.so", "g_main_context_default");
    EXPECT_EQ(found.symbol, reinterpret_cast<void*>(&g_main_context_default));
    EXPECT_TRUE(found.path.starts_with("/")) << found.path;
    EXPECT_TRUE(found.path.ends_with("/libplatform_dispatch.so")) << found.path;
    EXPECT_EQ(found.problem, "");
  }
  {
    SCOPED_TRACE("no such entry: the loader's message");
    const ModuleEntry found = loadModuleBeside(anchor, "libplatform_dispatch.so", "kov_no_such_entry");
    EXPECT_EQ(found.symbol, nullptr);
    EXPECT_NE(found.problem.find("kov_no_such_entry"), std::string::npos) << found.problem;
  }
  {
    SCOPED_TRACE("no such module: looked for beside the anchor's library, the loader's message");
    const ModuleEntry found = loadModuleBeside(anchor, "kov-no-such-module.so", "entry");
    EXPECT_EQ(found.symbol, nullptr);
    EXPECT_EQ(std::filesystem::path(found.path).parent_path(),
              std::filesystem::path(
                  loadModuleBeside(anchor, "libplatform_dispatch.so", "g_main_context_default").path)
                  .parent_path());
    EXPECT_NE(found.problem.find("kov-no-such-module.so"), std::string::npos) << found.problem;
  }
}

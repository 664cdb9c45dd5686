// CString: loading and saving whole files, with the exact messages; saving through links, beside
// neighbours and over write-only files; a failed save leaves the old file.
#include "ChildStdout.h"
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

using namespace sdotest;

std::string CannotOpen(const std::string& path, const char* what) {
  return "\nERROR: File '" + path + "' could not be opened for " + what + ".";
}

// What saving `s` to `path` prints; the operator answers 0 whatever happens.
std::string Save(CString& s, const std::string& path) {
  return Printed([&] { EXPECT_EQ(s >> W(path.c_str()), 0); });
}

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

// A fresh folder per test, removed afterwards.
class SdoFile : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sdo_test_XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    dir = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  std::string Path(const std::string& name) const { return (dir / name).string(); }
  long Entries() const { return std::distance(fs::directory_iterator(dir), fs::directory_iterator()); }

  fs::path dir;
};

// The failure messages reach a redirected stdout at once, not at the next output.
TEST_F(SdoFile, FailureMessagesReachARedirectedStdoutAtOnce) {
  const std::string missing = Path("a missing file with a long enough name.txt");
  EXPECT_EQ(child_stdout::printedBeforeExit([&] {
              CString t;
              t << W(missing.c_str());
            }),
            CannotOpen(missing, "loading"));
  CString s("data");
  EXPECT_EQ(child_stdout::printedBeforeExit([&] { s >> W("/dev/full"); }), "\nERROR: While writing file.");
}

// Child of a death test: a 4 KiB file-size limit makes a 64 KiB save fail part-way. Exits 0
// when the write failure was reported.
[[noreturn]] void SaveUnderSizeLimit(const std::string& path) {
  std::signal(SIGXFSZ, SIG_IGN);
  const rlimit limit{4096, 4096};
  setrlimit(RLIMIT_FSIZE, &limit);
  CString big("0123456789abcdef");
  CString& content = big * 4096;
  const bool reported = Printed([&] { content >> W(path.c_str()); }) == "\nERROR: While writing file.";
  std::_Exit(reported ? 0 : 1);
}

TEST_F(SdoFile, FailedSaveLeavesTheOldFile) {
  const std::string path = Path("precious.txt");
  WriteFile(path, "old content");
  EXPECT_EXIT(SaveUnderSizeLimit(path), testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(path), "old content");
  EXPECT_EQ(Entries(), 1) << "no partial file is left beside it";
}

TEST_F(SdoFile, RoundTripKeepsEveryByte) {
  std::string bytes("head");
  for (int v = 0; v < 256; ++v)
    bytes += static_cast<char>(v);
  CString s;
  SetBytes(s, bytes);
  const std::string path = Path("bytes.bin");
  EXPECT_EQ(Save(s, path), "");
  EXPECT_EQ(ReadFile(path), bytes);

  CString loaded("previous");
  EXPECT_EQ(Printed([&] { EXPECT_EQ(loaded << W(path.c_str()), 260); }), "");
  EXPECT_EQ(Bytes(loaded), bytes);
  EXPECT_EQ(loaded.DataSize(), 264);

  // Saving again replaces the file and leaves nothing beside it.
  s = W("short");
  s >> W(path.c_str());
  EXPECT_EQ(ReadFile(path), "short");
  EXPECT_EQ(Entries(), 1);
}

// A load that fails empties the string; only a path that cannot be opened is reported.
TEST_F(SdoFile, LoadingFailures) {
  CString s("keep");
  EXPECT_EQ(s << W(nullptr), 0);
  EXPECT_EQ(Bytes(s), "keep") << "null path: nothing changes";

  WriteFile(Path("empty.txt"), "");
  WriteFile(Path("sparse.bin"), "x");
  fs::resize_file(Path("sparse.bin"), 3ULL << 30);  // sparse: no disk space used
  struct Case {
    const char* what;
    std::string path, printed;
  };
  const Case cases[] = {
      {"missing file", Path("missing.txt"), CannotOpen(Path("missing.txt"), "loading")},
      {"empty file", Path("empty.txt"), ""},
      {"a folder", dir.string(), CannotOpen(dir.string(), "loading")},
      {"beyond INT_MAX bytes: refused before any allocation", Path("sparse.bin"), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    s = W("keep");
    EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(c.path.c_str()), 0); }), c.printed);
    EXPECT_TRUE(s.Empty());
  }
}

// The path may be the string's own text, which loading releases first.
TEST_F(SdoFile, LoadingFromThePathTheStringHolds) {
  const std::string path = Path("named.txt");
  WriteFile(path, "file content");
  CString s(path.c_str());
  EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(s.Data()), 12); }), "");
  EXPECT_EQ(Bytes(s), "file content");

  const std::string missing = Path("a missing file with a long enough name.txt");
  s = W(missing.c_str());
  EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(s.Data()), 0); }), CannotOpen(missing, "loading"));
  EXPECT_TRUE(s.Empty());
}

TEST_F(SdoFile, SavingFailures) {
  CString s("data");
  CString none;
  EXPECT_EQ(s >> W(nullptr), 0);
  EXPECT_EQ(Save(none, Path("x")), "\nError: String object is empty.");
  EXPECT_FALSE(fs::exists(Path("x")));

  fs::create_symlink("loop2", dir / "loop1");
  fs::create_symlink("loop1", dir / "loop2");
  const std::string nowhere = Path("no/such/folder.txt");
  const std::string loop = Path("loop1");
  EXPECT_EQ(Save(s, nowhere), CannotOpen(nowhere, "saving"));
  EXPECT_EQ(Save(s, dir.string()), CannotOpen(dir.string(), "saving"));
  EXPECT_TRUE(fs::is_directory(dir));
  EXPECT_EQ(Save(s, loop), CannotOpen(loop, "saving")) << "a loop of links cannot be opened";
  EXPECT_TRUE(fs::is_symlink(loop));
  fs::create_symlink("self", dir / "self");
  EXPECT_EQ(Save(s, Path("self")), CannotOpen(Path("self"), "saving")) << "nor a link to itself";
  EXPECT_EQ(Save(s, "/dev/full"), "\nERROR: While writing file.");  // refuses every write
  EXPECT_EQ(Save(s, "/dev/null"), "");
  EXPECT_EQ(Entries(), 3) << "nothing is left beside the links";
}

// Saving through a link writes the file it names, relative to the link's folder (also up from
// it), even one not yet there; the links and the file's mode stay.
TEST_F(SdoFile, SavingThroughLinks) {
  CString s("new");
  const fs::perms mode = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
  WriteFile(Path("target.txt"), "old");
  fs::permissions(Path("target.txt"), mode);
  fs::create_symlink(Path("target.txt"), dir / "link.txt");
  fs::create_symlink("later.txt", dir / "dangling");
  fs::create_directory(dir / "sub");
  WriteFile(dir / "sub" / "real.txt", "old");
  fs::create_symlink("real.txt", dir / "sub" / "inner");
  fs::create_symlink("sub/inner", dir / "outer");
  WriteFile(Path("up-target.txt"), "old");
  fs::create_symlink("../up-target.txt", dir / "sub" / "up");
  fs::create_symlink("sub/up", dir / "upper");
  for (const char* link : {"link.txt", "dangling", "outer", "upper"}) {
    SCOPED_TRACE(link);
    EXPECT_EQ(Save(s, Path(link)), "");
    EXPECT_TRUE(fs::is_symlink(dir / link));
  }
  EXPECT_EQ(ReadFile(Path("target.txt")), "new");
  EXPECT_EQ(fs::status(Path("target.txt")).permissions() & fs::perms::all, mode);
  EXPECT_EQ(ReadFile(Path("later.txt")), "new");
  EXPECT_TRUE(fs::is_symlink(dir / "sub" / "inner"));
  EXPECT_EQ(ReadFile(dir / "sub" / "real.txt"), "new");
  EXPECT_TRUE(fs::is_symlink(dir / "sub" / "up"));
  EXPECT_EQ(ReadFile(Path("up-target.txt")), "new");
}

TEST_F(SdoFile, SavingBesideLongNamesAndNeighbours) {
  CString s("new");
  {
    SCOPED_TRACE("a file name of 250 bytes, near the file system's limit");
    const std::string path = Path(std::string(250, 'n'));
    EXPECT_EQ(Save(s, path), "");
    EXPECT_EQ(ReadFile(path), "new");
    WriteFile(path, "old");
    EXPECT_EQ(Save(s, path), "");
    EXPECT_EQ(ReadFile(path), "new");
  }
  {
    SCOPED_TRACE("files beside the target are left alone");
    const std::string path = Path("doc.txt");
    WriteFile(path, "old");
    for (const char* suffix : {".sdo-saving", ".tmp", "~"})
      WriteFile(path + suffix, "neighbour");
    EXPECT_EQ(Save(s, path), "");
    EXPECT_EQ(ReadFile(path), "new");
    for (const char* suffix : {".sdo-saving", ".tmp", "~"})
      EXPECT_EQ(ReadFile(path + suffix), "neighbour") << suffix;
  }
  EXPECT_EQ(Entries(), 5) << "nothing else is left in the folder";
}

// Child of a death test: saves over a file that may be written but not read. Root may read
// anything, so as root the save runs under an unprivileged user id. Exits 0 when the save
// printed nothing.
[[noreturn]] void SaveOverWriteOnly(const std::string& path) {
  if (geteuid() == 0 && setuid(65534) != 0)
    std::_Exit(2);
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0200);
  if (fd < 0 || write(fd, "old", 3) != 3 || fchmod(fd, 0200) != 0 || close(fd) != 0)
    std::_Exit(3);
  CString s("new content");
  std::_Exit(Printed([&] { s >> W(path.c_str()); }).empty() ? 0 : 1);
}

TEST_F(SdoFile, SavingOverAWriteOnlyFile) {
  fs::permissions(dir, fs::perms::all);  // the unprivileged child creates its file here
  const std::string path = Path("write-only.txt");
  EXPECT_EXIT(SaveOverWriteOnly(path), testing::ExitedWithCode(0), "");
  EXPECT_EQ(ReadFile(path), "new content");
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_write);
}

}  // namespace

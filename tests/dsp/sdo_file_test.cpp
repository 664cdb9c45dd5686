// CString: loading and saving whole files, with the exact messages.
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using SDO::CString;

using sdotest::Bytes;
using sdotest::Printed;
using sdotest::W;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream(p, std::ios::binary) << bytes;
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

// A fresh folder per test, removed afterwards.
class SdoFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sdo_file_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string Path(const char* name) const { return (dir / name).string(); }

    fs::path dir;
};

TEST_F(SdoFile, RoundTripKeepsEveryByte) {
    std::string bytes("head");
    for (int v = 0; v < 256; ++v)
        bytes += static_cast<char>(v);
    CString s;
    s += W("head");
    for (int v = 0; v < 256; ++v)
        s += static_cast<char>(v);
    const std::string path = Path("bytes.bin");
    EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(path.c_str()), 0); }), "");
    EXPECT_EQ(ReadFile(path), bytes);

    CString loaded("previous");
    EXPECT_EQ(Printed([&] { EXPECT_EQ(loaded << W(path.c_str()), 260); }), "");
    EXPECT_EQ(Bytes(loaded), bytes);
    EXPECT_EQ(loaded.DataSize(), 264);

    // Saving again replaces the file and leaves nothing beside it.
    s = W("short");
    s >> W(path.c_str());
    EXPECT_EQ(ReadFile(path), "short");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(SdoFile, LoadingFailures) {
    CString s("keep");
    {
        SCOPED_TRACE("null path: nothing changes");
        EXPECT_EQ(s << W(nullptr), 0);
        EXPECT_EQ(Bytes(s), "keep");
    }
    {
        SCOPED_TRACE("missing file: emptied, message");
        const std::string path = Path("missing.txt");
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(path.c_str()), 0); }),
                  "\nERROR: File '" + path + "' could not be opened for loading.");
        EXPECT_TRUE(s.Empty());
    }
    {
        SCOPED_TRACE("empty file: length 0, no message");
        const std::string path = Path("empty.txt");
        WriteFile(path, "");
        s = W("keep");
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(path.c_str()), 0); }), "");
        EXPECT_TRUE(s.Empty());
    }
    {
        SCOPED_TRACE("a folder is not loaded");
        s = W("keep");
        const std::string path = dir.string();
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(path.c_str()), 0); }),
                  "\nERROR: File '" + path + "' could not be opened for loading.");
        EXPECT_TRUE(s.Empty());
    }
    {
        SCOPED_TRACE("a file beyond INT_MAX bytes is refused before any allocation");
        const std::string path = Path("sparse.bin");
        WriteFile(path, "x");
        fs::resize_file(path, 3ULL << 30);   // sparse: no disk space used
        s = W("keep");
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(path.c_str()), 0); }), "");
        EXPECT_TRUE(s.Empty());
        EXPECT_EQ(s.Length(), 0);
    }
}

TEST_F(SdoFile, SavingFailures) {
    CString s("data");
    CString none;
    EXPECT_EQ(s >> W(nullptr), 0);
    EXPECT_EQ(Printed([&] { EXPECT_EQ(none >> W(Path("x").c_str()), 0); }),
              "\nError: String object is empty.");
    EXPECT_FALSE(fs::exists(Path("x")));

    const std::string nowhere = Path("no/such/folder.txt");
    EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(nowhere.c_str()), 0); }),
              "\nERROR: File '" + nowhere + "' could not be opened for saving.");

    const std::string folder = dir.string();
    EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(folder.c_str()), 0); }),
              "\nERROR: File '" + folder + "' could not be opened for saving.");
    EXPECT_TRUE(fs::is_directory(folder));

    // A device that refuses every write.
    EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W("/dev/full"), 0); }),
              "\nERROR: While writing file.");
    EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W("/dev/null"), 0); }), "");
}

TEST_F(SdoFile, SavingKeepsModeAndLinks) {
    const std::string path = Path("target.txt");
    WriteFile(path, "old");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    const std::string link = Path("link.txt");
    fs::create_symlink(path, link);
    CString s("new");
    s >> W(link.c_str());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(ReadFile(path), "new");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(SdoFile, FailedSaveLeavesTheOldFile) {
    const std::string path = Path("precious.txt");
    WriteFile(path, "old content");
    EXPECT_EXIT(SaveUnderSizeLimit(path), testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(path), "old content");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1)
        << "no partial file is left beside it";
}

} // namespace

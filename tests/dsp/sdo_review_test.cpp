// CString: operands that live in what an operation releases first (its own content, the items
// of the list it empties), the search-and-split rules against a one-step-at-a-time model, and
// saving beside files with long names, neighbours and write-only modes.
#include "KOV_Compressor_ExtensionDSPKernelAdapter.h"
#include "SDOString.h"
#include "sdo_test_support.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using SDO::CString;
using SDO::CStringList;

using sdotest::Bytes;
using sdotest::W;

std::string ReadFile(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

template <typename F>
std::string Printed(F&& f) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    f();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

std::vector<std::string> Items(CStringList& list) {
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i)
        out.emplace_back(list.Item(i));
    return out;
}

// The rules of Find, Replace and Split taken one step at a time, each step a new call on the
// new content, on std::string. Small inputs only.
int ModelFind(const std::string& s, const char* text, int start) {
    if (s.empty() || !text)
        return -1;
    if (start < 0)
        start = 0;
    const int len = static_cast<int>(s.size());
    const int tlen = static_cast<int>(std::strlen(text));
    if (start >= len || tlen == 0)
        return -1;
    for (int p = start; p <= len - tlen; ++p)
        if (s.compare(static_cast<size_t>(p), static_cast<size_t>(tlen), text) == 0)
            return p;
    return -1;
}

bool ModelReplace(std::string& s, const char* search, const char* replacement, int start,
                  bool all) {
    if (s.empty() || !search)
        return false;
    if (replacement && std::strcmp(replacement, search) == 0)
        return false;
    const int p = ModelFind(s, search, start);
    if (p < 0)
        return false;
    const std::string r = replacement ? replacement : "";
    const size_t slen = std::strlen(search);
    if (s.size() - slen + r.size() == 0)
        return false;
    s = s.substr(0, static_cast<size_t>(p)) + r + s.substr(static_cast<size_t>(p) + slen);
    if (all)
        ModelReplace(s, search, replacement, p + static_cast<int>(r.size()), all);
    return true;
}

int ModelSplit(const std::string& s, const char* sep, std::vector<std::string>& list, int max,
               int start) {
    if (!sep || s.empty())
        return -1;
    if (start == 0)
        list.clear();
    const int p = ModelFind(s, sep, start);
    const int end = p < 0 ? static_cast<int>(s.size()) : p;
    if (end > start) {
        list.push_back(s.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
        if (max >= 1 && static_cast<int>(list.size()) >= max)
            return static_cast<int>(list.size());
    }
    if (p >= 0)
        ModelSplit(s, sep, list, max, p + static_cast<int>(std::strlen(sep)));
    return static_cast<int>(list.size());
}

TEST(SdoReview, SearchAndSplitFollowTheStepRule) {
    std::mt19937 rng(20240611);
    const char alphabet[] = {'a', 'b', ',', '\0'};
    const char* texts[] = {nullptr, "", "a", "b", ",", "ab", "aa", ",,", "a,", "ba", "aba"};
    const int textCount = static_cast<int>(sizeof texts / sizeof texts[0]);
    auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    for (int round = 0; round < 4000; ++round) {
        std::string content;
        for (int k = pick(9); k > 0; --k)
            content += alphabet[pick(4)];
        const char* search = texts[pick(textCount)];
        const char* replacement = texts[pick(textCount)];
        const int start = pick(static_cast<int>(content.size()) + 3);
        const bool all = pick(2) == 1;
        const int max = pick(4) - 1;
        SCOPED_TRACE(testing::Message() << "round " << round << " content '" << content
                                        << "' search " << (search ? search : "null")
                                        << " replacement " << (replacement ? replacement : "null")
                                        << " start " << start << " all " << all << " max " << max);
        CString s;
        for (char c : content)
            s += c;

        std::string model = content;
        CString r;
        r = s;
        ASSERT_EQ(r.Replace(W(search), W(replacement), start, all),
                  ModelReplace(model, search, replacement, start, all));
        ASSERT_EQ(Bytes(r), model);

        std::string removed = content;
        ModelReplace(removed, search, nullptr, 0, true);
        if (search) {
            ASSERT_EQ(Bytes(s - W(search)), removed);
        }
        r = s;
        r -= W(search);
        ASSERT_EQ(Bytes(r), removed);

        // Items end at the first zero byte of a piece: the list holds zero-terminated texts.
        std::vector<std::string> modelList{"old"};
        CStringList list;
        list.Append(strdup("old"));
        const int got = s.Split(W(search), &list, max, start);
        const int expected = ModelSplit(content, search, modelList, max, start);
        ASSERT_EQ(got, expected);
        ASSERT_EQ(list.Count(), static_cast<int>(modelList.size()));
        for (int i = 0; i < list.Count(); ++i)
            ASSERT_STREQ(list.Item(i), modelList[static_cast<size_t>(i)].c_str()) << "item " << i;
    }
}

// The units of this binary that include the library's header are the kernel adapter's (linked
// in by the reference below), the library's own and the start-up test's: -1 + 3 * 2 + 1
// (tempstr) = 6 live strings once start-up is over. The effect, without the test's unit,
// stands at 4. Every test leaves the counters as it found them.
TEST(SdoReview, StartUpCountsIncludeTheAdapterUnit) {
    [[maybe_unused]] volatile auto adapter = &KOV_Compressor_ExtensionDSPKernelAdapter::make;
    EXPECT_EQ(SDO::CString::count, 6);
    EXPECT_EQ(SDO::CData::count, 6);
}

TEST(SdoReview, OperandsReleasedBeforeTheyAreRead) {
    std::string dir = (fs::temp_directory_path() / "sdo_review_XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    {
        SCOPED_TRACE("loading the file that the string's own text names");
        const std::string path = dir + "/named.txt";
        std::ofstream(path, std::ios::binary) << "file content";
        CString s(path.c_str());
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(s.Data()), 12); }), "");
        EXPECT_EQ(Bytes(s), "file content");
    }
    {
        SCOPED_TRACE("the message names the path that the emptied string held");
        const std::string path = dir + "/a missing file with a long enough name.txt";
        CString s(path.c_str());
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s << W(s.Data()), 0); }),
                  "\nERROR: File '" + path + "' could not be opened for loading.");
        EXPECT_TRUE(s.Empty());
    }
    {
        SCOPED_TRACE("splitting on a separator held by the list that is emptied first");
        CStringList list;
        list.Append(strdup("--"));
        CString s("a--b----c");
        EXPECT_EQ(s.Split(W(list.Item(0)), &list, 0, 0), 3);
        EXPECT_EQ(Items(list), (std::vector<std::string>{"a", "b", "c"}));
    }
    fs::remove_all(dir);
}

// A fresh folder per test, removed afterwards.
class SdoReviewFile : public testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "sdo_review_XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    fs::path dir;
};

TEST_F(SdoReviewFile, SavingBesideLongNamesAndNeighbours) {
    CString s("new");
    {
        SCOPED_TRACE("a file name of 250 bytes, near the file system's limit");
        const std::string path = (dir / std::string(250, 'n')).string();
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(path.c_str()), 0); }), "");
        EXPECT_EQ(ReadFile(path), "new");
        std::ofstream(path, std::ios::binary) << "old";
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(path.c_str()), 0); }), "");
        EXPECT_EQ(ReadFile(path), "new");
    }
    {
        SCOPED_TRACE("files beside the target are left alone");
        const std::string path = (dir / "doc.txt").string();
        std::ofstream(path, std::ios::binary) << "old";
        for (const char* suffix : {".sdo-saving", ".tmp", "~"})
            std::ofstream(path + suffix, std::ios::binary) << "neighbour";
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(path.c_str()), 0); }), "");
        EXPECT_EQ(ReadFile(path), "new");
        for (const char* suffix : {".sdo-saving", ".tmp", "~"})
            EXPECT_EQ(ReadFile(path + suffix), "neighbour") << suffix;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 5)
        << "nothing else is left in the folder";
}

TEST_F(SdoReviewFile, SavingThroughLinksWritesTheFileTheyName) {
    CString s("new");
    {
        SCOPED_TRACE("a link to a file that does not exist yet");
        fs::create_symlink("later.txt", dir / "dangling");
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W((dir / "dangling").c_str()), 0); }), "");
        EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
        EXPECT_EQ(ReadFile(dir / "later.txt"), "new");
    }
    {
        SCOPED_TRACE("a chain of links, relative to their folders");
        fs::create_directory(dir / "sub");
        std::ofstream(dir / "sub" / "real.txt", std::ios::binary) << "old";
        fs::create_symlink("real.txt", dir / "sub" / "inner");
        fs::create_symlink("sub/inner", dir / "outer");
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W((dir / "outer").c_str()), 0); }), "");
        EXPECT_TRUE(fs::is_symlink(dir / "outer"));
        EXPECT_TRUE(fs::is_symlink(dir / "sub" / "inner"));
        EXPECT_EQ(ReadFile(dir / "sub" / "real.txt"), "new");
    }
    {
        SCOPED_TRACE("a loop of links cannot be opened");
        fs::create_symlink("loop2", dir / "loop1");
        fs::create_symlink("loop1", dir / "loop2");
        const std::string path = (dir / "loop1").string();
        EXPECT_EQ(Printed([&] { EXPECT_EQ(s >> W(path.c_str()), 0); }),
                  "\nERROR: File '" + path + "' could not be opened for saving.");
        EXPECT_TRUE(fs::is_symlink(dir / "loop1"));
    }
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
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    s >> W(path.c_str());
    std::fflush(stdout);
    std::_Exit(testing::internal::GetCapturedStdout().empty() ? 0 : 1);
}

TEST_F(SdoReviewFile, SavingOverAWriteOnlyFile) {
    fs::permissions(dir, fs::perms::all);    // the unprivileged child creates its file here
    const std::string path = (dir / "write-only.txt").string();
    EXPECT_EXIT(SaveOverWriteOnly(path), testing::ExitedWithCode(0), "");
    EXPECT_EQ(ReadFile(path), "new content");
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_write);
}

} // namespace

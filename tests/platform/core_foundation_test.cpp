// Printing, errors, process facts and Mac OS Roman text.
#include <gtest/gtest.h>
#include <glib.h>
#include <unistd.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <thread>

#include "Foundation/NSError.h"
#include "Foundation/Print.h"
#include "Foundation/ProcessInfo.h"
#include "Foundation/StringEncoding.h"
#include "StdoutCapture.h"

TEST(Print, WholeLinesInOrderWithPrintf) {
  stdout_capture::beginCapture();
  print("AUExtension::init()");
  std::printf("unit received parameter : address:%llu, value:%f\n", 3ull, 0.5);
  print("");
  printRaw("raw ");
  printRaw("text\n");
  print("QFLD : kvc1");
  EXPECT_EQ(stdout_capture::endCapture(),
            "AUExtension::init()\n"
            "unit received parameter : address:3, value:0.500000\n"
            "\n"
            "raw text\n"
            "QFLD : kvc1\n");
}

TEST(PrintThreads, LinesOfManyThreadsNeverInterleave) {
  constexpr int kThreads = 8, kLines = 500;
  stdout_capture::beginCapture();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t] {
      // Long lines, so that an unlocked writer would be cut into pieces.
      const std::string body(300, static_cast<char>('a' + t));
      for (int i = 0; i < kLines; ++i) {
        if (i % 2)
          print(std::to_string(t) + " " + std::to_string(i) + " " + body);
        else
          std::printf("%d %d %s\n", t, i, body.c_str());
      }
    });
  for (auto& th : threads)
    th.join();
  std::istringstream out(stdout_capture::endCapture());
  std::vector<int> next(kThreads, 0);
  std::string line;
  int count = 0;
  while (std::getline(out, line)) {
    int t = -1, i = -1;
    char body[400] = {};
    ASSERT_EQ(std::sscanf(line.c_str(), "%d %d %399s", &t, &i, body), 3) << line;
    ASSERT_TRUE(t >= 0 && t < kThreads) << line;
    ASSERT_EQ(std::string(body), std::string(300, static_cast<char>('a' + t))) << "a torn line";
    ASSERT_EQ(i, next[t]++) << "a thread's lines out of order";
    ++count;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

TEST(NSError, DescriptionsAsThePlatformPrintsThem) {
  const NSError status(NSOSStatusErrorDomain, -66742);
  EXPECT_EQ(status.domain(), "NSOSStatusErrorDomain");
  EXPECT_EQ(status.code(), -66742);
  EXPECT_EQ(status.description(), "Error Domain=NSOSStatusErrorDomain Code=-66742 \"(null)\"");
  EXPECT_EQ(status.debugDescription(), status.description());
  EXPECT_EQ(std::string(status.what()), status.description());
  // Without a description: a generic text naming the domain; printed as (null).
  EXPECT_EQ(status.localizedDescription(),
            "The operation couldn\u2019t be completed. (OSStatus error -66742.)");
  EXPECT_EQ(NSError(NSCocoaErrorDomain, 3840).localizedDescription(),
            "The operation couldn\u2019t be completed. (Cocoa error 3840.)");
  EXPECT_EQ(NSError("com.example.test", 7).localizedDescription(),
            "The operation couldn\u2019t be completed. (com.example.test error 7.)");
  EXPECT_EQ(NSError(NSCocoaErrorDomain, 3840).description(),
            "Error Domain=NSCocoaErrorDomain Code=3840 \"(null)\"");
  const NSError described(NSCocoaErrorDomain, 4, "The folder \u201Cx\u201D doesn\u2019t exist.");
  EXPECT_EQ(described.localizedDescription(), "The folder \u201Cx\u201D doesn\u2019t exist.");
  EXPECT_EQ(described.description(),
            "Error Domain=NSCocoaErrorDomain Code=4 \"The folder \u201Cx\u201D doesn\u2019t exist.\" "
            "UserInfo={NSLocalizedDescription=The folder \u201Cx\u201D doesn\u2019t exist.}");
}

TEST(ProcessInfo, UniqueStringsAndProcessFacts) {
  ProcessInfo& info = ProcessInfo::processInfo();
  EXPECT_EQ(info.processIdentifier(), getpid());
  EXPECT_EQ(info.processName(), "platform_tests");
  std::set<std::string> seen;
  for (int i = 0; i < 1000; ++i) {
    const std::string s = info.globallyUniqueString();
    ASSERT_TRUE(seen.insert(s).second) << "repeated: " << s;
    ASSERT_TRUE(g_regex_match_simple(
        "^[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}-[0-9]+-[0-9A-F]{16}$",
        s.c_str(), G_REGEX_DEFAULT, G_REGEX_MATCH_DEFAULT))
        << s;
  }
}

TEST(MacOSRoman, EveryByteDecodes) {
  const std::uint8_t code[] = {0x61, 0x75, 0x6D, 0x66};  // 'aumf', most significant byte first
  EXPECT_EQ(decodeMacOSRoman(code, 4), "aumf");
  const std::uint8_t high[] = {0x80, 0xA5, 0xDB, 0xF0, 0xFF, 0x00};
  EXPECT_EQ(decodeMacOSRoman(high, sizeof high),
            std::string("\xC3\x84\xE2\x80\xA2\xE2\x82\xAC\xEF\xA3\xBF\xCB\x87", 13) + '\0');

  // An independent table: glibc's MACINTOSH converter agrees on every byte but two: the Apple
  // logo (another private-use code point there) and 0xC6, INCREMENT U+2206 in the platform's
  // table, GREEK CAPITAL DELTA U+0394 in glibc's.
  std::set<char32_t> distinct;
  for (int b = 0; b < 256; ++b) {
    SCOPED_TRACE(b);
    const auto byte = static_cast<std::uint8_t>(b);
    const auto text = decodeMacOSRoman(&byte, 1);
    ASSERT_TRUE(text.has_value());
    ASSERT_FALSE(text->empty());
    distinct.insert(macOSRomanCodePoint(byte));
    if (b == 0 || b == 0xF0 || b == 0xC6)
      continue;
    gsize written = 0;
    char* iconv =
        g_convert(reinterpret_cast<const char*>(&byte), 1, "UTF-8", "MACINTOSH", nullptr, &written, nullptr);
    ASSERT_NE(iconv, nullptr);
    EXPECT_EQ(*text, std::string(iconv, written));
    g_free(iconv);
  }
  EXPECT_EQ(distinct.size(), 256u) << "two bytes decode to the same character";
  EXPECT_EQ(macOSRomanCodePoint(0xF0), U'\uF8FF');
  EXPECT_EQ(macOSRomanCodePoint(0xC6), U'\u2206');
}

// UTF-8/UTF-16 conversion, case-insensitive compares and bounded copies.
#include "plat/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using plat::String16;

constexpr char16_t R = 0xFFFD;  // replacement character

struct Utf8Case {
  const char* label;
  std::string utf8;
  String16 utf16;
};

class Utf8ToUtf16 : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8ToUtf16, Decodes) {
  const Utf8Case& c = GetParam();
  EXPECT_EQ(plat::utf8ToUtf16(c.utf8), c.utf16) << c.label;
}

// Each maximal invalid subpart becomes exactly one U+FFFD; the byte that ends
// a subpart is decoded afresh.
INSTANTIATE_TEST_SUITE_P(
    Table, Utf8ToUtf16,
    ::testing::Values(
        Utf8Case{"empty", "", u""},
        Utf8Case{"ascii", "Tunora", u"Tunora"},
        Utf8Case{"embedded nul", std::string("a\0b", 3), String16(u"a\0b", 3)},
        Utf8Case{"two byte", "\xC3\xA9", u"\u00E9"},
        Utf8Case{"smallest two byte", "\xC2\x80", u"\u0080"},
        Utf8Case{"three byte", "\xE2\x82\xAC", u"\u20AC"},
        Utf8Case{"smallest three byte", "\xE0\xA0\x80", u"\u0800"},
        Utf8Case{"last before surrogates", "\xED\x9F\xBF", u"\uD7FF"},
        Utf8Case{"first after surrogates", "\xEE\x80\x80", u"\uE000"},
        Utf8Case{"japanese", "\xE3\x83\x86\xE3\x83\xAC\xE3\x83\x93", u"\u30C6\u30EC\u30D3"},
        Utf8Case{"four byte to pair", "\xF0\x9F\x98\x80", u"\U0001F600"},
        Utf8Case{"smallest four byte", "\xF0\x90\x80\x80", u"\U00010000"},
        Utf8Case{"largest code point", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
        Utf8Case{"overlong slash C0", "\xC0\xAF", {R, R}},
        Utf8Case{"overlong C1", "\xC1\xBF", {R, R}},
        Utf8Case{"overlong three byte", "\xE0\x80\xAF", {R, R, R}},
        Utf8Case{"overlong three byte max", "\xE0\x9F\xBF", {R, R, R}},
        Utf8Case{"overlong four byte", "\xF0\x80\x80\xAF", {R, R, R, R}},
        Utf8Case{"overlong four byte max", "\xF0\x8F\xBF\xBF", {R, R, R, R}},
        Utf8Case{"high surrogate in utf8", "\xED\xA0\x80", {R, R, R}},
        Utf8Case{"low surrogate in utf8", "\xED\xBF\xBF", {R, R, R}},
        Utf8Case{"encoded surrogate pair", "\xED\xA0\xBD\xED\xB8\x80", {R, R, R, R, R, R}},
        Utf8Case{"above U+10FFFF", "\xF4\x90\x80\x80", {R, R, R, R}},
        Utf8Case{"F5 lead", "\xF5\x80\x80\x80", {R, R, R, R}},
        Utf8Case{"FF byte", "\xFF", {R}},
        Utf8Case{"FE byte", "a\xFE" "b", {u'a', R, u'b'}},
        Utf8Case{"stray continuation", "\x80", {R}},
        Utf8Case{"two stray continuations", "\x80\xBF", {R, R}},
        Utf8Case{"truncated two byte at end", "a\xC3", {u'a', R}},
        Utf8Case{"truncated three byte at end", "\xE2\x82", {R}},
        Utf8Case{"truncated three byte before ascii", "\xE2\x82" "a", {R, u'a'}},
        Utf8Case{"truncated four byte at end", "\xF0\x9F\x98", {R}},
        Utf8Case{"truncated four byte before ascii", "\xF0\x9F\x98" "a", {R, u'a'}},
        Utf8Case{"truncated then valid", "\xF0\x9F\xC3\xA9", {R, u'\u00E9'}},
        Utf8Case{"lead after lead", "\xC3\xC3\xA9", {R, u'\u00E9'}},
        // The example sequence of the Unicode standard's recommended practice.
        Utf8Case{"standard example", "\x61\xF1\x80\x80\xE1\x80\xC2\x62\x80\x63\x80\xBF\x64",
                 {u'a', R, R, R, u'b', R, u'c', R, R, u'd'}}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.label; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

struct Utf16Case {
  const char* label;
  String16 utf16;
  std::string utf8;
};

class Utf16ToUtf8 : public ::testing::TestWithParam<Utf16Case> {};

TEST_P(Utf16ToUtf8, Encodes) {
  const Utf16Case& c = GetParam();
  EXPECT_EQ(plat::utf16ToUtf8(c.utf16), c.utf8) << c.label;
}

INSTANTIATE_TEST_SUITE_P(
    Table, Utf16ToUtf8,
    ::testing::Values(
        Utf16Case{"empty", u"", ""},
        Utf16Case{"ascii", u"Setting.xml", "Setting.xml"},
        Utf16Case{"U+007F", u"\u007F", "\x7F"},
        Utf16Case{"U+0080", u"\u0080", "\xC2\x80"},
        Utf16Case{"U+07FF", u"\u07FF", "\xDF\xBF"},
        Utf16Case{"U+0800", u"\u0800", "\xE0\xA0\x80"},
        Utf16Case{"U+FFFF", u"\uFFFF", "\xEF\xBF\xBF"},
        Utf16Case{"pair", u"\U0001F600", "\xF0\x9F\x98\x80"},
        Utf16Case{"largest pair", u"\U0010FFFF", "\xF4\x8F\xBF\xBF"},
        Utf16Case{"lone high at end", {u'a', 0xD800}, "a\xEF\xBF\xBD"},
        Utf16Case{"lone high before ascii", {0xD83D, u'x'}, "\xEF\xBF\xBDx"},
        Utf16Case{"lone low", {0xDC00, u'a'}, "\xEF\xBF\xBD" "a"},
        Utf16Case{"reversed pair", {0xDE00, 0xD83D}, "\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf16Case{"high then pair", {0xD800, 0xD83D, 0xDE00}, "\xEF\xBF\xBD\xF0\x9F\x98\x80"}),
    [](const auto& info) {
      std::string name;
      for (const char* p = info.param.label; *p; ++p) name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
      return name;
    });

TEST(TextConversion, EveryCodePointRoundTrips) {
  for (char32_t cp = 1; cp <= 0x10FFFF; ++cp) {
    if (cp >= 0xD800 && cp <= 0xDFFF) continue;
    String16 one;
    if (cp < 0x10000) {
      one.push_back(static_cast<char16_t>(cp));
    } else {
      one.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      one.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
    const std::string utf8 = plat::utf16ToUtf8(one);
    ASSERT_EQ(utf8.size(), cp < 0x80 ? 1u : cp < 0x800 ? 2u : cp < 0x10000 ? 3u : 4u) << std::hex << static_cast<uint32_t>(cp);
    ASSERT_EQ(plat::utf8ToUtf16(utf8), one) << std::hex << static_cast<uint32_t>(cp);
  }
}

// Whatever bytes come in, the result is well-formed UTF-16: converting it to
// UTF-8 and back changes nothing.
TEST(TextConversion, ArbitraryBytesGiveWellFormedText) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> length(0, 24);
  for (int round = 0; round < 20000; ++round) {
    std::string input(static_cast<size_t>(length(random)), '\0');
    for (char& c : input) {
      // Favour bytes that start or continue sequences.
      const int b = byte(random);
      c = static_cast<char>(b < 96 ? 0x80 + (b % 64) : b);
    }
    const String16 utf16 = plat::utf8ToUtf16(input);
    ASSERT_LE(utf16.size(), input.size());
    ASSERT_EQ(plat::utf8ToUtf16(plat::utf16ToUtf8(utf16)), utf16);
  }
}

struct CompareCase {
  std::string a, b;
  int sign;
};

int signOf(int v) { return (v > 0) - (v < 0); }

TEST(TextCompare, NoCaseTable) {
  const std::vector<CompareCase> cases = {
      {"", "", 0},
      {"abc", "ABC", 0},
      {"Storage Card", "STORAGE card", 0},
      {"abc", "abd", -1},
      {"ABD", "abc", 1},
      {"ab", "abc", -1},
      {"abc", "AB", 1},
      {"Z", "a", 1},
      // Folding is to lower case: '[' (0x5B) sorts before 'a', though after 'A'.
      {"[", "A", -1},
      {"_", "a", -1},
      // Non-ASCII units compare by value and are not folded; bytes are unsigned.
      {"\xC3\xA9", "\xC3\x89", 1},
      {"\xFF", "a", 1},
  };
  for (const CompareCase& c : cases) {
    SCOPED_TRACE(c.a + " vs " + c.b);
    EXPECT_EQ(signOf(plat::compareNoCase(c.a, c.b)), c.sign);
    EXPECT_EQ(signOf(plat::compareNoCase(c.b, c.a)), -c.sign);
    EXPECT_EQ(plat::equalsNoCase(c.a, c.b), c.sign == 0);
    const String16 a16 = plat::utf8ToUtf16(c.a), b16 = plat::utf8ToUtf16(c.b);
    if (c.a.find('\xFF') == std::string::npos) {
      EXPECT_EQ(signOf(plat::compareNoCase(a16, b16)), c.sign);
      EXPECT_EQ(plat::equalsNoCase(a16, b16), c.sign == 0);
    }
  }
  EXPECT_FALSE(plat::equalsNoCase(u"\u00E9", u"\u00C9"));
  EXPECT_TRUE(plat::equalsNoCase(u"\u30C6V", u"\u30C6v"));
  EXPECT_GT(plat::compareNoCase(u"\uFF21", u"a"), 0);  // full-width A stays itself
}

TEST(TextCompare, ToLowerAsciiOnly) {
  EXPECT_EQ(plat::toLowerAscii("\\NAND\\ISDBT\\Setting.XML"), "\\nand\\isdbt\\setting.xml");
  EXPECT_EQ(plat::toLowerAscii("\xC3\x89Z@["), "\xC3\x89z@[");
  EXPECT_EQ(plat::toLowerAscii(u"\u00C9ABC\uFF21"), u"\u00C9abc\uFF21");
}

// ---- bounded copies ----

struct Copy16Case {
  const char* label;
  String16 src;
  size_t capacity;
  String16 expected;
};

TEST(TextCopyBounded, Utf16Table) {
  const std::vector<Copy16Case> cases = {
      {"capacity 1 gives empty", u"abc", 1, u""},
      {"exact fit", u"abc", 4, u"abc"},
      {"roomy", u"abc", 10, u"abc"},
      {"one short", u"abc", 3, u"ab"},
      {"empty source", u"", 5, u""},
      {"pair fits exactly", u"a\U0001F600", 4, u"a\U0001F600"},
      {"pair would be split", u"a\U0001F600", 3, u"a"},
      {"only a pair, no room", u"\U0001F600", 2, u""},
      {"pair then more", u"\U0001F600bc", 3, u"\U0001F600"},
      {"pair at cut after text", u"ab\U0001F600", 4, u"ab"},
      // A lone high surrogate not followed by its low half splits nothing.
      {"lone high kept", {u'a', 0xD800, u'x'}, 3, {u'a', 0xD800}},
  };
  for (const Copy16Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<char16_t> buffer(c.capacity + 4, u'#');
    const size_t copied = plat::copyBounded(buffer.data(), c.capacity, c.src);
    EXPECT_EQ(copied, c.expected.size());
    EXPECT_EQ(String16(buffer.data(), copied), c.expected);
    EXPECT_EQ(buffer[copied], u'\0');
    for (size_t i = c.capacity; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], u'#') << "wrote past capacity at " << i;
    EXPECT_EQ(plat::boundedLength(buffer.data(), c.capacity), copied);
  }
}

TEST(TextCopyBounded, CapacityZeroWritesNothing) {
  char16_t wide[2] = {u'#', u'#'};
  EXPECT_EQ(plat::copyBounded(wide, 0, u"abc"), 0u);
  EXPECT_EQ(wide[0], u'#');
  char narrow[2] = {'#', '#'};
  EXPECT_EQ(plat::copyBounded(narrow, 0, "abc"), 0u);
  EXPECT_EQ(narrow[0], '#');
  EXPECT_EQ(plat::copyBounded(static_cast<char16_t*>(nullptr), 10, u"abc"), 0u);
  EXPECT_EQ(plat::copyBounded(static_cast<char*>(nullptr), 10, "abc"), 0u);
}

struct Copy8Case {
  const char* label;
  std::string src;
  size_t capacity;
  std::string expected;
};

TEST(TextCopyBounded, Utf8Table) {
  const std::vector<Copy8Case> cases = {
      {"capacity 1 gives empty", "abc", 1, ""},
      {"exact fit", "abc", 4, "abc"},
      {"one short", "abc", 3, "ab"},
      {"two byte fits", "a\xC3\xA9", 4, "a\xC3\xA9"},
      {"two byte would be split", "a\xC3\xA9", 3, "a"},
      {"three byte would be split", "\xE2\x82\xAC" "x", 3, ""},
      {"three byte exact", "\xE2\x82\xAC" "x", 4, "\xE2\x82\xAC"},
      {"four byte would be split", "\xF0\x9F\x98\x80", 4, ""},
      {"four byte exact", "\xF0\x9F\x98\x80", 5, "\xF0\x9F\x98\x80"},
      // A stray continuation byte after a complete character does not cost
      // the character.
      {"stray continuation at cut", "\xC3\xA9\x80\x80", 3, "\xC3\xA9"},
  };
  for (const Copy8Case& c : cases) {
    SCOPED_TRACE(c.label);
    std::vector<char> buffer(c.capacity + 4, '#');
    const size_t copied = plat::copyBounded(buffer.data(), c.capacity, c.src);
    EXPECT_EQ(copied, c.expected.size());
    EXPECT_EQ(std::string(buffer.data(), copied), c.expected);
    EXPECT_EQ(buffer[copied], '\0');
    for (size_t i = c.capacity; i < buffer.size(); ++i) EXPECT_EQ(buffer[i], '#') << "wrote past capacity at " << i;
  }
}

TEST(TextCopyBounded, BoundedLengthStopsAtCapacity) {
  const char16_t unterminated[3] = {u'a', u'b', u'c'};
  EXPECT_EQ(plat::boundedLength(unterminated, 3), 3u);
  EXPECT_EQ(plat::boundedLength(unterminated, 2), 2u);
  EXPECT_EQ(plat::boundedLength(u"ab\0cd", 5), 2u);
  EXPECT_EQ(plat::boundedLength(nullptr, 5), 0u);
}

TEST(TextFormat, FormatsLongAndEmpty) {
  const std::string long_text(1000, 'x');
  EXPECT_EQ(plat::formatString("%s-%d", long_text.c_str(), 42), long_text + "-42");
  EXPECT_EQ(plat::formatString("%s", ""), "");
  EXPECT_EQ(plat::formatString("0x%08X", 0x81000001u), "0x81000001");
}

}  // namespace

#include "util/text.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>

#include <stdexcept>
#include <string>

namespace hub {
namespace {

using namespace std::string_literals;

TEST(TextConversion, RoundTripsNonAsciiText) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x9B\xA9";
    const std::wstring wide = toWide(utf8);
    EXPECT_EQ(wide, L"Gr\u00FC\u00DFe \u20AC \U0001F6E9");
    EXPECT_EQ(toUtf8(wide), utf8);
}

TEST(TextConversion, EmptyStaysEmpty) {
    EXPECT_EQ(toWide(""), L"");
    EXPECT_EQ(toUtf8(L""), "");
    EXPECT_EQ(toWideLenient(""), L"");
}

TEST(TextConversion, EmbeddedNulsAreConverted) {
    EXPECT_EQ(toWide("a\0b"s), L"a\0b"s);
    EXPECT_EQ(toUtf8(L"a\0b"s), "a\0b"s);
}

TEST(TextConversion, MalformedUtf8IsReplacedNotRefused) {
    const std::wstring wide = toWide("a\xFF"
                                     "b");
    ASSERT_EQ(wide.size(), 3U);
    EXPECT_EQ(wide.front(), L'a');
    EXPECT_EQ(wide.back(), L'b');
    EXPECT_EQ(wide[1], L'\uFFFD');
}

TEST(TextConversion, PathsConvertLikeText) {
    const std::filesystem::path path{toWide("C:\\Caf\xC3\xA9\\x")};
    EXPECT_EQ(path.native(), L"C:\\Caf\u00E9\\x");
}

TEST(TextConversion, LenientKeepsValidUtf8) {
    EXPECT_EQ(toWideLenient("na\xC3\xAFve"), L"na\u00EFve");
}

TEST(TextConversion, LenientFallsBackToAnsiCodePage) {
    // "\xE9" alone is not UTF-8; in every ANSI code page it reads as one character.
    const std::string ansi = "caf\xE9";
    std::wstring expected(4, L'\0');
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, ansi.data(), 4, expected.data(), 4), 4);
    EXPECT_EQ(toWideLenient(ansi), expected);
    EXPECT_NE(toWideLenient(ansi), toWide(ansi));
}

struct IgnoreCaseCase {
    std::wstring a;
    std::wstring b;
    bool equal;
};

class EqualsIgnoreCase : public testing::TestWithParam<IgnoreCaseCase> {};

TEST_P(EqualsIgnoreCase, ComparesOrdinallyIgnoringCase) {
    EXPECT_EQ(equalsIgnoreCase(GetParam().a, GetParam().b), GetParam().equal);
    EXPECT_EQ(equalsIgnoreCase(GetParam().b, GetParam().a), GetParam().equal);
}

INSTANTIATE_TEST_SUITE_P(Cases, EqualsIgnoreCase,
                         testing::Values(IgnoreCaseCase{L"WEBVIEW2_X", L"webview2_x", true},
                                         IgnoreCaseCase{L"", L"", true},
                                         IgnoreCaseCase{L"\u00C9t\u00E9", L"\u00E9T\u00C9", true},
                                         IgnoreCaseCase{L"abc", L"abd", false},
                                         IgnoreCaseCase{L"abc", L"abcd", false},
                                         IgnoreCaseCase{L"a\0b"s, L"A\0B"s, true},
                                         IgnoreCaseCase{L"a\0b"s, L"a\0c"s, false},
                                         IgnoreCaseCase{L"a\0"s, L"a"s, false}));

TEST(EqualsIgnoreCase, PrefixTestThroughAView) {
    const std::wstring name = L"WebView2_BrowserExecutableFolder";
    EXPECT_TRUE(equalsIgnoreCase(std::wstring_view(name).substr(0, 9), L"WEBVIEW2_"));
    EXPECT_FALSE(equalsIgnoreCase(std::wstring_view(L"WEBVIEW").substr(0, 7), L"WEBVIEW2_"));
}

struct TrimCase {
    std::string input;
    std::string expected;
};

class Trimmed : public testing::TestWithParam<TrimCase> {};

TEST_P(Trimmed, RemovesAsciiWhiteSpaceAtBothEnds) {
    EXPECT_EQ(trimmed(GetParam().input), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, Trimmed,
                         testing::Values(TrimCase{"\t\n 1.2.3 \r\n\t", "1.2.3"},
                                         TrimCase{" \t\v\f\r\n", ""}, TrimCase{"", ""},
                                         TrimCase{"a b", "a b"},
                                         TrimCase{"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},
                                         TrimCase{" \x85x\xA0 ", "\x85x\xA0"}));

} // namespace
} // namespace hub

// Text, paths and errors, and HTTPS requests against the local test server.
#include "util/https_get.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/windows_error.h"

#include "harness/https_test_server.h"
#include "support/test_support.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

using namespace std::string_literals;

TEST(Text, ConvertsComparesAndTrims) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F"
                             "e \xE2\x82\xAC \xF0\x9F\x9B\xA9";
    EXPECT_EQ(toWide(utf8), L"Gr\u00FC\u00DFe \u20AC \U0001F6E9");
    EXPECT_EQ(toUtf8(toWide(utf8)), utf8);
    EXPECT_EQ(toUtf8(L"a\0b"s), "a\0b"s);
    EXPECT_EQ(toWide("a\xFF"
                     "b"),
              L"a\uFFFDb");
    EXPECT_EQ(toWideLenient("na\xC3\xAFve"), L"na\u00EFve");
    std::wstring ansi(4, L'\0');
    ASSERT_EQ(MultiByteToWideChar(CP_ACP, 0, "caf\xE9", 4, ansi.data(), 4), 4);
    EXPECT_EQ(toWideLenient("caf\xE9"), ansi);
    for (const auto& [a, b, equal] : {std::tuple{L"WEBVIEW2_X"s, L"webview2_x"s, true},
                                      {L"\u00C9t\u00E9"s, L"\u00E9T\u00C9"s, true},
                                      {L"abc"s, L"abcd"s, false},
                                      {L"a\0b"s, L"A\0B"s, true},
                                      {L"a\0"s, L"a"s, false}}) {
        EXPECT_EQ(equalsIgnoreCase(a, b), equal);
    }
    EXPECT_EQ(trimmed("\t\n 1.2.3 \r\n\t"), "1.2.3");
    EXPECT_EQ(trimmed(" \x85x\xA0 "), "\x85x\xA0");
}

TEST(Paths, CompareLexicallyAndNameTheirLeaf) {
    const std::tuple<const wchar_t*, const wchar_t*, bool> rows[] = {
        {L"C:\\A\\b", L"c:/a/B/", true},
        {L"C:\\a\\.\\b\\..\\c", L"C:\\a\\c", true},
        {L"C:\\", L"C:", false},
        {L"a\\b", L"C:\\a\\b", false},
        {L"C:\\a\\b\\\\", L"C:\\a\\b", true},
        {L"C:\\a\\b", L"C:\\a\\bc", false}};
    for (const auto& [a, b, same] : rows) {
        EXPECT_EQ(samePath(a, b), same) << toUtf8(a) << " " << toUtf8(b);
    }
    EXPECT_EQ(leafName(L"C:\\Apps\\Caf\u00E9"), "Caf\xC3\xA9");
    EXPECT_EQ(windowsError("Unable to start x", ERROR_FILE_NOT_FOUND).what(),
              "Unable to start x: " + windowsErrorText(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(windowsErrorText(ERROR_FILE_NOT_FOUND).ends_with("."));
    EXPECT_EQ(windowsErrorText(0xFFFFFFFFU), "Windows error 4294967295");
}

HttpsGetOptions options() {
    return {.timeouts = {5000, 5000, 5000, 5000},
            .extraHeaders = L"X-Test: yes\r\n",
            .failures = {"invalid url", "initialize", "connect", "request", "read"}};
}

TEST(HttpsGet, StreamsTheBodyInBoundedChunks) {
    test::HttpsTestServer server;
    constexpr std::uint64_t size = 3 * 1024 * 1024 + 7;
    server.answer("/a", {.status = 418, .generatedSize = size});
    HttpsGet get{server.url("/a?x=1&y=%2B"), options()};
    EXPECT_EQ(get.statusCode(), 418U);
    EXPECT_EQ(get.contentLength(), std::optional<std::uint64_t>{size});
    std::uint64_t received = 0;
    get.readBody(65536, [&](std::string_view chunk) {
        ASSERT_TRUE(!chunk.empty() && chunk.size() <= 65536U);
        for (const char byte : chunk) {
            ASSERT_EQ(byte, test::HttpsTestServer::patternByte(received++));
        }
    });
    EXPECT_EQ(received, size);
    const auto request = server.requests().at(0);
    EXPECT_EQ(request.target, "/a?x=1&y=%2B");
    EXPECT_EQ(request.headers.at("x-test"), "yes");
    server.answer("/b", {.body = "0123456789", .declaredLength = 4});
    HttpsGet shorter{server.url("/b"), options()};
    std::string body;
    shorter.readBody(100, [&](std::string_view chunk) { body.append(chunk); });
    EXPECT_EQ(body, "0123");
    server.answer("/c", {.generatedSize = 300000, .cutAfter = 100000});
    HttpsGet cut{server.url("/c"), options()};
    EXPECT_TRUE(test::failureOf([&] {
                    cut.readBody(65536, [](std::string_view) {});
                }).starts_with("read: "));
}

// Only https reaches the network, and only to a server whose certificate names the host.
TEST(HttpsGet, ConnectsOnlyToAnHttpsServerWithTheRightName) {
    test::HttpsTestServer server;
    std::string byAddress = server.url("/a");
    byAddress.replace(byAddress.find("localhost"), 9, "127.0.0.1");
    EXPECT_TRUE(test::failureOf([&] { HttpsGet(byAddress, options()); }).starts_with("request: "));
    EXPECT_TRUE(server.requests().empty()) << "the certificate names localhost only";
    for (const std::string url : {"http://localhost/", "//localhost/", "https://", "\xff\xfe"}) {
        EXPECT_EQ(test::failureOf([&] { HttpsGet(url, options()); }), "invalid url") << url;
    }
}

} // namespace
} // namespace hub

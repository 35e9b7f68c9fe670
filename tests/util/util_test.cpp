// Text, paths and errors, and HTTPS requests against the local test server.
#include "util/https_get.h"
#include "util/paths.h"
#include "util/text.h"
#include "util/windows_error.h"

#include "harness/https_test_server.h"
#include "harness/silent_listener.h"
#include "support/test_support.h"

#include <windows.h>

#include <winhttp.h>

#include <gtest/gtest.h>

namespace hub {
namespace {

using namespace std::string_literals;

TEST(TextAndPaths, ConvertCompareAndName) {
    const std::string utf8 = "Gr\xC3\xBC\xC3\x9F \xF0\x9F\x9B\xA9";
    EXPECT_EQ(toUtf8(toWide(utf8)), utf8);
    EXPECT_EQ(toWide("a\xFF-"), L"a\uFFFD-");
    EXPECT_TRUE(equalsIgnoreCase(L"WEBVIEW2_\u00C9\0x"s, L"webview2_\u00E9\0X"s));
    EXPECT_FALSE(equalsIgnoreCase(L"a\0"s, L"a"));
    for (const auto& [a, b, same] : {std::tuple{L"C:\\A\\b", L"c:/a/B/", true},
                                     {L"C:\\a\\.\\b\\..\\c", L"C:\\a\\c", true},
                                     {L"C:\\", L"C:", false},
                                     {L"a\\b", L"C:\\a\\b", false},
                                     {L"C:\\a\\b", L"C:\\a\\bc", false}}) {
        EXPECT_EQ(samePath(a, b), same) << toUtf8(a) << " " << toUtf8(b);
    }
    EXPECT_EQ(windowsErrorText(0xFFFFFFFFU), "Windows error 4294967295");
    // The system's sentence, ready to follow a colon: no line break, full stop or blank at its end;
    // WinHTTP's common errors read as sentences too.
    for (const DWORD code : std::initializer_list<DWORD>{
             ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION,
             ERROR_WINHTTP_TIMEOUT, ERROR_WINHTTP_NAME_NOT_RESOLVED, ERROR_WINHTTP_CONNECTION_ERROR,
             ERROR_WINHTTP_SECURE_FAILURE, ERROR_WINHTTP_SECURE_CERT_DATE_INVALID}) {
        const std::string text = windowsErrorText(code);
        EXPECT_EQ(windowsError("Unable to start x", code).what(), "Unable to start x: " + text);
        EXPECT_TRUE(!text.starts_with("Windows error") &&
                    std::string_view("\r\n. ").find(text.back()) == std::string_view::npos)
            << text;
    }
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
    HttpsGet get{server.url("/a"), options()};
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
    EXPECT_EQ(server.requests().at(0).headers.at("x-test"), "yes");
    server.answer("/b", {.body = "0123456789", .declaredLength = 4});
    HttpsGet shorter{server.url("/b"), options()};
    std::string body;
    shorter.readBody(100, [&](std::string_view chunk) { body.append(chunk); });
    EXPECT_EQ(body, "0123");
}

TEST(HttpsGet, ConnectsOnlyToAnHttpsServerWithTheRightName) {
    test::HttpsTestServer server;
    std::string byAddress = server.url("/a");
    byAddress.replace(byAddress.find("localhost"), 9, "127.0.0.1");
    EXPECT_TRUE(test::failureOf([&] { HttpsGet(byAddress, options()); }).starts_with("request: "));
    EXPECT_TRUE(server.requests().empty()) << "the certificate names localhost only";
    const test::SilentListener listener;
    const std::string port = std::to_string(listener.port());
    for (const std::string& url :
         {"http://localhost:" + port + "/", "HTTP://localhost:" + port, "ftp://localhost:" + port,
          "localhost:" + port, "//localhost/"s, "https://"s, "\xff\xfe"s, ""s}) {
        EXPECT_EQ(test::failureOf([&] { HttpsGet(url, options()); }), "invalid url") << url;
    }
    EXPECT_FALSE(listener.connectionAttempted());
}

} // namespace
} // namespace hub

#include "util/https_get.h"

#include "support/https_test_server.h"
#include "support/silent_listener.h"
#include "support/test_files.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace hub {
namespace {

using test::HttpsTestServer;
using test::ScriptedAnswer;

HttpsGetOptions testOptions() {
    return {.timeouts = {5000, 5000, 5000, 5000},
            .extraHeaders = L"X-Test: yes\r\n",
            .failures = {.invalidUrl = "invalid url",
                         .initialize = "initialize",
                         .connect = "connect",
                         .request = "request",
                         .read = "read"}};
}

// The whole body, read in chunks of chunkSize; every chunk must be within that size.
std::string readAll(HttpsGet& get, std::size_t chunkSize) {
    std::string body;
    get.readBody(chunkSize, [&](std::string_view chunk) {
        EXPECT_FALSE(chunk.empty());
        EXPECT_LE(chunk.size(), chunkSize);
        body.append(chunk);
    });
    return body;
}

std::string failureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

TEST(HttpsGet, ReturnsStatusLengthAndBody) {
    HttpsTestServer server;
    server.answer("/a", {.status = 418, .body = "short and stout"});
    HttpsGet get{server.url("/a?x=1&y=%2B"), testOptions()};
    EXPECT_EQ(get.statusCode(), 418u);
    EXPECT_EQ(get.contentLength(), std::optional<std::uint64_t>{15});
    EXPECT_EQ(readAll(get, 4), "short and stout");

    const std::vector<test::ReceivedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/a?x=1&y=%2B");
    EXPECT_EQ(requests[0].headers.at("x-test"), "yes");
    EXPECT_EQ(requests[0].headers.at("user-agent"), "Orvantis Hub");
}

TEST(HttpsGet, EmptyPathAsksForTheRoot) {
    HttpsTestServer server;
    const std::string origin = server.url("");
    const std::string root = origin.substr(0, origin.find("/t/"));
    HttpsGet get{root, testOptions()};
    EXPECT_EQ(get.statusCode(), 404u); // the server's root belongs to no session
}

TEST(HttpsGet, StreamsLargeBodiesChunkByChunk) {
    constexpr std::uint64_t size = 24 * 1024 * 1024 + 7;
    HttpsTestServer server;
    server.answer("/large.bin", {.generatedSize = size});
    HttpsGet get{server.url("/large.bin"), testOptions()};
    EXPECT_EQ(get.contentLength(), std::optional<std::uint64_t>{size});
    std::uint64_t received = 0;
    std::uint64_t mismatches = 0;
    get.readBody(65536, [&](std::string_view chunk) {
        EXPECT_LE(chunk.size(), 65536u);
        for (const char byte : chunk) {
            mismatches += byte != HttpsTestServer::patternByte(received++);
        }
    });
    EXPECT_EQ(received, size);
    EXPECT_EQ(mismatches, 0u);
}

TEST(HttpsGet, ServesFilesOfThePrefix) {
    HttpsTestServer server;
    const test::TempFolder folder;
    std::string content(100000, '\0');
    for (std::size_t i = 0; i < content.size(); ++i) {
        content[i] = static_cast<char>(i * 7 % 256);
    }
    test::writeFile(folder / "package.zip", content);
    server.answer("/package.zip", {.file = folder / "package.zip"});
    HttpsGet get{server.url("/package.zip"), testOptions()};
    EXPECT_EQ(readAll(get, 65536), content);
}

TEST(HttpsGet, ContentLengthMissingOrLying) {
    HttpsTestServer server;
    server.answer("/missing", {.body = "no length", .omitLength = true});
    server.answer("/huge", {.declaredLength = 5'000'000'000, .cutAfter = 0});
    server.answer("/smaller", {.body = "0123456789", .declaredLength = 4});

    HttpsGet missing{server.url("/missing"), testOptions()};
    EXPECT_EQ(missing.contentLength(), std::nullopt);
    EXPECT_EQ(readAll(missing, 3), "no length");

    HttpsGet huge{server.url("/huge"), testOptions()};
    EXPECT_EQ(huge.contentLength(), std::optional<std::uint64_t>{5'000'000'000});

    HttpsGet smaller{server.url("/smaller"), testOptions()};
    EXPECT_EQ(smaller.contentLength(), std::optional<std::uint64_t>{4});
    EXPECT_EQ(readAll(smaller, 100), "0123");
}

TEST(HttpsGet, BodyEndingBeforeItsLengthIsAFailedRead) {
    HttpsTestServer server;
    server.answer("/cut", {.generatedSize = 300000, .cutAfter = 100000});
    HttpsGet get{server.url("/cut"), testOptions()};
    std::uint64_t received = 0;
    const std::string failure = failureOf(
        [&] { get.readBody(65536, [&](std::string_view chunk) { received += chunk.size(); }); });
    EXPECT_TRUE(failure.starts_with("read: ")) << failure;
    EXPECT_LE(received, 100000u);
}

TEST(HttpsGet, ChunkHandlerStopsTheReading) {
    HttpsTestServer server;
    server.answer("/large.bin", {.generatedSize = 10'000'000});
    HttpsGet get{server.url("/large.bin"), testOptions()};
    int chunks = 0;
    const std::string failure = failureOf([&] {
        get.readBody(1000, [&](std::string_view) {
            ++chunks;
            throw std::runtime_error("cancelled");
        });
    });
    EXPECT_EQ(failure, "cancelled");
    EXPECT_EQ(chunks, 1);
}

TEST(HttpsGet, RefusesAnythingButHttpsBeforeConnecting) {
    test::SilentListener listener;
    const std::string hostAndPort = "localhost:" + std::to_string(listener.port());
    for (const std::string& url :
         {"http://" + hostAndPort + "/", "ftp://" + hostAndPort + "/", hostAndPort + "/",
          "//" + hostAndPort + "/", std::string{"https://"}, std::string{"https:///path"},
          std::string{}, std::string{"\xff\xfe"}}) {
        EXPECT_EQ(failureOf([&] { HttpsGet{url, testOptions()}; }), "invalid url") << url;
    }
    EXPECT_FALSE(listener.connectionAttempted());
}

TEST(HttpsGet, UnreachableServerFailsTheRequest) {
    std::uint16_t closedPort = 0;
    {
        const test::SilentListener listener;
        closedPort = listener.port();
    }
    const std::string failure = failureOf([&] {
        HttpsGet{"https://localhost:" + std::to_string(closedPort) + "/", testOptions()};
    });
    EXPECT_TRUE(failure.starts_with("request: ")) << failure;
}

TEST(HttpsGet, UntrustedNameFailsTheRequest) {
    // The test certificate names "localhost" only.
    HttpsTestServer server;
    std::string url = server.url("/a");
    url.replace(url.find("localhost"), 9, "127.0.0.1");
    const std::string failure = failureOf([&] { HttpsGet{url, testOptions()}; });
    EXPECT_TRUE(failure.starts_with("request: ")) << failure;
    EXPECT_TRUE(server.requests().empty());
}

} // namespace
} // namespace hub

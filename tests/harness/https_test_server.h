#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hub::test {

// How the local HTTPS test server answers one path. By default: 200, the body, its true
// Content-Length, at once.
struct ScriptedAnswer {
    int status = 200;
    std::string body = {};
    std::optional<std::uint64_t> generatedSize = {}; // instead of body: that many patternByte bytes
    std::filesystem::path file = {};                 // instead of body: this file's content
    bool omitLength = false; // no Content-Length: the body ends at the close
    std::optional<std::uint64_t> declaredLength = {}; // a Content-Length that may lie
    std::optional<std::uint64_t> cutAfter = {};       // close the connection after that many bytes
    int stallMs = 0;                                  // at the cut, first wait that long
    std::optional<int> faults = {};                   // cut or stall only the first N requests
    int delayMs = 0;                                  // wait before the status line
    std::vector<std::string> etags = {}; // the ETag of the n-th request; the last one after that
    std::string lastModified = {};       // a Last-Modified header when not empty
    bool ranges = false;                 // honour "Range: bytes=N-" (and If-Range) with a 206
    bool sidecar = false;                // publish the body's SHA-256 at the path + ".sha256"
};

// A request as the server received it: path and query below the session's prefix, and the
// headers with lower-case names.
struct ReceivedRequest {
    std::string target;
    std::map<std::string, std::string> headers;
};

// One test's session on the harness's local HTTPS test server (tests/harness/https_server.py),
// reached as https://localhost:PORT with a certificate that only the test prefix trusts. Each
// session has its own paths, so tests running at the same time do not meet. Streamed bodies
// (generatedSize, file) never sit in the server's memory, so they may be gigabytes.
//
//     HttpsTestServer server;
//     server.answer("/packages.json", {.body = R"({"a": "1.0.0"})"});
//     fetch(server.url("/packages.json"));
//     EXPECT_EQ(server.requests().at(0).target, "/packages.json");
//
// The constructor fails (throws) when the harness did not start the server.
class HttpsTestServer {
public:
    HttpsTestServer();
    ~HttpsTestServer();
    HttpsTestServer(const HttpsTestServer&) = delete;
    HttpsTestServer& operator=(const HttpsTestServer&) = delete;

    // https://localhost:PORT, the session's prefix and path (which starts with "/").
    [[nodiscard]] std::string url(std::string_view path) const;

    // Answers every later request for path (the query does not matter) this way.
    void answer(std::string_view path, const ScriptedAnswer& answer);

    // Every request of this session so far, in order of arrival.
    [[nodiscard]] std::vector<ReceivedRequest> requests() const;

    // Byte number index of a generated body.
    static char patternByte(std::uint64_t index) noexcept;

private:
    std::string session_;
};

} // namespace hub::test

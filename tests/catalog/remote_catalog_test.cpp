#include "catalog/origins.h"
#include "catalog/remote_catalog.h"
#include "settings/activity_log.h"
#include "support/https_test_server.h"
#include "support/silent_listener.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <stdexcept>

namespace hub {
namespace {

using test::HttpsTestServer;
using test::ScriptedAnswer;

// The failure text of fetching url, or "" when the fetch succeeded.
std::string fetchFailure(const std::string& url) {
    try {
        fetchRemoteVersions(url);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

// A JSON object of exactly size bytes: one usable member, padded with blanks.
std::string catalogOfSize(std::size_t size) {
    std::string body = R"({"orv-camera": "0.12.0")";
    body.append(size - body.size() - 1, ' ');
    return body + "}";
}

TEST(PackageCatalogUrl, IsOnTheWebHost) {
    EXPECT_EQ(packageCatalogUrl(), std::string{webOrigin()} + "/downloads/orv-hub/packages.json");
}

TEST(RemoteCatalogFetch, ReturnsTheUsableVersions) {
    HttpsTestServer server;
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "V1.0.1", "orv-camera": "0.12.0",
                               "Orv-Camera": "9.9.9", "unknown-part": "3.0.0-rc.1"})"});
    const RemoteVersions versions =
        fetchRemoteVersions(server.url("/downloads/orv-hub/packages.json"));
    EXPECT_EQ(versions, (RemoteVersions{{"velmora-weapons-patch", "V1.0.1"},
                                        {"orv-camera", "0.12.0"},
                                        {"unknown-part", "3.0.0-rc.1"}}));
}

TEST(RemoteCatalogFetch, AsksPastEveryCache) {
    HttpsTestServer server;
    server.answer("/packages.json", {.body = R"({"orv-camera": "0.12.0"})"});
    fetchRemoteVersions(server.url("/packages.json?channel=a%20b"));
    const std::vector<test::ReceivedRequest> requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/packages.json?channel=a%20b");
    const auto& headers = requests[0].headers;
    EXPECT_EQ(headers.count("user-agent") ? headers.at("user-agent") : "", "Orvantis Hub");
    EXPECT_EQ(headers.count("cache-control") ? headers.at("cache-control") : "", "no-cache");
    EXPECT_EQ(headers.count("pragma") ? headers.at("pragma") : "", "no-cache");
}

TEST(RemoteCatalogFetch, WorksWithoutContentLength) {
    HttpsTestServer server;
    server.answer("/p.json", {.body = R"({"orv-camera": "0.12.0"})", .omitLength = true});
    EXPECT_EQ(fetchRemoteVersions(server.url("/p.json")),
              (RemoteVersions{{"orv-camera", "0.12.0"}}));
}

TEST(RemoteCatalogFetch, RefusesStatusesOutsideTwoHundreds) {
    HttpsTestServer server;
    for (const int status : {404, 500, 403, 199}) {
        const std::string path = "/status" + std::to_string(status);
        server.answer(path, {.status = status, .body = R"({"orv-camera": "0.12.0"})"});
        EXPECT_EQ(fetchFailure(server.url(path)),
                  "The package catalog server returned HTTP " + std::to_string(status) + ".");
    }
    EXPECT_EQ(fetchFailure(server.url("/never-scripted")),
              "The package catalog server returned HTTP 404.");
}

TEST(RemoteCatalogFetch, AcceptsSuccessStatusesOtherThan200) {
    HttpsTestServer server;
    server.answer("/p.json", {.status = 203, .body = R"({"orv-camera": "0.12.0"})"});
    EXPECT_EQ(fetchRemoteVersions(server.url("/p.json")).at("orv-camera"), "0.12.0");
}

TEST(RemoteCatalogFetch, TakesAtMost65536Bytes) {
    HttpsTestServer server;
    server.answer("/fits.json", {.body = catalogOfSize(65536)});
    server.answer("/large.json", {.body = catalogOfSize(65537)});
    server.answer("/unannounced.json", {.body = catalogOfSize(200000), .omitLength = true});
    EXPECT_EQ(fetchRemoteVersions(server.url("/fits.json")).size(), 1u);
    EXPECT_EQ(fetchFailure(server.url("/large.json")),
              "The package catalog response is too large.");
    EXPECT_EQ(fetchFailure(server.url("/unannounced.json")),
              "The package catalog response is too large.");
}

TEST(RemoteCatalogFetch, RefusesBodiesThatAreNoUsableObject) {
    HttpsTestServer server;
    struct Case {
        const char* body;
        const char* failure;
    };
    const Case cases[] = {
        {R"(["orv-camera", "0.12.0"])", "The package catalog response is not a JSON object."},
        {R"("orv-camera")", "The package catalog response is not a JSON object."},
        {"{}", "The package catalog does not contain any valid version."},
        {R"({"Velmora-Weapons-Patch": "1.0.1", "orv-camera": 12})",
         "The package catalog does not contain any valid version."},
    };
    for (const Case& test : cases) {
        server.answer("/p.json", {.body = test.body});
        EXPECT_EQ(fetchFailure(server.url("/p.json")), test.failure) << test.body;
    }
}

TEST(RemoteCatalogFetch, SyntaxErrorsAreTheParsersOwn) {
    HttpsTestServer server;
    for (const char* body : {"", R"({"orv-camera": "0.12.0",})", R"({"a": "1.0.0"} // c)"}) {
        server.answer("/p.json", {.body = body});
        EXPECT_THROW(fetchRemoteVersions(server.url("/p.json")), nlohmann::json::parse_error)
            << body;
    }
}

TEST(RemoteCatalogFetch, BodyCutOffIsAnInterruptedDownload) {
    HttpsTestServer server;
    const std::string body = catalogOfSize(30000);
    server.answer("/cut.json", {.body = body, .cutAfter = 10000});
    server.answer("/short.json", {.body = body.substr(0, 100), .declaredLength = body.size()});
    for (const char* path : {"/cut.json", "/short.json"}) {
        EXPECT_TRUE(fetchFailure(server.url(path))
                        .starts_with("The package catalog download was interrupted: "))
            << path << ": " << fetchFailure(server.url(path));
    }
}

TEST(RemoteCatalogFetch, RefusesAnythingButHttpsBeforeConnecting) {
    test::SilentListener listener;
    const std::string port = std::to_string(listener.port());
    for (const std::string& url :
         {"http://localhost:" + port + "/packages.json", "ftp://localhost:" + port + "/p.json",
          "localhost:" + port + "/packages.json", std::string{}, std::string{"https://"},
          "HTTP://localhost:" + port + "/"}) {
        EXPECT_EQ(fetchFailure(url), "The package catalog URL is not a valid HTTPS address.")
            << url;
    }
    EXPECT_FALSE(listener.connectionAttempted());
}

TEST(RemoteCatalogFetch, NoServerIsAFailedDownload) {
    std::uint16_t closedPort = 0;
    {
        const test::SilentListener listener;
        closedPort = listener.port();
    }
    EXPECT_TRUE(fetchFailure("https://localhost:" + std::to_string(closedPort) + "/p.json")
                    .starts_with("Unable to download the package catalog: "));
}

// Slow by nature: the receive time-out of 5 s must end a fetch whose server never answers.
TEST(RemoteCatalogFetch, SilentServerIsBoundedByTheTimeOut) {
    HttpsTestServer server;
    server.answer("/slow.json", {.body = R"({"orv-camera": "0.12.0"})", .delayMs = 12000});
    const auto start = std::chrono::steady_clock::now();
    const std::string failure = fetchFailure(server.url("/slow.json"));
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    RecordProperty("seconds", std::to_string(elapsed.count()));
    EXPECT_TRUE(failure.starts_with("Unable to download the package catalog: ")) << failure;
    EXPECT_LT(elapsed.count(), 11.0);
}

TEST(RemoteCatalogRefresh, LogsAFailureAndGivesNothing) {
    HttpsTestServer server;
    const test::TempFolder folder;
    ActivityLog log{folder / "hub.log"};
    EXPECT_TRUE(refreshRemoteVersions(server.url("/missing.json"), log).empty());
    EXPECT_TRUE(test::readFile(folder / "hub.log")
                    .ends_with("  package catalog refresh failed: The package catalog server "
                               "returned HTTP 404.\r\n"));
}

TEST(RemoteCatalogRefresh, GivesTheFetchedVersions) {
    HttpsTestServer server;
    server.answer("/p.json", {.body = R"({"orv-camera": "0.12.0"})"});
    const test::TempFolder folder;
    ActivityLog log{folder / "hub.log"};
    EXPECT_EQ(refreshRemoteVersions(server.url("/p.json"), log),
              (RemoteVersions{{"orv-camera", "0.12.0"}}));
    EXPECT_FALSE(std::filesystem::exists(folder / "hub.log"));
}

} // namespace
} // namespace hub

// The built-in catalog, the version rules and the package catalog from the local HTTPS server.
#include "catalog/catalog.h"
#include "catalog/origins.h"
#include "catalog/remote_catalog.h"
#include "catalog/versions.h"

#include "harness/https_test_server.h"
#include "settings/activity_log.h"
#include "support/test_support.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <set>
#include <sstream>

namespace hub {
namespace {

using namespace std::string_literals;

TEST(BuiltInCatalog, HoldsUniqueHttpsComponentsOfKnownFamiliesAndFollowsTheirRules) {
    Catalog catalog = buildCatalog({"https://w.test", "https://d.test"});
    std::set<std::string> ids;
    std::set<std::string> families;
    for (const auto& family : catalog.families) {
        EXPECT_TRUE(families.insert(family.id).second) << family.id;
    }
    for (const auto& component : catalog.components) {
        SCOPED_TRACE(component.id);
        EXPECT_TRUE(ids.insert(component.id).second) << "duplicate id";
        EXPECT_FALSE(component.folderName.empty());
        EXPECT_TRUE(component.downloadUrl.starts_with("https://w.test/"));
        EXPECT_TRUE(component.documentationUrl.empty() ||
                    component.documentationUrl.starts_with("https://d.test/"));
        for (const auto& section : component.sections) {
            EXPECT_TRUE(families.contains(section)) << section;
        }
    }
    EXPECT_EQ(findComponent(catalog, "Velmora-Weapons-Patch"), nullptr) << "ids match exactly";
    EXPECT_EQ(test::failureOf([&] { (void)componentById(catalog, "x"); }), "unknown component: x");
    CatalogComponent component = catalog.components.at(0);
    const std::tuple<std::vector<std::string>, const char*, bool> rows[] = {
        {{}, "msfs2024", true},
        {{"msfs2020"}, "msfs2024", false},
        {{"msfs2020"}, "custom", true},
        {{"msfs2020"}, "", true},
        {{"msfs2020"}, "MSFS2020", false},
        {{"msfs2024", "msfs2020"}, "msfs2020", true}};
    for (const auto& [simulators, target, compatible] : rows) {
        component.simulators = simulators;
        EXPECT_EQ(isCompatible(component, target), compatible) << target;
    }
    component.sections = {"nobody", catalog.families.at(0).id};
    EXPECT_TRUE(isReleased(catalog, component));
    catalog.families.at(0).enabled = false;
    EXPECT_FALSE(isReleased(catalog, component));
}

TEST(Versions, AreValidatedAndOrdered) {
    for (const std::string& valid :
         {"1.2.3"s, "V1.2.3"s, "1.2.3-rc-1+build.7"s, "1.2.3-" + std::string(58, 'a')}) {
        EXPECT_TRUE(isValidVersion(valid)) << valid;
    }
    for (const std::string& invalid : {"1.2.3+"s, "1.2"s, "1.2.3.4"s, "1..3"s, " 1.2.3"s,
                                       "1.2.3-b_1"s, ""s, "1.2.3-" + std::string(59, 'a')}) {
        EXPECT_FALSE(isValidVersion(invalid)) << invalid;
    }
    // "a < b": a sorts before b, and b after a.
    for (const char* row :
         {"1.9.9 < 1.10.0", "1.0 = 1.0.0", "1.0.0-beta < 1.0.0", "1.0.0-beta < 1.0.0-rc",
          "2.0.0+5 = 2.0.0", "V1.2.3 < v1.2.4", "01.2.3 = 1.2.3", "1.2.3 < 1.2.3.1",
          "1.2.9 < 1.2.x", "18446744073709551614.0.0 < 18446744073709551615.0.0",
          "18446744073709551616.0.0 < 9.0.0"}) {
        std::istringstream parts(row);
        std::string a, relation, b;
        parts >> a >> relation >> b;
        const int order = relation == "<" ? -1 : 0;
        EXPECT_EQ(compareVersions(a, b), order) << row;
        EXPECT_EQ(compareVersions(b, a), -order) << row;
    }
}

class RemoteCatalog : public testing::Test {
protected:
    std::string fetchFailure(const std::string& url) {
        return test::failureOf([&] { (void)fetchRemoteVersions(url); });
    }
    // A JSON object of exactly size bytes: one usable member, padded with blanks.
    static std::string ofSize(std::size_t size) {
        const std::string body = R"({"orv-camera": "0.12.0")";
        return body + std::string(size - body.size() - 1, ' ') + "}";
    }

    test::HttpsTestServer server;
    test::TempFolder folder;
    ActivityLog log{folder / L"hub.log"};
};

TEST_F(RemoteCatalog, KeepsTheUsableVersionsAndAsksPastEveryCache) {
    server.answer("/p.json", {.status = 203,
                              .body = R"({"velmora-weapons-patch": "V1.0.1", "orv-camera": "0.12.0",
                                 "Orv-Camera": "9.9.9", "bad": "1.2", "unknown-part": "3.0.0-rc.1"})",
                              .omitLength = true});
    EXPECT_EQ(fetchRemoteVersions(server.url("/p.json?channel=a%20b")),
              (RemoteVersions{{"velmora-weapons-patch", "V1.0.1"},
                              {"orv-camera", "0.12.0"},
                              {"unknown-part", "3.0.0-rc.1"}}));
    const auto request = server.requests().at(0);
    EXPECT_EQ(request.target, "/p.json?channel=a%20b");
    EXPECT_EQ(request.headers.at("cache-control"), "no-cache");
    EXPECT_EQ(request.headers.at("pragma"), "no-cache");
    Catalog catalog = buildCatalog();
    applyRemoteVersions(catalog, {{"orv-camera", "0.10.0"}, {"unknown", "1.0.0"}}, log);
    EXPECT_EQ(componentById(catalog, "orv-camera").version, "0.10.0") << "lower versions too";
    EXPECT_EQ(test::logMessages(folder / L"hub.log"),
              std::vector<std::string>{"available orv-camera version 0.10.0"});
}

TEST_F(RemoteCatalog, RefusesWhatIsNoUsableCatalog) {
    const std::string tooLarge = "The package catalog response is too large.";
    const std::pair<test::ScriptedAnswer, std::string> rows[] = {
        {{.body = ofSize(65536)}, "no failure"},
        {{.body = ofSize(65537)}, tooLarge},
        {{.body = ofSize(200000), .omitLength = true}, tooLarge},
        {{.body = R"(["orv-camera", "0.12.0"])"},
         "The package catalog response is not a JSON object."},
        {{.body = R"({"Velmora": "1.0.1", "orv-camera": 12, "x": "1.0"})"},
         "The package catalog does not contain any valid version."},
        {{.body = ofSize(30000), .cutAfter = 10000},
         "The package catalog download was interrupted: "},
    };
    for (const auto& [answer, failure] : rows) {
        server.answer("/p.json", answer);
        EXPECT_EQ(fetchFailure(server.url("/p.json")).substr(0, failure.size()), failure);
    }
    server.answer("/p.json", {.body = R"({"orv-camera": "0.12.0",})"});
    EXPECT_THROW(fetchRemoteVersions(server.url("/p.json")), nlohmann::json::parse_error)
        << "a syntax error is the parser's own";
    EXPECT_EQ(fetchFailure("http://localhost/p.json"),
              "The package catalog URL is not a valid HTTPS address.");
    EXPECT_TRUE(fetchFailure("https://localhost:1/p.json")
                    .starts_with("Unable to download the package catalog: "));
    EXPECT_TRUE(refreshRemoteVersions(server.url("/missing.json"), log).empty());
    EXPECT_EQ(test::logMessages(folder / L"hub.log").back(),
              "package catalog refresh failed: The package catalog server returned HTTP 404.");
}

} // namespace
} // namespace hub

#include "catalog/remote_catalog.h"
#include "settings/activity_log.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <stdexcept>

namespace hub {
namespace {

std::string parseFailure(std::string_view body) {
    try {
        parseRemoteVersions(body);
    } catch (const std::exception& error) {
        return error.what();
    }
    return "";
}

TEST(RemoteVersionsParse, KeepsOnlyUsableMembers) {
    const std::string longestId(64, 'a');
    const std::string tooLongId(65, 'a');
    const nlohmann::json body = {
        {"velmora-weapons-patch", "V1.0.1"}, // kept exactly as written
        {"orv-camera", "0.12.0-beta.2+7"},
        {longestId, "1.0.0"},
        {"0-9-", "1.0.0"},
        {tooLongId, "1.0.0"},
        {"Velmora-Weapons-Patch", "1.0.1"},
        {"tarsek_weapons", "1.0.1"},
        {"tarsek weapons", "1.0.1"},
        {"tarsek.weapons", "1.0.1"},
        {"t\xc3\xa4rsek", "1.0.1"},
        {"", "1.0.1"},
        {"number", 12},
        {"null", nullptr},
        {"list", {"1.0.0"}},
        {"object", {{"version", "1.0.0"}}},
        {"two-fields", "1.2"},
        {"letters", "1.2.x"},
        {"empty", ""},
    };
    EXPECT_EQ(parseRemoteVersions(body.dump()), (RemoteVersions{{"velmora-weapons-patch", "V1.0.1"},
                                                                {"orv-camera", "0.12.0-beta.2+7"},
                                                                {longestId, "1.0.0"},
                                                                {"0-9-", "1.0.0"}}));
}

TEST(RemoteVersionsParse, RefusesWhatIsNoUsableObject) {
    struct Case {
        const char* body;
        const char* failure;
    };
    const Case cases[] = {
        {"[]", "The package catalog response is not a JSON object."},
        {R"("1.0.0")", "The package catalog response is not a JSON object."},
        {"12", "The package catalog response is not a JSON object."},
        {"null", "The package catalog response is not a JSON object."},
        {"{}", "The package catalog does not contain any valid version."},
        {R"({"Orv-Camera": "1.0.0", "orv-camera": 1})",
         "The package catalog does not contain any valid version."},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(parseFailure(test.body), test.failure) << test.body;
    }
    EXPECT_THROW(parseRemoteVersions("{\"a\": \"1.0.0\" /* c */}"), nlohmann::json::parse_error);
}

class ApplyRemoteVersions : public testing::Test {
protected:
    std::vector<std::string> versions() const {
        std::vector<std::string> result;
        for (const CatalogComponent& component : catalog.components) {
            result.push_back(component.version);
        }
        return result;
    }
    std::string logText() const {
        return std::filesystem::exists(folder / "hub.log") ? test::readFile(folder / "hub.log")
                                                           : "";
    }

    test::TempFolder folder;
    ActivityLog log{folder / "hub.log"};
    Catalog catalog = buildCatalog();
};

TEST_F(ApplyRemoteVersions, TakesHigherAndLowerVersionsAsWritten) {
    applyRemoteVersions(catalog,
                        {{"velmora-weapons-patch", "V1.0.1"},
                         {"quenby-weapons-patch", "1.5.0"},
                         {"tarsek-weapons-patch", "1.0.0"},
                         {"someone-else", "9.0.0"}},
                        log);
    EXPECT_EQ(versions(), (std::vector<std::string>{"V1.0.1", "0.11.0", "1.0.0", "1.5.0"}));
    const std::string text = logText();
    const std::size_t velmora = text.find("  available velmora-weapons-patch version V1.0.1\r\n");
    const std::size_t quenby = text.find("  available quenby-weapons-patch version 1.5.0\r\n");
    EXPECT_NE(velmora, std::string::npos) << text;
    EXPECT_NE(quenby, std::string::npos) << text;
    EXPECT_LT(velmora, quenby);
    EXPECT_EQ(text.find("tarsek"), std::string::npos) << text;
    EXPECT_EQ(text.find("someone-else"), std::string::npos) << text;
}

TEST_F(ApplyRemoteVersions, UnknownIdsAndNothingChangeNothing) {
    applyRemoteVersions(catalog, {{"someone-else", "9.0.0"}}, log);
    applyRemoteVersions(catalog, {}, log);
    EXPECT_EQ(versions(), (std::vector<std::string>{"1.0.0", "0.11.0", "1.0.0", "2.0.0"}));
    EXPECT_EQ(logText(), "");
}

TEST_F(ApplyRemoteVersions, EqualMeansByteForByte) {
    applyRemoteVersions(catalog, {{"orv-camera", "v0.11.0"}}, log);
    EXPECT_EQ(catalog.components.at(1).version, "v0.11.0");
    EXPECT_NE(logText().find("available orv-camera version v0.11.0"), std::string::npos);
}

} // namespace
} // namespace hub

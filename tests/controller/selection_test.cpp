#include "controller/controller_fixture.h"
#include "util/paths.h"

namespace hub::test {

namespace {

TEST_F(ControllerTest, TheTargetFallsBackInOrder) {
    const auto store2024 = installation("msfs2024-store", root / L"a", true);
    const auto steam2020 = installation("msfs2020-steam", root / L"b", false);
    const auto store2020 = installation("msfs2020-store", root / L"c", true);
    struct Row {
        const char* name;
        std::string wanted;
        std::vector<SimulatorInstallation> found;
        std::string target;
    };
    const std::vector<Row> rows{
        {"wanted but unavailable",
         "msfs2020-steam",
         {steam2020, store2020, store2024},
         "msfs2024-store"},
        {"wanted and available", "msfs2020-store", {store2024, store2020}, "msfs2020-store"},
        {"any available", "", {steam2020, store2020}, "msfs2020-store"},
        {"none available", "custom", {steam2020}, "msfs2020-steam"},
        {"none found", "msfs2024-store", {}, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        saveSettings(folders.settingsFile, {.simulator = row.wanted, .customCommunityFolder = {}});
        discovered = row.found;
        start();
        EXPECT_EQ(state()["simulator"]["target"]["id"], row.target);
        EXPECT_EQ(loadSettings(folders.settingsFile).simulator, row.wanted);
    }
    EXPECT_EQ(state()["simulator"]["target"],
              json::parse(R"({"id": "", "family": "", "name": "", "edition": "",
                  "communityFolder": "", "available": false})"));
    EXPECT_EQ(component("quenby-weapons-patch")["compatible"], true) << "nothing selected";
    discovered = {store2024, steam2020};
    start();
    EXPECT_EQ(send({{"type", "selectSimulator"}, {"installationId", "msfs2020-steam"}}), "");
    EXPECT_EQ(state()["simulator"]["target"]["id"], "msfs2024-store") << "unavailable: fallback";
    fs::create_directories(root / L"b");
    discovered[1].available = true;
    EXPECT_EQ(send({{"type", "reload"}}), "");
    EXPECT_EQ(state()["simulator"]["target"]["id"], "msfs2020-steam");
    start();
    EXPECT_EQ(state()["simulator"]["target"]["id"], "msfs2020-steam") << "after a restart";
}

TEST_F(ControllerTest, TheCustomFolderComesFromTheDialog) {
    makeTree(root.path(),
             {{"games/Community/", ""}, {"other/community/Community/", ""}, {"plain/", ""}});
    struct Row {
        const char* name;
        std::optional<fs::path> picked;
        std::string error;
        fs::path stored;
        bool available;
    };
    const std::vector<Row> rows{
        {"its Community subfolder", root / L"games", "", root / L"games" / L"Community", true},
        {"named community", root / L"other" / L"community", "", root / L"other" / L"community",
         true},
        {"cancelled", std::nullopt, "", root / L"other" / L"community", true},
        {"not a folder", root / L"missing", "", root / L"missing", false},
        {"inside the data folder", folders.dataFolder / L"Downloads",
         "This folder belongs to Orvantis Hub or to an installed application. Choose a Community "
         "folder outside it.",
         root / L"missing", false},
        {"inside an application", folders.localAppDataFolder / L"Orvantis.CameraSystem" / L"x",
         "This folder belongs to Orvantis Hub or to an installed application. Choose a Community "
         "folder outside it.",
         root / L"missing", false},
    };
    start();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        pickerAnswer = row.picked;
        EXPECT_EQ(send({{"type", "chooseCommunityFolder"}}), row.error);
        EXPECT_EQ(loadSettings(folders.settingsFile).customCommunityFolder, row.stored);
        const json simulator = state()["simulator"];
        EXPECT_EQ(simulator["target"]["communityFolder"], pathToUtf8(row.stored));
        EXPECT_EQ(simulator["customCommunityAvailable"], row.available);
    }
    discovered = {installation("msfs2024-steam", root / L"a", false)};
    EXPECT_EQ(send({{"type", "reload"}}), "");
    EXPECT_EQ(send({{"type", "selectSimulator"}, {"installationId", "msfs2024-steam"}}), "");
    EXPECT_EQ(send({{"type", "selectSimulator"}, {"installationId", "custom"}}), "");
    EXPECT_EQ(state()["simulator"]["target"]["id"], "custom");
    saveSettings(folders.settingsFile,
                 {.simulator = "custom", .customCommunityFolder = folders.dataFolder});
    start();
    EXPECT_EQ(state()["simulator"]["target"]["available"], false) << "a stored folder inside";
}

} // namespace

} // namespace hub::test

#include "controller/controller_fixture.h"
#include "util/paths.h"

namespace hub::test {

namespace {

TEST_F(ControllerTest, TheTargetFallsBackInOrder) {
    const auto store2024 = installation("msfs2024-store", root / L"a", true);
    const auto steam2020 = installation("msfs2020-steam", root / L"b", false);
    const auto store2020 = installation("msfs2020-store", root / L"c", true);
    const std::tuple<std::string, std::vector<SimulatorInstallation>, std::string> rows[]{
        {"msfs2020-steam", {steam2020, store2020, store2024}, "msfs2024-store"},
        {"msfs2020-store", {store2024, store2020}, "msfs2020-store"},
        {"", {steam2020, store2020}, "msfs2020-store"},
        {"custom", {steam2020}, "msfs2020-steam"},
        {"msfs2024-store", {}, ""}};
    for (const auto& [wanted, found, target] : rows) {
        SCOPED_TRACE(target);
        saveSettings(folders.settingsFile, {wanted, {}});
        discovered = found;
        start();
        EXPECT_EQ(state()["simulator"]["target"]["id"], target);
        EXPECT_EQ(loadSettings(folders.settingsFile).simulator, wanted) << "not written back";
    }
    EXPECT_EQ(state()["simulator"]["target"], json::parse(R"({"id": "", "family": "", "name": "",
        "edition": "", "communityFolder": "", "available": false})"));
    EXPECT_EQ(component("quenby-weapons-patch")["compatible"], true) << "nothing selected";
    discovered = {store2024, steam2020};
    start();
    const auto target = [this] { return state()["simulator"]["target"]["id"]; };
    EXPECT_EQ(send(command("selectSimulator", "installationId", "msfs2020-steam")), "");
    EXPECT_EQ(target(), "msfs2024-store") << "unavailable: the fallback";
    discovered[1].available = true;
    EXPECT_EQ(send(command("reload")), "");
    EXPECT_EQ(target(), "msfs2020-steam");
    start();
    EXPECT_EQ(target(), "msfs2020-steam") << "after a restart";
}

TEST_F(ControllerTest, TheCustomFolderComesFromTheDialog) {
    makeTree(root.path(), {{"games/Community/", ""}, {"other/community/Community/", ""}});
    const std::string refusal = "This folder belongs to Orvantis Hub or to an installed "
                                "application. Choose a Community folder outside it.";
    const std::tuple<std::optional<fs::path>, std::string, fs::path, bool> rows[]{
        {root / L"games", "", root / L"games" / L"Community", true},
        {root / L"other" / L"community", "", root / L"other" / L"community", true},
        {std::nullopt, "", root / L"other" / L"community", true},
        {root / L"missing", "", root / L"missing", false},
        {folders.dataFolder / L"Downloads", refusal, root / L"missing", false},
        {folders.localAppDataFolder / L"Orvantis.CameraSystem" / L"x", refusal, root / L"missing",
         false}};
    start();
    for (const auto& [picked, error, stored, available] : rows) {
        SCOPED_TRACE(picked.value_or(L"cancelled"));
        pickerAnswer = picked;
        EXPECT_EQ(send(command("chooseCommunityFolder")), error);
        EXPECT_EQ(loadSettings(folders.settingsFile).customCommunityFolder, stored);
        EXPECT_EQ(state()["simulator"]["target"]["communityFolder"], pathToUtf8(stored));
        EXPECT_EQ(state()["simulator"]["customCommunityAvailable"], available);
    }
    discovered = {installation("msfs2024-steam", root / L"a", false)};
    EXPECT_EQ(send(command("reload")), "");
    EXPECT_EQ(send(command("selectSimulator", "installationId", "msfs2024-steam")), "");
    EXPECT_EQ(send(command("selectSimulator", "installationId", "custom")), "");
    EXPECT_EQ(state()["simulator"]["target"]["id"], "custom");
    saveSettings(folders.settingsFile, {"custom", folders.dataFolder});
    start();
    EXPECT_EQ(state()["simulator"]["target"]["available"], false) << "a stored folder inside";
}

} // namespace

} // namespace hub::test

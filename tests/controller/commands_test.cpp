#include "controller/controller_fixture.h"
#include "install/receipt.h"

namespace hub::test {

namespace {

constexpr char patch[] = "velmora-weapons-patch";
constexpr char camera[] = "orv-camera";

// Every refusal and field failure, with the snapshot's reason for the same action where
// the action has one.
TEST_F(ControllerTest, CommandsFailWithTheirExactTexts) {
    start(false);
    struct Row {
        const char* name;
        json message;
        std::string error;
    };
    const std::string longId(65, 'a');
    const std::vector<Row> rows{
        {"empty object", json::object(), "invalid interface command"},
        {"array", json::array({1}), "invalid interface command"},
        {"numeric type", {{"type", 1}}, "invalid interface command"},
        {"wrong case", {{"type", "Install"}}, "unknown command: Install"},
        {"no id", {{"type", "install"}}, "missing field: componentId"},
        {"id not a string", {{"type", "launch"}, {"componentId", 7}}, "missing field: componentId"},
        {"long id", {{"type", "install"}, {"componentId", longId}}, "componentId is invalid"},
        {"unknown id", {{"type", "stop"}, {"componentId", "x"}}, "unknown component: x"},
        {"empty url", {{"type", "openLink"}, {"url", ""}}, "url is invalid"},
        {"foreign url",
         {{"type", "openLink"}, {"url", "https://a.example/"}},
         "This link is not part of the catalog."},
        {"contact plus",
         {{"type", "openLink"}, {"url", server.url("/contact/x")}},
         "This link is not part of the catalog."},
        {"unknown simulator",
         {{"type", "selectSimulator"}, {"installationId", "msfs"}},
         "Unknown simulator installation."},
        {"custom without folder",
         {{"type", "selectSimulator"}, {"installationId", "custom"}},
         "Choose a custom Community folder first."},
        {"no picker", {{"type", "chooseCommunityFolder"}}, "Folder selection is not available."},
        {"install without folder",
         {{"type", "install"}, {"componentId", patch}},
         "Select your MSFS Community folder in Settings."},
        {"uninstall absent",
         {{"type", "uninstall"}, {"componentId", patch}},
         "Weapons Patch is not installed."},
        {"open folder absent",
         {{"type", "openFolder"}, {"componentId", camera}},
         "Camera System is not installed."},
        {"launch absent",
         {{"type", "launch"}, {"componentId", camera}},
         "Camera System cannot be started."},
        {"stop idle", {{"type", "stop"}, {"componentId", camera}}, "Camera System is not running."},
        {"shortcut absent",
         {{"type", "createShortcut"}, {"componentId", camera}},
         "Camera System is not installed."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(send(row.message), row.error);
    }
    EXPECT_EQ(component(patch)["actions"]["install"]["reason"], rows[14].error);
    controller->handleMessage("[1");
    EXPECT_EQ(state()["error"].get<std::string>().substr(0, 16), "[json.exception.");
    EXPECT_NE(send({{"type", "refresh"}}), "") << "refresh keeps the error";
    EXPECT_EQ(send({{"type", "uninstallApplication"}}), "") << "portable: nothing to start";
    for (const std::string& url :
         {server.url("/contact/"), server.url("/privacy-policy/"), server.url("/"),
          server.url("/docs/velmora/vtl-ima#cam-system")}) {
        EXPECT_EQ(send({{"type", "openLink"}, {"url", url}}), "") << url;
    }
    EXPECT_EQ(opened.size(), 4u);
    controller->handleMessage("{\"type\":\"" + std::string(5'000'000, 'x'));
    EXPECT_LT(state()["error"].get<std::string>().size(), 1100u) << "a huge echo is shortened";
}

// The rules' answers for each status, read from the snapshot and from the commands.
TEST_F(ControllerTest, AvailabilityFollowsStatus) {
    useCommunityFolder();
    makeTree(community, {{"orvantis-aircraft-velmora-weapons/manifest.json",
                          R"({"package_version": "1.0.0"})"},
                         {"orvantis-aircraft-tarsek-weapons/manifest.json", "{}"}});
    const auto cameraFolder = folders.localAppDataFolder / L"Orvantis.CameraSystem";
    makeTree(cameraFolder, {{"ORV-Camera.exe", "MZ"}});
    discovered = {installation("msfs2024-steam", community, true)};
    start();
    const json snapshot = state();
    const json velmora = componentIn(snapshot, patch);
    EXPECT_EQ(velmora["status"], "installed");
    EXPECT_EQ(velmora["installedVersion"], "1.0.0");
    EXPECT_EQ(componentIn(snapshot, "tarsek-weapons-patch")["status"], "updateAvailable");
    EXPECT_EQ(componentIn(snapshot, "quenby-weapons-patch")["actions"]["install"]["allowed"], true)
        << "the custom folder takes every simulator";
    const json app = componentIn(snapshot, camera);
    EXPECT_EQ(app["status"], "updateAvailable") << "no receipt, no version";
    EXPECT_EQ(app["actions"]["launch"]["allowed"], true);
    EXPECT_EQ(app["actions"]["createShortcut"]["allowed"], true);
    EXPECT_EQ(app["actions"]["openFolder"]["allowed"], true);
    EXPECT_EQ(send({{"type", "openFolder"}, {"componentId", camera}}), "");
    EXPECT_EQ(opened.back(), cameraFolder.native());

    EXPECT_EQ(send({{"type", "selectSimulator"}, {"installationId", "msfs2024-steam"}}), "");
    const json quenby = component("quenby-weapons-patch");
    EXPECT_EQ(quenby["compatible"], false);
    EXPECT_EQ(quenby["actions"]["install"]["reason"], "Not available for MSFS 2024.");
    EXPECT_EQ(send({{"type", "install"}, {"componentId", "quenby-weapons-patch"}}),
              "Not available for MSFS 2024.");
    fs::remove_all(community);
    now += std::chrono::seconds(3);
    controller->tick();
    EXPECT_EQ(state()["simulator"]["target"]["available"], false);
    EXPECT_EQ(component(patch)["status"], "notInstalled");
    EXPECT_EQ(send({{"type", "install"}, {"componentId", patch}}),
              "The Community folder cannot be found. Check Settings.");
}

} // namespace

} // namespace hub::test

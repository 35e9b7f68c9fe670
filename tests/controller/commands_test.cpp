#include "controller/controller_fixture.h"

namespace hub::test {

namespace {

// Every field failure and refusal with nothing installed and nothing selected.
TEST_F(ControllerTest, CommandsFailWithTheirExactTexts) {
    start(false);
    const std::pair<json, std::string> rows[]{
        {json::object(), "invalid interface command"},
        {json::array({1}), "invalid interface command"},
        {{{"type", 1}}, "invalid interface command"},
        {command("Install"), "unknown command: Install"},
        {command("install"), "missing field: componentId"},
        {command("launch", "componentId", 7), "missing field: componentId"},
        {command("install", "componentId", std::string(65, 'a')), "componentId is invalid"},
        {command("stop", "componentId", "x"), "unknown component: x"},
        {command("openLink", "url", ""), "url is invalid"},
        {command("openLink", "url", server.url("/contact/x")),
         "This link is not part of the catalog."},
        {command("selectSimulator", "installationId", "a"), "Unknown simulator installation."},
        {command("selectSimulator", "installationId", "custom"),
         "Choose a custom Community folder first."},
        {command("chooseCommunityFolder"), "Folder selection is not available."},
        {command("install", "componentId", "velmora-weapons-patch"),
         "Select your MSFS Community folder in Settings."},
        {command("uninstall", "componentId", "velmora-weapons-patch"),
         "Weapons Patch is not installed."},
        {command("openFolder", "componentId", "orv-camera"), "Camera System is not installed."},
        {command("launch", "componentId", "orv-camera"), "Camera System cannot be started."},
        {command("stop", "componentId", "orv-camera"), "Camera System is not running."},
        {command("createShortcut", "componentId", "orv-camera"), "Camera System is not installed."},
    };
    for (const auto& [message, error] : rows) {
        SCOPED_TRACE(message.dump());
        EXPECT_EQ(send(message), error);
    }
    EXPECT_EQ(component("velmora-weapons-patch")["actions"]["install"]["reason"], rows[13].second);
    EXPECT_NE(send(command("refresh")), "") << "refresh keeps the error";
    EXPECT_EQ(send(command("uninstallApplication")), "") << "portable: nothing to start";
    for (const char* path :
         {"/contact/", "/privacy-policy/", "/", "/docs/velmora/vtl-ima#cam-system"}) {
        EXPECT_EQ(send(command("openLink", "url", server.url(path))), "") << path;
    }
    EXPECT_EQ(opened.size(), 4u);
    controller->handleMessage("{\"type\":\"\xff\"}");
    const std::string snapshot = controller->snapshot();
    EXPECT_EQ(snapshot, json::parse(snapshot).dump()) << "sorted keys, compact";
    EXPECT_NE(snapshot.find("\xEF\xBF\xBD"), std::string::npos) << "invalid UTF-8 replaced";
    controller->handleMessage("{\"type\":\"" + std::string(5'000'000, 'x'));
    EXPECT_LT(state()["error"].get<std::string>().size(), 1100u) << "a huge echo is shortened";
}

// The rules' answers for installed components, in the snapshot and from the commands.
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
    EXPECT_EQ(componentIn(snapshot, "velmora-weapons-patch")["status"], "installed");
    EXPECT_EQ(componentIn(snapshot, "tarsek-weapons-patch")["status"], "updateAvailable");
    EXPECT_EQ(componentIn(snapshot, "quenby-weapons-patch")["actions"]["install"]["allowed"], true);
    const json app = componentIn(snapshot, "orv-camera");
    EXPECT_EQ(app["status"], "updateAvailable") << "no receipt, no version";
    EXPECT_EQ(app["actions"], json::parse(R"({"install": {"allowed": true, "reason": ""},
        "uninstall": {"allowed": true, "reason": ""}, "launch": {"allowed": true, "reason": ""},
        "stop": {"allowed": false, "reason": ""}, "openFolder": {"allowed": true, "reason": ""},
        "createShortcut": {"allowed": true, "reason": ""}})"));
    EXPECT_EQ(send(command("openFolder", "componentId", "orv-camera")), "");
    EXPECT_EQ(opened.back(), cameraFolder.native());

    EXPECT_EQ(send(command("selectSimulator", "installationId", "msfs2024-steam")), "");
    EXPECT_EQ(component("quenby-weapons-patch")["compatible"], false);
    EXPECT_EQ(component("quenby-weapons-patch")["actions"]["install"]["reason"],
              "Not available for MSFS 2024.");
    EXPECT_EQ(send(command("install", "componentId", "quenby-weapons-patch")),
              "Not available for MSFS 2024.");
    fs::remove_all(community);
    now += std::chrono::seconds(3);
    controller->tick();
    EXPECT_EQ(state()["simulator"]["target"]["available"], false);
    EXPECT_EQ(component("velmora-weapons-patch")["status"], "notInstalled");
    EXPECT_EQ(send(command("install", "componentId", "velmora-weapons-patch")),
              "The Community folder cannot be found. Check Settings.");
}

} // namespace

} // namespace hub::test

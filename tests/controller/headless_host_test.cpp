#include "controller/controller_fixture.h"
#include "harness/headless_host/host_process.h"
#include "install/processes.h"
#include "support/test_support.h"
#include "util/known_folder.h"
#include "util/paths.h"
#include "util/text.h"

#include <windows.h>

#include <shlobj.h>

namespace hub::test {

namespace {

// Reads snapshot lines until one satisfies the test (at most 240 lines, a minute of ticks).
json waitFor(HostProcess& host, const std::function<bool(const json&)>& test) {
    for (int count = 0; count < 240; ++count) {
        const json snapshot = json::parse(host.readLine());
        if (test(snapshot)) {
            return snapshot;
        }
    }
    ADD_FAILURE() << "no such snapshot";
    return nullptr;
}

// One session of the hub as the interface drives it, through the headless host.
TEST_F(ControllerTest, TheHeadlessHostDrivesTheWholeHub) {
    HUB_REQUIRE_TEST_PREFIX();
    const fs::path roaming = root / L"roaming";
    makeTree(roaming, {{"Microsoft Flight Simulator 2024/UserCfg.opt",
                        "InstalledPackagesPath \"" + pathToUtf8(root / L"packages") + "\"\n"},
                       {"../packages/Community/orvantis-aircraft-velmora-weapons/manifest.json",
                        R"({"package_version": "1.0.0"})"}});
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "1.2.0"})"});
    serveArchive(server, "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip",
                 communityPackageArchive("1.2.0"));
    server.answer("/wp-content/uploads/package/orvantis-tarsek-weapons-patch.zip",
                  {.body = "x", .delayMs = 1000});
    serveArchive(server, "/downloads/orv-velmora-camera/orv-camera.zip",
                 {{"ORV-Camera.exe", readFile(testProgram(L"hub_test_child.exe"))}});
    HostProcess host(testProgram(L"hub_headless_host.exe"),
                     L"--web-origin " + toWide(server.url("")) + L" --local-app-data \"" +
                         (root / L"local").native() + L"\" --roaming-app-data \"" +
                         roaming.native() + L"\"");
    const json first = waitFor(host, [](const json& state) {
        return componentIn(state, "velmora-weapons-patch")["status"] == "updateAvailable" &&
               componentIn(state, "velmora-weapons-patch")["availableVersion"] == "1.2.0";
    });
    EXPECT_EQ(first["simulator"]["target"]["id"], "msfs2024-steam");
    // Each message, and what a later snapshot shows once the camera's launch has ended.
    const std::tuple<json, const char*, const char*> steps[]{
        {command("install", "componentId", "velmora-weapons-patch"), "notice",
         "Weapons Patch updated to 1.2.0."},
        {command("install", "componentId", "tarsek-weapons-patch"), nullptr, nullptr},
        {command("reload"), "error", "Wait for the current operation to finish."},
        {command("cancelOperation"), "notice",
         "Weapons Patch: operation cancelled, nothing was changed."},
        {command("install", "componentId", "orv-camera"), "notice",
         "Camera System 0.11.0 installed."},
        {command("launch", "componentId", "orv-camera"), "notice", "Camera System started."},
        {command("createShortcut", "componentId", "orv-camera"), "notice",
         "Camera System shortcut created on the Desktop."},
        {command("uninstall", "componentId", "orv-camera"), "notice",
         "Camera System uninstalled."}};
    for (const auto& [message, key, text] : steps) {
        SCOPED_TRACE(message.dump());
        host.send(message.dump());
        if (key != nullptr) {
            waitFor(host, [&](const json& state) {
                return state[key] == text && componentIn(state, "orv-camera")["running"] == false;
            });
        }
    }
    const fs::path shortcut = knownFolderPath(FOLDERID_Desktop) / L"Orvantis Camera System.lnk";
    EXPECT_TRUE(fs::exists(shortcut));
    fs::remove(shortcut);
    EXPECT_EQ(host.close(), 0u);
    EXPECT_FALSE(fs::exists(root / L"local" / L"Orvantis.CameraSystem"));
}

} // namespace

} // namespace hub::test

// Operations as the tick reports them, and one session of the whole hub through the headless
// host.
#include "controller/controller_fixture.h"
#include "harness/headless_host/host_process.h"
#include "support/test_support.h"
#include "util/known_folder.h"
#include "util/paths.h"
#include "util/text.h"

#include <windows.h>

#include <shlobj.h>

namespace hub::test {

namespace {

// Each outcome of the real engine, reported by the tick; the package catalog's version is
// applied once it arrives.
TEST_F(ControllerTest, OperationsAreReportedByTheTick) {
    useCommunityFolder();
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "1.1.0"})"});
    serveArchive(server, patchPath, communityPackageArchive("1.1.0"));
    start();
    tickAfterThreads(1);
    EXPECT_EQ(component("velmora-weapons-patch")["availableVersion"], "1.1.0");
    EXPECT_EQ(send(command("reload")), "");
    EXPECT_EQ(send(installPatch), "");
    EXPECT_EQ(state()["operation"], json::parse(R"({"active": true, "componentId":
        "velmora-weapons-patch", "action": "install", "progress": -1, "message": "Starting"})"));
    EXPECT_EQ(state()["notice"], "") << "starting clears the notice";
    EXPECT_EQ(send(command("reload")), "Wait for the current operation to finish.");
    EXPECT_EQ(component("velmora-weapons-patch")["actions"]["install"]["reason"],
              "Another operation is in progress.");
    const std::pair<std::optional<ScriptedAnswer>, std::string> outcomes[]{
        {std::nullopt, "Weapons Patch 1.1.0 installed."},
        {std::nullopt, "Weapons Patch 1.1.0 reinstalled."},
        {ScriptedAnswer{.status = 404}, "Weapons Patch: The package server returned HTTP 404."},
        {ScriptedAnswer{.body = "x", .delayMs = 300},
         "Weapons Patch: operation cancelled, nothing was changed."}};
    int threads = 1;
    for (const auto& [answer, report] : outcomes) {
        SCOPED_TRACE(report);
        if (answer) {
            server.answer(patchPath, *answer);
        }
        if (threads > 1) {
            EXPECT_EQ(send(installPatch), "");
        }
        if (answer && answer->delayMs > 0) {
            EXPECT_EQ(send(command("cancelOperation")), "");
        }
        tickAfterThreads(++threads);
        EXPECT_FALSE(controller->isBusy());
        EXPECT_EQ(state()[report.find("HTTP") != std::string::npos ? "error" : "notice"], report);
    }
    EXPECT_EQ(readTree(community / L"orvantis-aircraft-velmora-weapons").size(), 1u);
    EXPECT_EQ(send(command("uninstall", "componentId", "velmora-weapons-patch")), "");
    tickAfterThreads(++threads);
    EXPECT_EQ(state()["notice"], "Weapons Patch uninstalled.");
    EXPECT_FALSE(fs::exists(community / L"orvantis-aircraft-velmora-weapons"));
}

// The notice lives 6 seconds; the installed state is read every 3 seconds but not during an
// operation; destruction cancels the operation and waits for it.
TEST_F(ControllerTest, TheTickFollowsTheClock) {
    useCommunityFolder();
    server.answer(patchPath, {.body = "x", .delayMs = 200});
    start();
    controller->tick();
    EXPECT_EQ(send(command("reload")), "");
    makeTree(community, {{"orvantis-aircraft-tarsek-weapons/manifest.json", "{}"}});
    for (const auto& [step, status, notice] :
         {std::tuple{2999, "notInstalled", "Simulator folders reloaded."},
          std::tuple{1, "updateAvailable", "Simulator folders reloaded."},
          std::tuple{3000, "updateAvailable", ""}}) {
        now += std::chrono::milliseconds(step);
        controller->tick();
        EXPECT_EQ(component("tarsek-weapons-patch")["status"], status) << step;
        EXPECT_EQ(state()["notice"], notice) << step;
    }
    EXPECT_EQ(send(installPatch), "");
    fs::remove_all(community / L"orvantis-aircraft-tarsek-weapons");
    now += std::chrono::seconds(10);
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "updateAvailable") << "not during it";
    controller.reset();
    EXPECT_EQ(threadsEnded, 2) << "destruction waits for the worker";
    EXPECT_EQ(readTree(community), (FileTree{})) << "nothing half installed";
}

TEST_F(ControllerTest, ThreadsThatCannotStartLeaveNothingRunning) {
    useCommunityFolder();
    failingThreadStart = 0;
    EXPECT_THROW(start(), std::system_error) << "the package catalog thread";
    failingThreadStart = 1;
    threadStarts = 0;
    start();
    EXPECT_EQ(send(installPatch), std::system_error(busyError).what());
    EXPECT_FALSE(controller->isBusy());
}

// One session of the hub as the interface drives it, through the headless host: it finds the
// simulator from its UserCfg.opt, applies the package catalog, and after each message a later
// snapshot line shows the notice (and the camera no longer running).
TEST_F(ControllerTest, TheHeadlessHostDrivesTheWholeHub) {
    HUB_REQUIRE_TEST_PREFIX();
    const fs::path roaming = root / L"roaming";
    makeTree(roaming, {{"Microsoft Flight Simulator 2024/UserCfg.opt",
                        "InstalledPackagesPath \"" + pathToUtf8(root / L"packages") + "\"\n"},
                       {"../packages/Community/orvantis-aircraft-velmora-weapons/manifest.json",
                        R"({"package_version": "1.0.0"})"}});
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "1.2.0"})"});
    serveArchive(server, patchPath, communityPackageArchive("1.2.0"));
    serveArchive(server, "/downloads/orv-velmora-camera/orv-camera.zip",
                 {{"ORV-Camera.exe", readFile(testProgram(L"hub_test_child.exe"))}});
    HostProcess host(testProgram(L"hub_headless_host.exe"),
                     L"--web-origin " + toWide(server.url("")) + L" --local-app-data \"" +
                         (root / L"local").native() + L"\" --roaming-app-data \"" +
                         roaming.native() + L"\"");
    // Reads snapshot lines until one satisfies the test (at most 240 lines, a minute of ticks).
    const auto waitFor = [&](const std::function<bool(const json&)>& test) {
        for (int count = 0; count < 240; ++count) {
            if (const json snapshot = json::parse(host.readLine()); test(snapshot)) {
                return snapshot;
            }
        }
        ADD_FAILURE() << "no such snapshot";
        return json();
    };
    EXPECT_EQ(waitFor([](const json& state) {
                  return componentIn(state, "velmora-weapons-patch")["availableVersion"] == "1.2.0";
              })["simulator"]["target"]["id"],
              "msfs2024-steam");
    const std::pair<json, const char*> steps[]{
        {installPatch, "Weapons Patch updated to 1.2.0."},
        {command("install", "componentId", "orv-camera"), "Camera System 0.11.0 installed."},
        {command("launch", "componentId", "orv-camera"), "Camera System started."},
        {command("createShortcut", "componentId", "orv-camera"),
         "Camera System shortcut created on the Desktop."},
        {command("uninstall", "componentId", "orv-camera"), "Camera System uninstalled."}};
    for (const auto& [message, notice] : steps) {
        SCOPED_TRACE(message.dump());
        host.send(message.dump());
        waitFor([&](const json& state) {
            return state["notice"] == notice &&
                   componentIn(state, "orv-camera")["running"] == false;
        });
    }
    const fs::path shortcut = knownFolderPath(FOLDERID_Desktop) / L"Orvantis Camera System.lnk";
    EXPECT_TRUE(fs::exists(shortcut));
    fs::remove(shortcut);
    EXPECT_EQ(host.close(), 0u);
    EXPECT_FALSE(fs::exists(root / L"local" / L"Orvantis.CameraSystem"));
}

} // namespace

} // namespace hub::test

#include "controller/controller_fixture.h"
#include "install/engine_test_support.h"
#include "install/install_test_support.h"
#include "install/processes.h"
#include "install/receipt.h"

namespace hub::test {

namespace {

constexpr char patch[] = "velmora-weapons-patch";
constexpr char patchPath[] = "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip";
const json installPatch = {{"type", "install"}, {"componentId", patch}};

// Install, failure and cancellation through the real engine, each reported by the tick; the
// package catalog's version is applied once it arrives.
TEST_F(ControllerTest, OperationsAreReportedByTheTick) {
    useCommunityFolder();
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "1.1.0"})"});
    serveArchive(server, patchPath, communityPackageArchive("1.1.0"));
    start();
    tickAfterThreads(1);
    EXPECT_EQ(component(patch)["availableVersion"], "1.1.0");
    EXPECT_EQ(send({{"type", "reload"}}), "");
    EXPECT_EQ(send(installPatch), "");
    json operation = state()["operation"];
    EXPECT_EQ(operation, json::parse(R"({"active": true, "componentId": "velmora-weapons-patch",
        "action": "install", "progress": -1, "message": "Starting"})"));
    EXPECT_EQ(state()["notice"], "") << "starting clears the notice";
    EXPECT_EQ(send({{"type", "reload"}}), "Wait for the current operation to finish.");
    EXPECT_EQ(component(patch)["actions"]["install"]["reason"],
              "Another operation is in progress.");
    tickAfterThreads(2);
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(state()["notice"], "Weapons Patch 1.1.0 installed.") << state()["error"];
    EXPECT_EQ(component(patch)["status"], "installed");

    EXPECT_EQ(send(installPatch), "");
    EXPECT_EQ(state()["operation"]["action"], "reinstall");
    tickAfterThreads(3);
    EXPECT_EQ(state()["notice"], "Weapons Patch 1.1.0 reinstalled.");

    server.answer(patchPath, {.status = 404});
    EXPECT_EQ(send(installPatch), "");
    tickAfterThreads(4);
    EXPECT_EQ(state()["error"], "Weapons Patch: The package server returned HTTP 404.");

    server.answer(patchPath, {.body = "x", .delayMs = 300});
    EXPECT_EQ(send(installPatch), "");
    EXPECT_EQ(send({{"type", "cancelOperation"}}), "");
    tickAfterThreads(5);
    EXPECT_EQ(state()["notice"], "Weapons Patch: operation cancelled, nothing was changed.");
    EXPECT_EQ(readTree(community / L"orvantis-aircraft-velmora-weapons").size(), 1u);

    EXPECT_EQ(send({{"type", "uninstall"}, {"componentId", patch}}), "");
    tickAfterThreads(6);
    EXPECT_EQ(state()["notice"], "Weapons Patch uninstalled.");
    EXPECT_FALSE(fs::exists(community / L"orvantis-aircraft-velmora-weapons"));
}

// The notice lives 6 seconds; the installed state is read at most every 3 seconds and never
// during an operation.
TEST_F(ControllerTest, TheTickFollowsTheClock) {
    useCommunityFolder();
    server.answer(patchPath, {.body = "x", .delayMs = 200});
    start();
    controller->tick();
    EXPECT_EQ(send({{"type", "reload"}}), "");
    makeTree(community, {{"orvantis-aircraft-tarsek-weapons/manifest.json", "{}"}});
    now += std::chrono::milliseconds(2999);
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "notInstalled");
    EXPECT_EQ(state()["notice"], "Simulator folders reloaded.");
    now += std::chrono::milliseconds(1);
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "updateAvailable");
    now += std::chrono::seconds(3);
    controller->tick();
    EXPECT_EQ(state()["notice"], "") << "6 seconds after it was set";

    EXPECT_EQ(send(installPatch), "");
    fs::remove_all(community / L"orvantis-aircraft-tarsek-weapons");
    now += std::chrono::seconds(10);
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "updateAvailable") << "not during it";
    controller.reset();
    EXPECT_EQ(threadsEnded, 2) << "destruction waits for the worker";
    EXPECT_EQ(readTree(community), (FileTree{})) << "cancelled: nothing half installed";
}

TEST_F(ControllerTest, ThreadsThatCannotStartLeaveNothingRunning) {
    useCommunityFolder();
    failingThreadStart = 0;
    EXPECT_THROW(start(), std::system_error) << "the package catalog thread";
    failingThreadStart = 1;
    threadStarts = 0;
    start();
    const std::string expected =
        std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again)).what();
    EXPECT_EQ(send(installPatch), expected);
    EXPECT_FALSE(controller->isBusy());
    EXPECT_EQ(state()["operation"]["active"], false);
}

// A running application, seen by the running-state refresh at the first tick.
TEST_F(ControllerTest, ARunningApplicationIsClosedBeforeChanges) {
    const auto folder = folders.localAppDataFolder / L"Orvantis.CameraSystem";
    fs::create_directories(folder);
    fs::copy_file(testProgram(L"hub_test_child.exe"), folder / L"ORV-Camera.exe");
    writeReceipt(folder, componentById(buildCatalog(), "orv-camera"));
    ProcessHandle running = startProcess(folder / L"ORV-Camera.exe", L"sleep 60000", true);
    start();
    controller->tick();
    const json app = component("orv-camera");
    TerminateProcess(running.process.get(), 0);
    EXPECT_EQ(app["status"], "installed");
    EXPECT_EQ(app["running"], true);
    EXPECT_EQ(app["actions"]["install"]["reason"], "Close Camera System before updating it.");
    EXPECT_EQ(app["actions"]["uninstall"]["reason"], "Close Camera System before uninstalling it.");
    EXPECT_EQ(send({{"type", "launch"}, {"componentId", "orv-camera"}}),
              "Camera System cannot be started.");
    EXPECT_EQ(send({{"type", "stop"}, {"componentId", "orv-camera"}}), "");
    EXPECT_EQ(state()["notice"], "Stopping Camera System...");
}

} // namespace

} // namespace hub::test

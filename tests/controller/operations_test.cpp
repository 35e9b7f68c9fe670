#include "controller/controller_fixture.h"
#include "install/processes.h"
#include "install/receipt.h"
#include "support/test_support.h"

namespace hub::test {

namespace {

constexpr char patchPath[] = "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip";
const json installPatch = command("install", "componentId", "velmora-weapons-patch");

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

// The running-state refresh of the first tick finds the application running.
TEST_F(ControllerTest, ARunningApplicationIsClosedBeforeChanges) {
    const auto folder = folders.localAppDataFolder / L"Orvantis.CameraSystem";
    fs::create_directories(folder);
    fs::copy_file(testProgram(L"hub_test_child.exe"), folder / L"ORV-Camera.exe");
    writeReceipt(folder, componentById(buildCatalog(), "orv-camera"));
    const ProcessHandle running = startProcess(folder / L"ORV-Camera.exe", L"sleep 60000", true);
    start();
    controller->tick();
    const json app = component("orv-camera");
    TerminateProcess(running.process.get(), 0);
    EXPECT_EQ(app["status"], "installed");
    EXPECT_EQ(app["actions"]["install"]["reason"], "Close Camera System before updating it.");
    EXPECT_EQ(app["actions"]["uninstall"]["reason"], "Close Camera System before uninstalling it.");
    EXPECT_EQ(send(command("launch", "componentId", "orv-camera")),
              "Camera System cannot be started.");
    EXPECT_EQ(send(command("stop", "componentId", "orv-camera")), "");
    EXPECT_EQ(state()["notice"], "Stopping Camera System...");
}

} // namespace

} // namespace hub::test

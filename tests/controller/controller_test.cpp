// The application controller as the interface drives it, and one session of the whole hub
// through the headless host.
#include "app/app_folders.h"
#include "controller/application_controller.h"
#include "harness/headless_host/host_process.h"
#include "harness/https_test_server.h"
#include "install/processes.h"
#include "settings/settings.h"
#include "support/test_support.h"
#include "util/known_folder.h"
#include "util/paths.h"
#include "util/text.h"
#include "zip_writer.h"

#include <windows.h>

#include <shlobj.h>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <memory>
#include <random>

namespace hub::test {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

SimulatorInstallation installation(const std::string& id, fs::path folder, bool available) {
    const std::string family = id.substr(0, 8);
    return {id,      family, family == "msfs2024" ? "MSFS 2024" : "MSFS 2020",
            "Steam", folder, available};
}

json command(const char* type, const char* field = nullptr, json value = nullptr) {
    json message = {{"type", type}};
    if (field != nullptr) {
        message[field] = std::move(value);
    }
    return message;
}

json componentIn(const json& snapshot, std::string_view id) {
    const json& all = snapshot["components"];
    const auto found =
        std::ranges::find_if(all, [&](const json& each) { return each["id"] == id; });
    return found == all.end() ? json() : *found;
}

const char* const patchPath = "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip";
const json installPatch = command("install", "componentId", "velmora-weapons-patch");

// A controller on a temporary profile with the local HTTPS test server as the maker's hosts, a
// clock moved by hand, scripted discovery and folder dialog, shell opening recorded, and every
// thread it starts counted when it ends (failingThreadStart makes that start throw instead).
class ControllerTest : public testing::Test {
protected:
    void start(bool withPicker = true) {
        controller.reset();
        ControllerOptions options{
            .origins = {server.url(""), server.url("/docs")},
            .clock = [this] { return now; },
            .discover = [this] { return discovered; },
            .openWithShell = [this](auto target) { opened.emplace_back(target); },
            .startThread =
                [this](std::function<void()> body) {
                    if (threadStarts++ == failingThreadStart) {
                        throw std::system_error(busyError);
                    }
                    return std::thread([this, body = std::move(body)] {
                        body();
                        ++threadsEnded;
                        threadsEnded.notify_all();
                    });
                }};
        FolderPicker picker = [this](const std::wstring&, const fs::path&) { return pickerAnswer; };
        controller = std::make_unique<ApplicationController>(folders, withPicker ? picker : nullptr,
                                                             options);
    }
    void useCommunityFolder() {
        fs::create_directories(community);
        saveSettings(folders.settingsFile, {"custom", community});
    }
    json state() const { return json::parse(controller->snapshot()); }
    std::string send(const json& message) {
        controller->handleMessage(message.dump());
        return state()["error"];
    }
    json component(std::string_view id) const { return componentIn(state(), id); }
    // Waits until that many started threads have ended, then ticks.
    void tickAfterThreads(int count) {
        for (int seen = threadsEnded; seen < count; seen = threadsEnded) {
            threadsEnded.wait(seen);
        }
        controller->tick();
    }

    const std::error_code busyError =
        std::make_error_code(std::errc::resource_unavailable_try_again);
    TempFolder root;
    HttpsTestServer server;
    AppFolders folders = createAppFoldersUnder(root / L"local");
    fs::path community = root / L"Community";
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::vector<SimulatorInstallation> discovered;
    std::vector<std::wstring> opened;
    std::optional<fs::path> pickerAnswer;
    int threadStarts = 0;
    int failingThreadStart = -1;
    std::atomic<int> threadsEnded = 0;
    std::unique_ptr<ApplicationController> controller;
};

// Every field failure and refusal with nothing installed and nothing selected, then what
// succeeds: links of the catalog open, a portable hub has no uninstaller to start.
TEST_F(ControllerTest, CommandsFailWithTheirExactTexts) {
    start(false);
    const std::string noFolder = "Select your MSFS Community folder in Settings.";
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
        {command("refresh"), "This link is not part of the catalog."},
        {command("selectSimulator", "installationId", "a"), "Unknown simulator installation."},
        {command("selectSimulator", "installationId", "custom"),
         "Choose a custom Community folder first."},
        {command("chooseCommunityFolder"), "Folder selection is not available."},
        {installPatch, noFolder},
        {command("uninstall", "componentId", "velmora-weapons-patch"),
         "Weapons Patch is not installed."},
        {command("openFolder", "componentId", "orv-camera"), "Camera System is not installed."},
        {command("launch", "componentId", "orv-camera"), "Camera System cannot be started."},
        {command("stop", "componentId", "orv-camera"), "Camera System is not running."},
        {command("createShortcut", "componentId", "orv-camera"), "Camera System is not installed."},
        {command("uninstallApplication"), ""},
        {command("openLink", "url", server.url("/contact/")), ""},
        {command("openLink", "url", server.url("/privacy-policy/")), ""},
        {command("openLink", "url", server.url("/")), ""},
        {command("openLink", "url", server.url("/docs/velmora/vtl-ima#cam-system")), ""},
    };
    for (const auto& [message, error] : rows) {
        SCOPED_TRACE(message.dump());
        EXPECT_EQ(send(message), error);
    }
    EXPECT_EQ(opened.size(), 4u);
    EXPECT_EQ(component("velmora-weapons-patch")["actions"]["install"]["reason"], noFolder);
}

// The rules' answers for installed components, in the snapshot and from the commands: an
// application without a receipt has no version, a running one is closed before changes.
TEST_F(ControllerTest, AvailabilityFollowsStatus) {
    useCommunityFolder();
    makeTree(community, {{"orvantis-aircraft-velmora-weapons/manifest.json",
                          R"({"package_version": "1.0.0"})"},
                         {"orvantis-aircraft-tarsek-weapons/manifest.json", "{}"}});
    const auto cameraFolder = folders.localAppDataFolder / L"Orvantis.CameraSystem";
    fs::create_directories(cameraFolder);
    fs::copy_file(testProgram(L"hub_test_child.exe"), cameraFolder / L"ORV-Camera.exe");
    discovered = {installation("msfs2024-steam", community, true)};
    start();
    const json snapshot = state();
    EXPECT_EQ(componentIn(snapshot, "velmora-weapons-patch")["status"], "installed");
    EXPECT_EQ(componentIn(snapshot, "tarsek-weapons-patch")["status"], "updateAvailable");
    EXPECT_EQ(componentIn(snapshot, "quenby-weapons-patch")["actions"]["install"]["allowed"], true);
    EXPECT_EQ(componentIn(snapshot, "orv-camera")["status"], "updateAvailable");
    EXPECT_EQ(componentIn(snapshot, "orv-camera")["actions"], json::parse(R"({
        "install": {"allowed": true, "reason": ""}, "uninstall": {"allowed": true, "reason": ""},
        "launch": {"allowed": true, "reason": ""}, "stop": {"allowed": false, "reason": ""},
        "openFolder": {"allowed": true, "reason": ""},
        "createShortcut": {"allowed": true, "reason": ""}})"));
    EXPECT_EQ(send(command("openFolder", "componentId", "orv-camera")), "");
    EXPECT_EQ(opened.back(), cameraFolder.native());
    EXPECT_EQ(send(command("selectSimulator", "installationId", "msfs2024-steam")), "");
    const std::string elsewhere = "Not available for MSFS 2024.";
    EXPECT_EQ(component("quenby-weapons-patch")["compatible"], false);
    EXPECT_EQ(component("quenby-weapons-patch")["actions"]["install"]["reason"], elsewhere);
    EXPECT_EQ(send(command("install", "componentId", "quenby-weapons-patch")), elsewhere);

    const ProcessHandle running =
        startProcess(cameraFolder / L"ORV-Camera.exe", L"sleep 60000", true);
    fs::remove_all(community);
    now += std::chrono::seconds(3);
    controller->tick();
    const json app = component("orv-camera");
    TerminateProcess(running.process.get(), 0);
    EXPECT_EQ(state()["simulator"]["target"]["available"], false);
    EXPECT_EQ(component("velmora-weapons-patch")["status"], "notInstalled");
    EXPECT_EQ(send(installPatch), "The Community folder cannot be found. Check Settings.");
    EXPECT_EQ(app["actions"]["install"]["reason"], "Close Camera System before updating it.");
    EXPECT_EQ(app["actions"]["uninstall"]["reason"], "Close Camera System before uninstalling it.");
    EXPECT_EQ(send(command("install", "componentId", "orv-camera")),
              app["actions"]["install"]["reason"]);
    EXPECT_EQ(send(command("launch", "componentId", "orv-camera")),
              "Camera System cannot be started.");
    EXPECT_EQ(send(command("stop", "componentId", "orv-camera")), "");
    EXPECT_EQ(state()["notice"], "Stopping Camera System...");
}

// Each command with each hostile value in its fields, whole and damaged, and worse, while an
// install waiting for a tick holds the controller busy: nothing escapes, snapshots stay compact
// sorted JSON, text that is not JSON sets the error, and no other operation starts.
TEST_F(ControllerTest, HostileMessagesChangeNothingTheRulesRefuse) {
    useCommunityFolder();
    serveArchive(server, patchPath, communityPackageArchive("1.0.0"));
    start();
    ASSERT_EQ(send(installPatch), "");
    const json values = {
        nullptr,      7,        true, json::array(),          json::object(),
        "orv-camera", "custom", "",   "tarsek-weapons-patch", std::string(70, 'a')};
    std::mt19937 random(20261206);
    const auto sendText = [&](const std::string& text) {
        SCOPED_TRACE(text.substr(0, 200));
        controller->handleMessage(text);
        const std::string snapshot = controller->snapshot();
        ASSERT_EQ(snapshot, json::parse(snapshot).dump());
        EXPECT_TRUE(json::accept(text) || json::parse(snapshot)["error"] != "");
    };
    for (const char* type :
         {"install", "uninstall", "launch", "stop", "openFolder", "createShortcut", "openLink",
          "selectSimulator", "chooseCommunityFolder", "reload", "cancelOperation", "refresh",
          "dismissNotice", "dismissError", "uninstallApplication"}) {
        for (const json& value : values) {
            json message = command(type);
            for (const char* field : {"componentId", "url", "installationId"}) {
                message[field] = value;
            }
            const std::string text = message.dump();
            std::string replaced = text;
            replaced[random() % text.size()] = static_cast<char>(random() % 256);
            std::string inserted = text;
            inserted.insert(random() % text.size(), 1, static_cast<char>(0x80 + random() % 0x80));
            for (const std::string& sent :
                 {text, text.substr(0, random() % text.size()), replaced, inserted}) {
                sendText(sent);
            }
        }
    }
    sendText(std::string(100'000, '['));
    sendText("{\"type\":\"\xff\"}");
    EXPECT_NE(controller->snapshot().find("\xEF\xBF\xBD"), std::string::npos) << "replaced";
    sendText("{\"type\":\"" + std::string(5'000'000, 'x'));
    EXPECT_LT(state()["error"].get<std::string>().size(), 1100u) << "a huge echo is shortened";
    EXPECT_EQ(state()["operation"]["componentId"], "velmora-weapons-patch");
    EXPECT_EQ(threadStarts, 2) << "no other operation started";
}

// The stored choice when available, else the first available installation (the settings keep
// the choice); with nothing found, every field of the target is still there.
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

// A picked folder, or its Community subfolder, is stored; a cancel keeps the last one; a
// missing one is stored as unavailable; one inside the hub's or an application's folders is
// refused, and read as unavailable when stored.
TEST_F(ControllerTest, TheCustomFolderComesFromTheDialog) {
    makeTree(root.path(), {{"games/Community/", ""}, {"other/community/Community/", ""}});
    const std::string inside = "This folder belongs to Orvantis Hub or to an installed "
                               "application. Choose a Community folder outside it.";
    const fs::path missing = root / L"missing";
    const std::tuple<std::optional<fs::path>, std::string, fs::path, bool> rows[]{
        {root / L"games", "", root / L"games" / L"Community", true},
        {root / L"other" / L"community", "", root / L"other" / L"community", true},
        {std::nullopt, "", root / L"other" / L"community", true},
        {missing, "", missing, false},
        {folders.dataFolder / L"Downloads", inside, missing, false},
        {folders.localAppDataFolder / L"Orvantis.CameraSystem" / L"x", inside, missing, false}};
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

// The tick reports each outcome of the real engine and applies the package catalog once it has
// arrived; it clears a notice after 6 seconds and reads the installed state every 3 seconds but
// not during an operation; destruction cancels an operation and waits for it.
TEST_F(ControllerTest, TheTickReportsOperationsAndFollowsTheClock) {
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
    const std::tuple<std::optional<ScriptedAnswer>, const char*, std::string> outcomes[]{
        {std::nullopt, "notice", "Weapons Patch 1.1.0 installed."},
        {std::nullopt, "notice", "Weapons Patch 1.1.0 reinstalled."},
        {ScriptedAnswer{.status = 404}, "error",
         "Weapons Patch: The package server returned HTTP 404."},
        {ScriptedAnswer{.body = "x", .delayMs = 300}, "notice",
         "Weapons Patch: operation cancelled, nothing was changed."}};
    int threads = 1;
    for (const auto& [answer, key, report] : outcomes) {
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
        EXPECT_EQ(state()[key], report);
    }
    EXPECT_EQ(readTree(community / L"orvantis-aircraft-velmora-weapons").size(), 1u);
    EXPECT_EQ(send(command("uninstall", "componentId", "velmora-weapons-patch")), "");
    tickAfterThreads(++threads);
    EXPECT_EQ(state()["notice"], "Weapons Patch uninstalled.");

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
    server.answer(patchPath, {.body = "x", .delayMs = 200});
    EXPECT_EQ(send(installPatch), "");
    fs::remove_all(community / L"orvantis-aircraft-tarsek-weapons");
    now += std::chrono::seconds(10);
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "updateAvailable") << "not during it";
    controller.reset();
    EXPECT_EQ(threadsEnded, threads + 1) << "destruction waits for the worker";
    EXPECT_EQ(readTree(community), (FileTree{})) << "nothing left behind, nothing half installed";
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

// One session through the headless host: it finds the simulator from UserCfg.opt, applies the
// package catalog, and a later snapshot line shows each message's notice.
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
    // Reads snapshot lines until one passes (at most 240 lines, a minute of ticks).
    const auto waitFor = [&](const std::function<bool(const json&)>& test) {
        json snapshot = json::parse(host.readLine());
        for (int lines = 1; lines < 240 && !test(snapshot); ++lines) {
            snapshot = json::parse(host.readLine());
        }
        EXPECT_TRUE(test(snapshot)) << snapshot.dump();
    };
    waitFor([](const json& state) {
        return state["simulator"]["target"]["id"] == "msfs2024-steam" &&
               componentIn(state, "velmora-weapons-patch")["availableVersion"] == "1.2.0";
    });
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

#include "controller/application_controller.h"
#include "harness/headless_host/host_process.h"
#include "harness/https_test_server.h"
#include "harness/silent_listener.h"
#include "install/processes.h"
#include "settings/settings.h"
#include "support/test_support.h"
#include "util/paths.h"
#include "util/text.h"
#include "zip_writer.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <future>
#include <random>
#include <semaphore>

namespace hub::test {

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

SimulatorInstallation installation(const std::string& id, fs::path folder, bool available) {
    return {id, id.substr(0, 8), "MSFS " + id.substr(4, 4), "Steam", folder, available};
}

json command(const char* type, json value = nullptr, const char* field = "componentId") {
    return value.is_null() ? json{{"type", type}} : json{{"type", type}, {field, std::move(value)}};
}

json componentIn(const json& snapshot, std::string_view id) {
    const json& all = snapshot["components"];
    const auto found =
        std::ranges::find_if(all, [&](const json& each) { return each["id"] == id; });
    return found == all.end() ? json() : *found;
}

const char* const patchPath = "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip";
const json installPatch = command("install", "velmora-weapons-patch");

// A controller on a temporary profile against the local HTTPS server: a clock moved by hand,
// scripted discovery and dialog, shell opening recorded, threads counted (one may fail to start).
class ControllerTest : public testing::Test {
protected:
    void start() {
        controller.reset();
        ControllerOptions options{
            .origins = origins,
            .clock = [this] { return now; },
            .discover = [this] { return discovered; },
            .openWithShell = [this](auto target) { opened.emplace_back(target); },
            .startThread =
                [this](std::function<void()> body) {
                    if (threadStarts++ == failingThreadStart) {
                        throw std::system_error(EAGAIN, std::generic_category());
                    }
                    return std::thread([this, body = std::move(body)] {
                        body();
                        threadEnded.release();
                    });
                },
            .readInstalled =
                [this](const CatalogComponent& component, const fs::path& folder) {
                    if (blockReads) {
                        readsReleased.wait();
                    }
                    return readInstalledVersion(component, folder);
                }};
        controller = std::make_unique<ApplicationController>(folders, picker, options);
    }
    void useCommunityFolderWithThePatch() {
        makeTree(community, communityPackageArchive("1.0.0"));
        saveSettings(folders.settingsFile, {"custom", community});
    }
    json state() const { return json::parse(controller->snapshot()); }
    std::string send(const json& message) {
        controller->handleMessage(message.dump());
        return state()["error"];
    }
    json component(std::string_view id) const { return componentIn(state(), id); }

    TempFolder root;
    HttpsTestServer server;
    Origins origins{server.url(""), server.url("/docs")};
    AppFolders folders = createAppFoldersUnder(root / L"local");
    fs::path community = root / L"Community";
    std::chrono::steady_clock::time_point now{std::chrono::hours(1)};
    std::vector<SimulatorInstallation> discovered;
    std::vector<std::wstring> opened;
    std::optional<fs::path> pickerAnswer;
    FolderPicker picker = [this](auto&, auto&) { return pickerAnswer; };
    int threadStarts = 0;
    int failingThreadStart = -1;
    std::counting_semaphore<> threadEnded{0};
    std::atomic<bool> blockReads{false}; // as a Community folder on a share that does not answer
    std::promise<void> releaseReads;
    std::shared_future<void> readsReleased = releaseReads.get_future().share();
    std::unique_ptr<ApplicationController> controller;
};

// Every refusal with nothing installed or selected; catalog links open; a portable hub succeeds.
TEST_F(ControllerTest, CommandsFailWithTheirExactTexts) {
    picker = nullptr;
    start();
    const std::string noFolder = "Select your MSFS Community folder in Settings.";
    const std::pair<json, std::string> rows[]{
        {json::array({1}), "invalid interface command"},
        {{{"type", 1}}, "invalid interface command"},
        {command("Install"), "unknown command: Install"},
        {command("install"), "missing field: componentId"},
        {command("install", std::string(65, 'a')), "componentId is invalid"},
        {command("stop", "x"), "unknown component: x"},
        {command("openLink", "", "url"), "url is invalid"},
        {command("openLink", server.url("/contact/x"), "url"),
         "This link is not part of the catalog."},
        {command("refresh"), "This link is not part of the catalog."},
        {command("selectSimulator", "a", "installationId"), "Unknown simulator installation."},
        {command("selectSimulator", "custom", "installationId"),
         "Choose a custom Community folder first."},
        {command("chooseCommunityFolder"), "Folder selection is not available."},
        {installPatch, noFolder},
        {command("uninstall", "velmora-weapons-patch"), "Weapons Patch is not installed."},
        {command("openFolder", "orv-camera"), "Camera System is not installed."},
        {command("launch", "orv-camera"), "Camera System cannot be started."},
        {command("stop", "orv-camera"), "Camera System is not running."},
        {command("uninstallApplication"), ""},
        {command("openLink", server.url("/contact/"), "url"), ""},
        {command("openLink", server.url("/privacy-policy/"), "url"), ""},
        {command("openLink", server.url("/"), "url"), ""},
        {command("openLink", server.url("/docs/velmora/vtl-ima#cam-system"), "url"), ""},
    };
    for (const auto& [message, error] : rows) {
        SCOPED_TRACE(message.dump());
        EXPECT_EQ(send(message), error);
    }
    EXPECT_EQ(opened.size(), 4u);
    EXPECT_EQ(component("velmora-weapons-patch")["actions"]["install"]["reason"], noFolder);
}

// What installed, incompatible and running components allow, in the snapshot and as commands.
TEST_F(ControllerTest, AvailabilityFollowsStatus) {
    useCommunityFolderWithThePatch();
    const auto cameraFolder = folders.localAppDataFolder / L"Orvantis.CameraSystem";
    makeTree(cameraFolder, {{"ORV-Camera.exe", readFile(testProgram(L"hub_test_child.exe"))}});
    discovered = {installation("msfs2024-steam", community, true)};
    start();
    EXPECT_EQ(component("velmora-weapons-patch")["status"], "installed");
    EXPECT_EQ(component("quenby-weapons-patch")["actions"]["install"]["allowed"], true);
    EXPECT_EQ(component("orv-camera")["status"], "updateAvailable");
    EXPECT_EQ(component("orv-camera")["actions"], json::parse(R"({"install": {"allowed": true,
        "reason": ""}, "uninstall": {"allowed": true, "reason": ""}, "launch": {"allowed": true,
        "reason": ""}, "stop": {"allowed": false, "reason": ""}, "openFolder": {"allowed": true,
        "reason": ""}, "createShortcut": {"allowed": true, "reason": ""}})"));
    EXPECT_EQ(send(command("openFolder", "orv-camera")), "");
    EXPECT_EQ(opened.back(), cameraFolder.native());
    EXPECT_EQ(send(command("selectSimulator", "msfs2024-steam", "installationId")), "");
    const std::string elsewhere = "Not available for MSFS 2024.";
    EXPECT_EQ(component("quenby-weapons-patch")["compatible"], false);
    EXPECT_EQ(component("quenby-weapons-patch")["actions"]["install"]["reason"], elsewhere);
    EXPECT_EQ(send(command("install", "quenby-weapons-patch")), elsewhere);

    const auto camera = startProcess(cameraFolder / L"ORV-Camera.exe", L"sleep 60000", true);
    fs::remove_all(community);
    now += std::chrono::seconds(3);
    controller->tick();
    threadEnded.acquire(); // the package catalog
    threadEnded.acquire(); // the installed state, read on a thread of its own
    controller->tick();
    const json app = component("orv-camera");
    TerminateProcess(camera.process.get(), 0);
    EXPECT_EQ(state()["simulator"]["target"]["available"], false);
    EXPECT_EQ(component("velmora-weapons-patch")["status"], "notInstalled");
    EXPECT_EQ(send(installPatch), "The Community folder cannot be found. Check Settings.");
    EXPECT_EQ(app["actions"]["install"]["reason"], "Close Camera System before updating it.");
    EXPECT_EQ(app["actions"]["uninstall"]["reason"], "Close Camera System before uninstalling it.");
    EXPECT_EQ(send(command("install", "orv-camera")), app["actions"]["install"]["reason"]);
    EXPECT_EQ(send(command("launch", "orv-camera")), "Camera System cannot be started.");
    EXPECT_EQ(send(command("stop", "orv-camera")), "");
    EXPECT_EQ(state()["notice"], "Stopping Camera System...");
}

// A thread that cannot start fails the start or the command. Each command with hostile values,
// whole, cut short or with a byte replaced, and worse, while an install holds the controller busy:
// nothing escapes, snapshots stay compact sorted JSON, non-JSON sets the error, nothing starts.
TEST_F(ControllerTest, FailedThreadsAndHostileMessagesChangeNothingTheRulesRefuse) {
    useCommunityFolderWithThePatch();
    serveArchive(server, patchPath, communityPackageArchive("1.0.0"));
    failingThreadStart = 0;
    EXPECT_THROW(start(), std::system_error) << "the package catalog thread";
    failingThreadStart = 2;
    start();
    EXPECT_EQ(send(installPatch), std::system_error(EAGAIN, std::generic_category()).what());
    ASSERT_EQ(send(installPatch), "") << "idle after the failed start";
    std::mt19937 random(20261206);
    std::vector<std::string> texts{std::string(100'000, '[')};
    for (const char* type :
         {"install", "uninstall", "launch", "stop", "openFolder", "createShortcut", "openLink",
          "selectSimulator", "chooseCommunityFolder", "reload", "cancelOperation", "refresh",
          "dismissNotice", "dismissError", "uninstallApplication"}) {
        for (const json& value :
             {json(), json(7), json(true), json::array(), json::object(), json("orv-camera"),
              json("custom"), json(""), json("tarsek-weapons-patch"), json(std::string(70, 'a'))}) {
            json message = {{"type", type}, {"url", value}, {"installationId", value}};
            message["componentId"] = value;
            const std::string text = message.dump();
            texts.insert(texts.end(), {text, text.substr(0, random() % text.size()), text});
            texts.back()[random() % text.size()] = static_cast<char>(random());
        }
    }
    for (const std::string& text : texts) {
        SCOPED_TRACE(text.substr(0, 200));
        controller->handleMessage(text);
        const std::string snapshot = controller->snapshot();
        ASSERT_EQ(snapshot, json::parse(snapshot).dump());
        EXPECT_TRUE(json::accept(text) || json::parse(snapshot)["error"] != "");
    }
    controller->handleMessage("{\"type\":\"\xff\"}");
    EXPECT_NE(controller->snapshot().find("\xEF\xBF\xBD"), std::string::npos) << "replaced";
    controller->handleMessage("{\"type\":\"" + std::string(5'000'000, 'x'));
    EXPECT_LT(state()["error"].get<std::string>().size(), 1100u) << "a huge echo is shortened";
    EXPECT_EQ(state()["operation"]["componentId"], "velmora-weapons-patch");
    EXPECT_EQ(threadStarts, 4) << "no other operation started";
}

// The stored choice, else the first available one (settings kept), every field when none; a picked
// folder or its Community subfolder becomes custom unless inside the hub's or an app's folders.
TEST_F(ControllerTest, TheTargetFollowsSettingsDiscoveryAndTheDialog) {
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
    const auto target = [this] { return state()["simulator"]["target"]; };
    EXPECT_EQ(target(), json::parse(R"({"id": "", "family": "", "name": "", "edition": "",
        "communityFolder": "", "available": false})"));
    EXPECT_EQ(component("quenby-weapons-patch")["compatible"], true) << "nothing selected";

    makeTree(root.path(), {{"games/Community/", ""}, {"other/community/Community/", ""}});
    const std::string inside = "This folder belongs to Orvantis Hub or to an installed "
                               "application. Choose a Community folder outside it.";
    const fs::path missing = root / L"missing";
    makeTree(folders.dataFolder, {{"LongFolderName/", ""}});
    std::wstring shortForm(MAX_PATH, L'\0');
    shortForm.resize(GetShortPathNameW((folders.dataFolder / L"LongFolderName").c_str(),
                                       shortForm.data(), MAX_PATH));
    const std::tuple<std::optional<fs::path>, std::string, fs::path, bool> picks[]{
        {root / L"games", "", root / L"games" / L"Community", true},
        {root / L"other" / L"community", "", root / L"other" / L"community", true},
        {std::nullopt, "", root / L"other" / L"community", true},
        {missing, "", missing, false},
        {folders.dataFolder / L"Downloads", inside, missing, false},
        {L"\\\\?\\" + folders.dataFolder.native(), inside, missing, false},
        {shortForm, inside, missing, false},
        {folders.localAppDataFolder / L"Orvantis.CameraSystem" / L"x", inside, missing, false}};
    discovered = {store2024, steam2020};
    start();
    for (const auto& [picked, error, stored, available] : picks) {
        SCOPED_TRACE(picked.value_or(L"cancelled"));
        pickerAnswer = picked;
        EXPECT_EQ(send(command("chooseCommunityFolder")), error);
        EXPECT_EQ(loadSettings(folders.settingsFile).customCommunityFolder, stored);
        EXPECT_EQ(target()["communityFolder"], pathToUtf8(stored));
        EXPECT_EQ(state()["simulator"]["customCommunityAvailable"], available);
    }
    EXPECT_EQ(send(command("selectSimulator", "msfs2020-steam", "installationId")), "");
    discovered[1].available = true;
    EXPECT_EQ(send(command("reload")), "");
    EXPECT_EQ(target()["id"], "msfs2020-steam");
    EXPECT_EQ(send(command("selectSimulator", "custom", "installationId")), "");
    start();
    EXPECT_EQ(target()["id"], "custom") << "after a restart";
    saveSettings(folders.settingsFile, {"custom", folders.dataFolder});
    start();
    EXPECT_EQ(target()["available"], false) << "a stored folder inside";
}

// The tick reports each engine outcome with the version the operation installed, and applies the
// package catalog; a notice lasts 6 s; the installed state is reread every 3 s on a thread of its
// own, never during an operation; destruction cancels and waits.
TEST_F(ControllerTest, TheTickReportsOperationsAndFollowsTheClock) {
    useCommunityFolderWithThePatch();
    server.answer("/downloads/orv-hub/packages.json",
                  {.body = R"({"velmora-weapons-patch": "1.1.0"})"});
    serveArchive(server, patchPath, communityPackageArchive("1.0.0"));
    start();
    EXPECT_EQ(send(installPatch), ""); // 1.0.0 again: the package catalog arrives meanwhile
    threadEnded.acquire();
    threadEnded.acquire();
    controller->tick();
    EXPECT_EQ(state()["notice"], "Weapons Patch 1.0.0 reinstalled.");
    serveArchive(server, patchPath, communityPackageArchive("1.1.0"));
    EXPECT_EQ(send(command("reload")), "");
    EXPECT_EQ(send(installPatch), "");
    EXPECT_EQ(state()["operation"], json::parse(R"({"active": true, "componentId":
        "velmora-weapons-patch", "action": "update", "progress": -1, "message": "Starting",
        "cancellable": true, "bytesDone": 0, "bytesTotal": -1, "bytesPerSecond": 0,
        "secondsLeft": -1})"));
    EXPECT_EQ(send(command("reload")), "Wait for the current operation to finish.");
    EXPECT_EQ(component("velmora-weapons-patch")["actions"]["install"]["reason"],
              "Another operation is in progress.");
    const std::tuple<json, std::optional<ScriptedAnswer>, const char*, std::string> outcomes[]{
        {json::array(), std::nullopt, "notice", "Weapons Patch updated to 1.1.0."},
        {json::array({installPatch}), std::nullopt, "notice", "Weapons Patch 1.1.0 reinstalled."},
        {json::array({installPatch}), ScriptedAnswer{.status = 404}, "error",
         "Weapons Patch: The package server returned HTTP 404."},
        {json::array({installPatch, command("cancelOperation")}),
         ScriptedAnswer{.body = "x", .delayMs = 300}, "notice",
         "Weapons Patch: operation cancelled, nothing was changed."},
        {json::array({command("uninstall", "velmora-weapons-patch")}), std::nullopt, "notice",
         "Weapons Patch uninstalled."}};
    for (const auto& [messages, answer, key, report] : outcomes) {
        SCOPED_TRACE(report);
        if (answer) {
            server.answer(patchPath, *answer);
        }
        for (const json& message : messages) {
            EXPECT_EQ(send(message), "");
        }
        EXPECT_EQ(state()["notice"], "") << "starting clears the notice";
        threadEnded.acquire();
        controller->tick();
        EXPECT_EQ(state()[key], report);
    }
    makeTree(community, {{"orvantis-aircraft-tarsek-weapons/manifest.json", "{}"}});
    blockReads = true;
    const int started = threadStarts;
    for (const char* notice : {"Weapons Patch uninstalled.", ""}) {
        now += std::chrono::seconds(3);
        controller->tick(); // returns while the read hangs
        EXPECT_EQ(component("tarsek-weapons-patch")["status"], "notInstalled") << "kept meanwhile";
        EXPECT_EQ(state()["notice"], notice);
    }
    EXPECT_EQ(threadStarts, started + 1) << "one read at a time";
    releaseReads.set_value();
    threadEnded.acquire();
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "updateAvailable");
    const test::ScopedVariable paused(L"HUB_TAR_STANDIN_PAUSE", L"1"); // busy until cancelled
    EXPECT_EQ(send(installPatch), "");
    fs::remove_all(community / L"orvantis-aircraft-tarsek-weapons");
    now += std::chrono::seconds(10);
    controller->tick();
    EXPECT_EQ(component("tarsek-weapons-patch")["status"], "updateAvailable") << "not during it";
    controller.reset();
    EXPECT_TRUE(threadEnded.try_acquire()) << "destruction waits for the worker";
    EXPECT_EQ(readTree(community), (FileTree{})) << "nothing left behind, nothing half installed";
}

// An idle hub ends at once, also while its package catalog request waits for a server that does
// not answer.
TEST_F(ControllerTest, ShutdownAbortsTheCatalogRequest) {
    if (runningUnderWine()) {
        GTEST_SKIP() << "Wine's WinHTTP ends a pending call on a closed request only at its "
                        "time-out";
    }
    const SilentListener silent;
    origins.web = "https://localhost:" + std::to_string(silent.port());
    start();
    for (int waited = 0; !silent.connectionAttempted() && waited < 500; ++waited) {
        Sleep(10); // the listener offers nothing to wait on
    }
    EXPECT_TRUE(controller->shutdown(std::chrono::seconds(1)));
}

// The host finds the simulator from UserCfg.opt, installs and starts an app, shows each notice.
TEST_F(ControllerTest, TheHeadlessHostDrivesTheWholeHub) {
    HUB_REQUIRE_TEST_PREFIX();
    const fs::path roaming = root / L"roaming";
    makeTree(roaming, {{"Microsoft Flight Simulator 2024/UserCfg.opt",
                        "InstalledPackagesPath \"" + pathToUtf8(root / L"packages") + "\"\n"}});
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
    waitFor(
        [](const json& state) { return state["simulator"]["target"]["id"] == "msfs2024-steam"; });
    for (const auto& [type, notice] : {std::pair{"install", "Camera System 0.11.0 installed."},
                                       std::pair{"launch", "Camera System started."}}) {
        host.send(command(type, "orv-camera").dump());
        waitFor([&](const json& state) {
            return state["notice"] == notice &&
                   componentIn(state, "orv-camera")["running"] == false;
        });
    }
    EXPECT_EQ(host.close(), 0u);
}

} // namespace

} // namespace hub::test

#pragma once

#include "app/app_folders.h"
#include "controller/application_controller.h"
#include "harness/https_test_server.h"
#include "settings/settings.h"
#include "support/test_files.h"
#include "zip_writer.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <memory>
#include <mutex>

namespace hub::test {

using nlohmann::json;
namespace fs = std::filesystem;

inline SimulatorInstallation installation(const std::string& id, fs::path folder, bool available) {
    const std::string family = id.substr(0, 8);
    return {id,      family, family == "msfs2024" ? "MSFS 2024" : "MSFS 2020",
            "Steam", folder, available};
}

inline json command(const char* type, const char* field = nullptr, json value = nullptr) {
    json message = {{"type", type}};
    if (field != nullptr) {
        message[field] = std::move(value);
    }
    return message;
}

inline json componentIn(const json& snapshot, std::string_view id) {
    for (const json& component : snapshot["components"]) {
        if (component["id"] == id) {
            return component;
        }
    }
    return nullptr;
}

inline const char* const patchPath =
    "/wp-content/uploads/package/orvantis-velmora-weapons-patch.zip";
inline const json installPatch = command("install", "componentId", "velmora-weapons-patch");

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
                        const std::lock_guard lock(mutex);
                        ++threadsEnded;
                        ended.notify_all();
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
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return threadsEnded >= count; });
        lock.unlock();
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
    std::mutex mutex;
    std::condition_variable ended;
    int threadsEnded = 0;
    std::unique_ptr<ApplicationController> controller;
};

} // namespace hub::test

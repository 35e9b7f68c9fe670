#pragma once

#include "app/app_folders.h"
#include "controller/application_controller.h"
#include "settings/settings.h"
#include "support/https_test_server.h"
#include "support/test_files.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

namespace hub::test {

using nlohmann::json;
namespace fs = std::filesystem;

inline SimulatorInstallation installation(std::string id, fs::path community, bool available) {
    const bool is2024 = id.starts_with("msfs2024");
    return {.id = id,
            .family = is2024 ? "msfs2024" : "msfs2020",
            .label = is2024 ? "MSFS 2024" : "MSFS 2020",
            .edition = id.ends_with("steam") ? "Steam" : "Microsoft Store",
            .communityFolder = std::move(community),
            .available = available};
}

// A controller on a temporary profile, with the local HTTPS test server as the maker's hosts,
// a clock moved by hand, scripted simulator discovery and folder dialog, shell opening recorded,
// and every thread it starts counted when it ends.
class ControllerTest : public testing::Test {
protected:
    void start(bool withPicker = true) {
        controller.reset();
        ControllerOptions options;
        options.origins = {.web = server.url(""), .documentation = server.url("/docs")};
        options.clock = [this] { return now; };
        options.discover = [this] { return discovered; };
        options.openWithShell = [this](std::wstring_view target) { opened.emplace_back(target); };
        options.startThread = [this](std::function<void()> body) {
            if (threadStarts++ == failingThreadStart) {
                throw std::system_error(
                    std::make_error_code(std::errc::resource_unavailable_try_again));
            }
            return std::thread([this, body = std::move(body)] {
                body();
                const std::lock_guard lock(mutex);
                ++threadsEnded;
                ended.notify_all();
            });
        };
        FolderPicker picker;
        if (withPicker) {
            picker = [this](const std::wstring&, const fs::path&) { return pickerAnswer; };
        }
        controller = std::make_unique<ApplicationController>(folders, picker, options);
    }
    void useCommunityFolder() {
        fs::create_directories(community);
        saveSettings(folders.settingsFile,
                     {.simulator = "custom", .customCommunityFolder = community});
    }
    json state() const { return json::parse(controller->snapshot()); }
    std::string send(const json& message) {
        controller->handleMessage(message.dump());
        return state()["error"];
    }
    static json componentIn(const json& snapshot, std::string_view id) {
        for (const json& component : snapshot["components"]) {
            if (component["id"] == id) {
                return component;
            }
        }
        return nullptr;
    }
    json component(std::string_view id) const { return componentIn(state(), id); }
    // Waits until that many started threads have ended, then ticks.
    void tickAfterThreads(int count) {
        std::unique_lock lock(mutex);
        ended.wait(lock, [&] { return threadsEnded >= count; });
        lock.unlock();
        controller->tick();
    }

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

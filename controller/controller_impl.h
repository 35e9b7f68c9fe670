#pragma once

#include "app/app_folders.h"
#include "catalog/catalog.h"
#include "catalog/remote_catalog.h"
#include "controller/application_controller.h"
#include "controller/controller_options.h"
#include "controller/folder_picker.h"
#include "install/component_operation.h"
#include "settings/activity_log.h"
#include "settings/settings.h"
#include "simulators/simulator_installations.h"
#include "update/updater.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace hub {

// The hub's own version, logged at start and shown by the interface.
inline constexpr char hubVersion[] = "1.0.1";

// The operation the interface shows; idle values when nothing runs.
struct OperationStatus {
    bool active = false;
    std::string componentId;
    std::string action;    // "install", "update", "reinstall" or "uninstall"
    double progress = 0.0; // -1.0 while indeterminate
    std::string message;
    TransferFigures transfer; // during a download; the idle figures otherwise
};

// An installed component whose version is older than the catalog's, or unknown: its install
// is an update.
bool isOlderThanCatalog(const CatalogComponent& component, const InstalledState& state);

// Whether an action may start now; the reason is the message a refused command fails with, and
// empty when the action does not apply to the component at all.
struct ActionAvailability {
    bool allowed = false;
    std::string reason;
};

// The controller's whole state. Fields marked "UI" belong to the user-interface thread; the
// worker and the package-catalog thread only reach the fields under their two mutexes, which
// are never held together nor across a file operation, a fetch or a join.
struct ApplicationController::Impl {
    using TimePoint = std::chrono::steady_clock::time_point;

    Impl(AppFolders appFolders, FolderPicker picker, ControllerOptions controllerOptions);
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Core and operations (application_controller.cpp).
    [[nodiscard]] bool isBusy() const;
    void requireIdle() const; // fails with "Wait for the current operation to finish." when busy
    void setNotice(std::string text);
    void startOperation(OperationKind kind, const CatalogComponent& component,
                        const std::string& action, const std::filesystem::path& folder);
    void runWorker(const OperationRequest& request) noexcept;
    void refreshPackageCatalog() noexcept;
    void tick();
    void applyPackageCatalog();
    void handleFinishedOperation();

    // Availability rules and actions (component_actions.cpp).
    [[nodiscard]] const InstalledState& stateOf(const CatalogComponent& component) const;
    [[nodiscard]] bool isRunning(const CatalogComponent& component) const;
    [[nodiscard]] ActionAvailability installRule(const CatalogComponent& component) const;
    [[nodiscard]] ActionAvailability uninstallRule(const CatalogComponent& component) const;
    [[nodiscard]] ActionAvailability launchRule(const CatalogComponent& component) const;
    [[nodiscard]] ActionAvailability stopRule(const CatalogComponent& component) const;
    [[nodiscard]] ActionAvailability shortcutRule(const CatalogComponent& component) const;
    void install(const CatalogComponent& component);
    void uninstall(const CatalogComponent& component);
    void launch(const CatalogComponent& component);
    void stop(const CatalogComponent& component);
    void createShortcut(const CatalogComponent& component);
    void openFolder(const CatalogComponent& component);
    void openLink(const std::string& url);

    // Refreshes (component_refresh.cpp).
    [[nodiscard]] bool isUsableCommunityFolder(const std::filesystem::path& folder) const;
    [[nodiscard]] bool isInsideOwnedFolder(const std::filesystem::path& folder) const;
    // The selected Community folder when it is available, else empty.
    [[nodiscard]] std::filesystem::path communityFolderInUse() const;
    void refreshInstalledState();
    void refreshRunningState();
    void recover();

    // Simulator selection (simulator_selection.cpp).
    void selectFromSettings(); // discovers, selects, then recovers and refreshes the new target
    void selectSimulator(const std::string& installationId);
    void chooseCommunityFolder();
    void reload();

    // Interface messages and the snapshot (interface_commands.cpp, state_snapshot.cpp).
    void handleMessage(std::string_view text) noexcept;
    void dispatch(const std::string& type, const nlohmann::json& message);
    [[nodiscard]] std::string snapshot() const;
    [[nodiscard]] nlohmann::json componentView(const CatalogComponent& component) const;

    const AppFolders folders;
    const FolderPicker folderPicker;
    const ControllerOptions options;
    ActivityLog log;
    Settings settings;                                // UI
    Updater updater;                                  // its own lock
    Catalog catalog;                                  // UI
    std::vector<SimulatorInstallation> installations; // UI
    SimulatorInstallation selectedInstallation;       // UI
    bool customCommunityAvailable = false;            // UI, from the installed-state refresh
    std::unordered_map<std::string, InstalledState> installedStates; // UI
    std::unordered_set<std::string> runningApplications;             // UI
    bool simulatorRunning = false;                                   // UI

    mutable std::mutex stateMutex;
    OperationStatus operation;       // stateMutex
    bool operationFinished = false;  // stateMutex
    bool operationCancelled = false; // stateMutex
    std::string operationError;      // stateMutex
    std::atomic<bool> cancelRequested{false};
    std::thread worker; // UI

    std::mutex packageCatalogMutex;
    RemoteVersions packageCatalogResult; // packageCatalogMutex
    bool packageCatalogReady = false;    // packageCatalogMutex
    std::thread catalogThread;           // UI

    std::string notice;             // UI
    TimePoint noticeExpiry{};       // UI
    std::string error;              // UI
    TimePoint nextRunningCheck{};   // UI
    TimePoint nextInstalledCheck{}; // UI
};

} // namespace hub

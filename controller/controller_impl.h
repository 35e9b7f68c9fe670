#pragma once

#include "catalog/catalog.h"
#include "catalog/remote_catalog.h"
#include "controller/application_controller.h"
#include "controller/controller_options.h"
#include "controller/folder_picker.h"
#include "install/component_operation.h"
#include "settings/activity_log.h"
#include "settings/app_folders.h"
#include "settings/settings.h"
#include "simulators/simulator_installations.h"
#include "update/updater.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <chrono>
#include <future>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace hub {

// The hub's own version, logged at start and shown by the interface.
inline constexpr char hubVersion[] = "1.0.1";

// How often the tick reads the installed state again.
inline constexpr auto installedCheckInterval = std::chrono::seconds(3);

// The operation the interface shows; idle values when nothing runs.
struct OperationStatus {
    bool active = false;
    std::string componentId;
    std::string action;    // "install", "update", "reinstall" or "uninstall"
    double progress = 0.0; // -1.0 while indeterminate
    std::string message;
    std::string version;      // the version the request installs, whatever the catalog says since
    bool cancellable = false; // an install until its activation begins
    TransferFigures transfer; // during a download; the idle figures otherwise
};

// What the installed-state refresh reads from disk: whether the selected and the custom
// Community folders can be used, and each component's installed state.
struct InstalledView {
    bool targetAvailable = false;
    bool customAvailable = false;
    std::unordered_map<std::string, InstalledState> states;
};

// Everything that refresh needs, copied, so that it may read on a thread of its own.
struct InstalledViewSource {
    std::filesystem::path targetFolder;
    std::filesystem::path customFolder;
    std::filesystem::path applicationsFolder;
    std::vector<std::filesystem::path> ownedFolders;
    std::vector<CatalogComponent> components;
    ControllerOptions::InstalledReader read;
};

InstalledView readInstalledView(const InstalledViewSource& source);

// An installed component whose version is older than the catalog's, or unknown: its install
// is an update.
bool isOlderThanCatalog(const CatalogComponent& component, const InstalledState& state);

// Whether an action may start now; the reason is the message a refused command fails with, and
// empty when the action does not apply to the component at all.
struct ActionAvailability {
    bool allowed = false;
    std::string reason;
};

// The controller's whole state. Fields marked "UI" belong to the user-interface thread (and,
// once shutdown has begun, the thread threads are joined on); the worker, the package-catalog
// thread and the background installed-state read only reach the fields under their mutexes,
// which are never held together nor across a file operation, a fetch or a join.
struct ApplicationController::Impl {
    using TimePoint = std::chrono::steady_clock::time_point;

    Impl(AppFolders appFolders, FolderPicker picker, ControllerOptions controllerOptions);
    ~Impl(); // shuts down without a limit
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Shutdown (application_controller.cpp): stopWork never blocks; joinThreads waits for every
    // thread the controller started.
    void stopWork() noexcept;
    void joinThreads();
    [[nodiscard]] bool shutdown(std::chrono::milliseconds limit);

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
    [[nodiscard]] const InstalledState& installedStateOf(const CatalogComponent& component) const;
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
    [[nodiscard]] std::vector<std::filesystem::path> hubOwnedFolders() const;
    // The selected Community folder when it is available, else empty.
    [[nodiscard]] std::filesystem::path communityFolderInUse() const;
    [[nodiscard]] InstalledViewSource installedViewSource() const;
    void applyInstalledView(InstalledView view);
    void refreshInstalledState(); // reads on this thread and drops a background read in flight
    void startBackgroundRefresh();
    void applyBackgroundRefresh();
    void refreshRunningState();
    void recoverInterruptedWork(); // on every component's location in the selected target

    // Simulator selection (simulator_selection.cpp).
    void selectFromSettings(); // discovers, selects, recovers and refreshes the new target
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
    std::atomic<bool> closing{false};    // aborts the package-catalog request
    std::thread catalogThread;           // UI

    std::mutex refreshMutex;
    std::optional<InstalledView> refreshResult; // refreshMutex
    bool refreshFinished = false;               // refreshMutex
    std::uint64_t installedGeneration = 0;      // UI, counts the reads on this thread
    std::uint64_t refreshGeneration = 0;        // UI, the count when the background read began
    std::thread refreshThread;                  // UI

    std::thread joiner; // UI, joins every other thread once shutdown has begun
    std::promise<void> threadsJoined;
    std::shared_future<void> allJoined = threadsJoined.get_future().share();

    std::string notice;             // UI
    TimePoint noticeExpiry{};       // UI
    std::string error;              // UI
    TimePoint nextRunningCheck{};   // UI
    TimePoint nextInstalledCheck{}; // UI
};

} // namespace hub

#include "controller/application_controller.h"

#include "controller/controller_impl.h"
#include "install/operation_cancelled.h"
#include "install/processes.h"
#include "install/staged_activation.h"

#include <utility>

namespace hub {

namespace {

constexpr auto noticeLifetime = std::chrono::seconds(6);
constexpr auto runningCheckInterval = std::chrono::seconds(1);

std::string successNotice(const std::string& action, const std::string& name,
                          const std::string& version) {
    if (action == "uninstall") {
        return name + " uninstalled.";
    }
    if (action == "update") {
        return name + " updated to " + version + ".";
    }
    if (action == "reinstall") {
        return name + " " + version + " reinstalled.";
    }
    return name + " " + version + " installed.";
}

} // namespace

std::chrono::steady_clock::time_point ControllerOptions::defaultClock() {
    return std::chrono::steady_clock::now();
}

std::vector<SimulatorInstallation> ControllerOptions::defaultDiscovery() {
    return discoverInstallations();
}

void ControllerOptions::defaultShellOpen(std::wstring_view target) {
    hub::openWithShell(target);
}

std::thread ControllerOptions::defaultThreadStart(std::function<void()> body) {
    return std::thread(std::move(body));
}

ApplicationController::Impl::Impl(AppFolders appFolders, FolderPicker picker,
                                  ControllerOptions controllerOptions)
    : folders(std::move(appFolders)), folderPicker(std::move(picker)),
      options(std::move(controllerOptions)), log(folders.logFile),
      settings(loadSettings(folders.settingsFile)), updater(updateFeedUrl(options.origins)),
      catalog(buildCatalog(options.origins)) {
    log.write(std::string{"Orvantis Hub "} + hubVersion + " started");
    selectFromSettings();
    // Started last: a thread that exists when a later step throws would end the process.
    catalogThread = options.startThread([this] { refreshPackageCatalog(); });
}

ApplicationController::Impl::~Impl() {
    if (joiner.joinable()) {
        joiner.join(); // a shutdown that ran out of time is still joining
    } else {
        stopWork();
        joinThreads();
    }
}

void ApplicationController::Impl::stopWork() noexcept {
    cancelRequested.exchange(true);
    closing.exchange(true);
    // Handed over before any wait: a process that is ended at the shutdown's limit keeps it.
    updater.applyUpdateOnExit();
}

void ApplicationController::Impl::joinThreads() {
    for (std::thread* thread : {&worker, &catalogThread, &refreshThread}) {
        if (thread->joinable()) {
            thread->join();
        }
    }
    updater.waitUntilIdle();
}

bool ApplicationController::Impl::shutdown(std::chrono::milliseconds limit) {
    stopWork();
    if (!joiner.joinable()) {
        joiner = std::thread([this] {
            joinThreads();
            threadsJoined.set_value();
        });
    }
    return allJoined.wait_for(limit) == std::future_status::ready;
}

bool ApplicationController::Impl::isBusy() const {
    const std::lock_guard lock(stateMutex);
    return operation.active;
}

void ApplicationController::Impl::requireIdle() const {
    if (isBusy()) {
        throw std::runtime_error("Wait for the current operation to finish.");
    }
}

void ApplicationController::Impl::setNotice(std::string text) {
    notice = std::move(text);
    noticeExpiry = options.clock() + noticeLifetime;
}

void ApplicationController::Impl::startOperation(OperationKind kind,
                                                 const CatalogComponent& component,
                                                 const std::string& action,
                                                 const std::filesystem::path& folder) {
    if (worker.joinable()) {
        worker.join();
    }
    OperationRequest request{.kind = kind,
                             .component = component,
                             .folder = folder,
                             .downloadRoot = folders.dataFolder / L"Downloads"};
    {
        const std::lock_guard lock(stateMutex);
        operation = OperationStatus{.active = true,
                                    .componentId = component.id,
                                    .action = action,
                                    .progress = -1.0,
                                    .message = "Starting",
                                    .version = component.version,
                                    .cancellable = kind == OperationKind::Install,
                                    .transfer = {}};
        operationFinished = false;
        operationCancelled = false;
        operationError.clear();
    }
    ++installedGeneration; // a background read that began before the operation is out of date
    cancelRequested.exchange(false);
    notice.clear();
    try {
        worker = options.startThread([this, request = std::move(request)] { runWorker(request); });
    } catch (const std::exception&) {
        // Without a worker nothing would ever finish the operation: back to idle.
        const std::lock_guard lock(stateMutex);
        operation = OperationStatus{};
        throw;
    }
}

void ApplicationController::Impl::runWorker(const OperationRequest& request) noexcept {
    const ProgressCallback progress = [this](double fraction, const std::string& message) {
        const std::lock_guard lock(stateMutex);
        operation.progress = fraction;
        operation.message = message;
        operation.cancellable = operation.cancellable && message != activatingMessage;
    };
    const TransferCallback transfer = [this](const TransferFigures& figures) {
        const std::lock_guard lock(stateMutex);
        operation.transfer = figures;
    };
    bool cancelled = false;
    std::string failure;
    try {
        runOperation(request, progress, cancelRequested, log, transfer);
    } catch (const OperationCancelled&) {
        cancelled = true;
    } catch (const std::exception& engineError) {
        failure = *engineError.what() == '\0' ? "The operation failed." : engineError.what();
    } catch (...) {
        // Anything else the engine lets through is a failure too, not the end of the process.
        failure = "The operation failed.";
    }
    const std::lock_guard lock(stateMutex);
    operationError = std::move(failure);
    operationCancelled = cancelled;
    operationFinished = true;
}

void ApplicationController::Impl::refreshPackageCatalog() noexcept {
    RemoteVersions versions;
    try {
        versions = refreshRemoteVersions(packageCatalogUrl(options.origins), log, &closing);
    } catch (const std::exception&) {
        // Only running out of memory gets here; the built-in versions stay.
    }
    const std::lock_guard lock(packageCatalogMutex);
    packageCatalogResult = std::move(versions);
    packageCatalogReady = true;
}

void ApplicationController::Impl::tick() {
    applyPackageCatalog();
    handleFinishedOperation();
    applyBackgroundRefresh();
    const TimePoint now = options.clock();
    if (now >= nextRunningCheck) {
        refreshRunningState();
        nextRunningCheck = now + runningCheckInterval;
    }
    // Read on a thread of its own: a Community folder on a share that does not answer must not
    // hold the window for the network's time-out at every check.
    if (now >= nextInstalledCheck && !isBusy() && !refreshThread.joinable()) {
        startBackgroundRefresh();
        nextInstalledCheck = now + installedCheckInterval;
    }
    if (!notice.empty() && now >= noticeExpiry) {
        notice.clear();
    }
}

void ApplicationController::Impl::applyPackageCatalog() {
    RemoteVersions versions;
    {
        const std::lock_guard lock(packageCatalogMutex);
        if (!packageCatalogReady) {
            return;
        }
        versions = std::move(packageCatalogResult);
        packageCatalogReady = false;
    }
    if (catalogThread.joinable()) {
        catalogThread.join();
    }
    applyRemoteVersions(catalog, versions, log);
}

void ApplicationController::Impl::handleFinishedOperation() {
    OperationStatus finished;
    std::string failure;
    bool cancelled = false;
    {
        const std::lock_guard lock(stateMutex);
        if (!operationFinished) {
            return;
        }
        operationFinished = false;
        finished = std::exchange(operation, OperationStatus{});
        failure = std::move(operationError);
        operationError.clear();
        cancelled = operationCancelled;
    }
    if (worker.joinable()) {
        worker.join();
    }
    const CatalogComponent* component = findComponent(catalog, finished.componentId);
    const std::string& name = component != nullptr ? component->name : finished.componentId;
    if (cancelled) {
        setNotice(name + ": operation cancelled, nothing was changed.");
    } else if (!failure.empty()) {
        error = name + ": " + failure;
    } else {
        setNotice(successNotice(finished.action, name, finished.version));
    }
    refreshInstalledState();
    refreshRunningState();
}

ApplicationController::ApplicationController(AppFolders folders, FolderPicker folderPicker)
    : ApplicationController(std::move(folders), std::move(folderPicker), ControllerOptions{}) {}

ApplicationController::ApplicationController(AppFolders folders, FolderPicker folderPicker,
                                             ControllerOptions options)
    : impl(std::make_unique<Impl>(std::move(folders), std::move(folderPicker),
                                  std::move(options))) {}

ApplicationController::~ApplicationController() = default;

void ApplicationController::handleMessage(std::string_view message) {
    impl->handleMessage(message);
}

std::string ApplicationController::snapshot() const {
    return impl->snapshot();
}

void ApplicationController::tick() {
    impl->tick();
}

bool ApplicationController::isBusy() const {
    return impl->isBusy();
}

bool ApplicationController::shutdown(std::chrono::milliseconds limit) {
    return impl->shutdown(limit);
}

} // namespace hub

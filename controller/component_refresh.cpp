#include "controller/controller_impl.h"
#include "controller/simulator_selection.h"
#include "install/processes.h"
#include "install/staged_activation.h"
#include "simulators/process_list.h"
#include "util/paths.h"

namespace hub {

InstalledView readInstalledView(const InstalledViewSource& source) {
    InstalledView view{
        .targetAvailable = isUsableCommunityFolder(source.targetFolder, source.ownedFolders),
        .customAvailable = isUsableCommunityFolder(source.customFolder, source.ownedFolders),
        .states = {}};
    const std::filesystem::path communityFolder =
        view.targetAvailable ? source.targetFolder : std::filesystem::path{};
    for (const CatalogComponent& component : source.components) {
        const auto location =
            installedLocation(component, communityFolder, source.applicationsFolder);
        view.states[component.id] =
            location.empty() ? InstalledState{} : source.read(component, location);
    }
    return view;
}

std::vector<std::filesystem::path> ApplicationController::Impl::hubOwnedFolders() const {
    return ownedFolders(folders, catalog.components);
}

std::filesystem::path ApplicationController::Impl::communityFolderInUse() const {
    return selectedInstallation.available ? selectedInstallation.communityFolder
                                          : std::filesystem::path{};
}

InstalledViewSource ApplicationController::Impl::installedViewSource() const {
    return {.targetFolder = selectedInstallation.communityFolder,
            .customFolder = settings.customCommunityFolder,
            .applicationsFolder = folders.localAppDataFolder,
            .ownedFolders = hubOwnedFolders(),
            .components = catalog.components,
            .read = options.readInstalled};
}

void ApplicationController::Impl::applyInstalledView(InstalledView view) {
    selectedInstallation.available = view.targetAvailable;
    customCommunityAvailable = view.customAvailable;
    installedStates = std::move(view.states);
}

void ApplicationController::Impl::refreshInstalledState() {
    applyInstalledView(readInstalledView(installedViewSource()));
    ++installedGeneration; // a background read that began before this one is out of date
    nextInstalledCheck = options.clock() + installedCheckInterval;
}

void ApplicationController::Impl::startBackgroundRefresh() {
    refreshGeneration = installedGeneration;
    try {
        refreshThread = options.startThread([this, source = installedViewSource()] {
            std::optional<InstalledView> view;
            try {
                view = readInstalledView(source);
            } catch (const std::exception&) {
                // Only memory running out gets here: this read is lost, the next one follows.
            }
            const std::lock_guard lock(refreshMutex);
            refreshResult = std::move(view);
            refreshFinished = true;
        });
    } catch (const std::exception&) {
        // No thread now: the next check tries again, and the snapshot keeps its last values.
    }
}

void ApplicationController::Impl::applyBackgroundRefresh() {
    std::optional<InstalledView> view;
    {
        const std::lock_guard lock(refreshMutex);
        if (!std::exchange(refreshFinished, false)) {
            return;
        }
        view = std::exchange(refreshResult, std::nullopt);
    }
    refreshThread.join();
    if (view && refreshGeneration == installedGeneration) {
        applyInstalledView(std::move(*view));
    }
}

void ApplicationController::Impl::refreshRunningState() {
    const std::vector<ProcessEntry> processes = listProcesses();
    const std::string& family = selectedInstallation.family;
    if (family == "msfs2024" || family == "msfs2020") {
        simulatorRunning = isProcessNamed(processes, simulatorExecutable(family));
    } else {
        simulatorRunning = isProcessNamed(processes, simulatorExecutable("msfs2024")) ||
                           isProcessNamed(processes, simulatorExecutable("msfs2020"));
    }
    runningApplications.clear();
    for (const CatalogComponent& component : catalog.components) {
        const InstalledState& state = installedStateOf(component);
        if (component.application && state.installed &&
            isProcessRunningAt(processes, state.location / component.application->executable)) {
            runningApplications.insert(component.id);
        }
    }
}

void ApplicationController::Impl::recoverInterruptedWork() {
    for (const CatalogComponent& component : catalog.components) {
        const auto location = installedLocation(component, selectedInstallation.communityFolder,
                                                folders.localAppDataFolder);
        if (location.empty()) {
            continue;
        }
        const std::string report = hub::recoverInterruptedWork(location);
        if (!report.empty()) {
            log.write("recovered " + report);
        }
    }
}

} // namespace hub

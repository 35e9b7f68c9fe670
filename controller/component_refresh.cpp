#include "controller/controller_impl.h"
#include "install/processes.h"
#include "install/staged_activation.h"
#include "simulators/process_list.h"
#include "util/paths.h"

#include <algorithm>

namespace hub {

namespace {

// The folder is root or lies below it, compared by name only.
bool isWithin(const std::filesystem::path& folder, const std::filesystem::path& root) {
    if (root.empty()) {
        return false;
    }
    for (std::filesystem::path current = folder.lexically_normal();;) {
        if (samePath(current, root)) {
            return true;
        }
        std::filesystem::path parent = current.parent_path();
        if (parent.empty() || parent == current) {
            return false;
        }
        current = std::move(parent);
    }
}

} // namespace

// The hub's data folder holds the work folders that every install deletes whole, and an
// application's folder is replaced or removed whole by its update or uninstall: a Community
// folder in either would lose the user's packages.
bool ApplicationController::Impl::isInsideOwnedFolder(const std::filesystem::path& folder) const {
    return isWithin(folder, folders.dataFolder) ||
           std::ranges::any_of(catalog.components, [&](const CatalogComponent& component) {
               return component.application &&
                      isWithin(folder,
                               installedLocation(component, {}, folders.localAppDataFolder));
           });
}

bool ApplicationController::Impl::isUsableCommunityFolder(
    const std::filesystem::path& folder) const {
    return isAbsolutePath(folder) && isDirectory(folder) && !isInsideOwnedFolder(folder);
}

std::filesystem::path ApplicationController::Impl::communityFolderInUse() const {
    return selectedInstallation.available ? selectedInstallation.communityFolder
                                          : std::filesystem::path{};
}

void ApplicationController::Impl::refreshInstalledState() {
    selectedInstallation.available = isUsableCommunityFolder(selectedInstallation.communityFolder);
    customCommunityAvailable = isUsableCommunityFolder(settings.customCommunityFolder);
    const std::filesystem::path communityFolder = communityFolderInUse();
    installedStates.clear();
    for (const CatalogComponent& component : catalog.components) {
        const auto location =
            installedLocation(component, communityFolder, folders.localAppDataFolder);
        installedStates[component.id] =
            location.empty() ? InstalledState{} : readInstalledVersion(component, location);
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
        const InstalledState& state = stateOf(component);
        if (component.application && state.installed &&
            isProcessRunningAt(processes, state.location / component.application->executable)) {
            runningApplications.insert(component.id);
        }
    }
}

void ApplicationController::Impl::recover() {
    for (const CatalogComponent& component : catalog.components) {
        const auto location = installedLocation(component, selectedInstallation.communityFolder,
                                                folders.localAppDataFolder);
        if (location.empty()) {
            continue;
        }
        const std::string report = recoverInterruptedWork(location);
        if (!report.empty()) {
            log.write("recovered " + report);
        }
    }
    refreshInstalledState();
    refreshRunningState();
}

} // namespace hub

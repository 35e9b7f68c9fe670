#include "controller/simulator_selection.h"

#include "controller/controller_impl.h"
#include "util/folder_identity.h"
#include "util/paths.h"
#include "util/text.h"

#include <algorithm>
#include <stdexcept>

namespace hub {

namespace {

const SimulatorInstallation* pickInstallation(const std::vector<SimulatorInstallation>& list,
                                              const std::string& wanted) {
    const auto first = [&](auto predicate) -> const SimulatorInstallation* {
        const auto found = std::ranges::find_if(list, predicate);
        return found == list.end() ? nullptr : &*found;
    };
    for (const SimulatorInstallation* picked :
         {first([&](const auto& item) { return item.available && item.id == wanted; }),
          first([](const auto& item) { return item.available && item.family == "msfs2024"; }),
          first([](const auto& item) { return item.available; })}) {
        if (picked != nullptr) {
            return picked;
        }
    }
    return list.empty() ? nullptr : &list.front();
}

// The chosen folder, or its "Community" subfolder when it has one and is not named so itself.
std::filesystem::path adjustedCommunityFolder(std::filesystem::path folder) {
    folder = withoutTrailingSeparators(folder);
    if (!equalsIgnoreCase(folder.filename().native(), L"Community") &&
        isDirectory(folder / L"Community")) {
        folder /= L"Community";
    }
    return folder;
}

} // namespace

std::vector<std::filesystem::path> ownedFolders(const AppFolders& folders,
                                                const std::vector<CatalogComponent>& components) {
    std::vector<std::filesystem::path> owned{folders.dataFolder};
    for (const CatalogComponent& component : components) {
        if (component.application) {
            owned.push_back(installedLocation(component, {}, folders.localAppDataFolder));
        }
    }
    return owned;
}

bool isInsideOwnedFolder(const std::filesystem::path& folder,
                         const std::vector<std::filesystem::path>& owned) {
    return std::ranges::any_of(
        owned, [&folder](const auto& root) { return isWithinFolder(folder, root); });
}

bool isUsableCommunityFolder(const std::filesystem::path& folder,
                             const std::vector<std::filesystem::path>& owned) {
    return isAbsolutePath(folder) && isDirectory(folder) && !isInsideOwnedFolder(folder, owned);
}

void ApplicationController::Impl::selectFromSettings() {
    installations = options.discover();
    selectedInstallation = SimulatorInstallation{};
    if (settings.simulator == "custom" && !settings.customCommunityFolder.empty()) {
        selectedInstallation =
            SimulatorInstallation{.id = "custom",
                                  .family = "custom",
                                  .label = "Custom folder",
                                  .edition = {},
                                  .communityFolder = settings.customCommunityFolder};
    } else if (const auto* picked = pickInstallation(installations, settings.simulator)) {
        selectedInstallation = *picked;
    }
    recoverInterruptedWork();
    refreshInstalledState(); // also decides whether the selected folder is available
    refreshRunningState();
}

void ApplicationController::Impl::selectSimulator(const std::string& installationId) {
    requireIdle();
    if (installationId == "custom") {
        if (settings.customCommunityFolder.empty()) {
            throw std::runtime_error("Choose a custom Community folder first.");
        }
    } else if (std::ranges::find(installations, installationId, &SimulatorInstallation::id) ==
               installations.end()) {
        throw std::runtime_error("Unknown simulator installation.");
    }
    settings.simulator = installationId;
    saveSettings(folders.settingsFile, settings);
    selectFromSettings();
}

void ApplicationController::Impl::chooseCommunityFolder() {
    requireIdle();
    if (!folderPicker) {
        throw std::runtime_error("Folder selection is not available.");
    }
    const std::filesystem::path initial = settings.customCommunityFolder.empty()
                                              ? selectedInstallation.communityFolder
                                              : settings.customCommunityFolder;
    const auto picked = folderPicker(L"Select the MSFS Community folder", initial);
    if (!picked) {
        return;
    }
    const std::filesystem::path folder = adjustedCommunityFolder(*picked);
    if (isInsideOwnedFolder(folder, hubOwnedFolders())) {
        throw std::runtime_error("This folder belongs to Orvantis Hub or to an installed "
                                 "application. Choose a Community folder outside it.");
    }
    settings.simulator = "custom";
    settings.customCommunityFolder = folder;
    saveSettings(folders.settingsFile, settings);
    selectFromSettings();
    setNotice("Community folder: " + pathToUtf8(folder));
}

void ApplicationController::Impl::reload() {
    requireIdle();
    selectFromSettings();
    setNotice("Simulator folders reloaded.");
}

} // namespace hub
